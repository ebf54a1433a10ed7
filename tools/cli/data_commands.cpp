// quorvel-cli file commands: info, resave, export-csv.
#include "base/CheckedWrite.h"
#include "base/Cp1250.h"
#include "data/DataFile.h"
#include "tools/cli/Command.h"
#include "base/MessageService.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <charconv>
#include <cstdio>
#include <string>

namespace qv::cli {

namespace {

// Parses the arguments after the command's name; false (usage on stderr)
// when they do not fit.
bool ParseArgs(QCommandLineParser& parser, const QStringList& args, const QString& usage, int positional)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    if (!parser.parse(QStringList{QStringLiteral("quorvel-cli")} + args) ||
        parser.positionalArguments().size() != positional) {
        PrintError(usage);
        return false;
    }
    return true;
}

const char* const kColumnNames[kChannelArrays] = {"time", "altitude", "rx", "ch3", "ch4", "voltage", "ch6", "ch7"};

int MarkerCount(const TDataBlock& b, double threshold)
{
    int n = 0;
    for (const auto m : MarkerFlags(b, threshold))
        n += m != 0;
    return n;
}

QString Fixed(double v, int decimals) { return QString::fromStdString(FormatFixed(v, decimals)); }

int RunInfo(const QStringList& args)
{
    const QString usage = QStringLiteral("usage: quorvel-cli info [--json] [--marker-threshold X] FILE");
    QCommandLineParser parser;
    const QCommandLineOption jsonOption(QStringLiteral("json"));
    const QCommandLineOption thresholdOption(QStringLiteral("marker-threshold"), QString(), QStringLiteral("X"));
    parser.addOption(jsonOption);
    parser.addOption(thresholdOption);
    if (!ParseArgs(parser, args, usage, 1))
        return 2;
    const bool json = parser.isSet(jsonOption);
    double threshold = 0;
    if (parser.isSet(thresholdOption)) {
        bool ok = false;
        threshold = parser.value(thresholdOption).toDouble(&ok);
        if (!ok) {
            PrintError(QStringLiteral("info: --marker-threshold needs a number"));
            return 2;
        }
    }
    const QString file = parser.positionalArguments().first();

    TDataBlock b;
    if (!LoadFlightFile(file, b))
        return 1;

    if (json) {
        QJsonObject o;
        o.insert(QStringLiteral("date"), FromCp1250(b.Date));
        o.insert(QStringLiteral("period"), b.Words[0]);
        o.insert(QStringLiteral("flags"), b.Words[1]);
        QJsonArray words;
        for (int i = 2; i < kHeaderWords; ++i)
            words.append(b.Words[i]);
        o.insert(QStringLiteral("words"), words);
        o.insert(QStringLiteral("samples"), b.SampleCount());
        QJsonArray present;
        for (const bool p : b.Present)
            present.append(p);
        o.insert(QStringLiteral("present"), present);
        QJsonArray annotations;
        for (const TAnotace& a : b.Annotations) {
            QJsonObject ao;
            ao.insert(QStringLiteral("time"), a.Time);
            ao.insert(QStringLiteral("altitude"), a.Altitude);
            ao.insert(QStringLiteral("text"), FromCp1250(a.Text));
            annotations.append(ao);
        }
        o.insert(QStringLiteral("annotations"), annotations);
        o.insert(QStringLiteral("notes"), FromCp1250(b.NotesText()));
        o.insert(QStringLiteral("rx_offset_y"), b.RxOffsetY);
        o.insert(QStringLiteral("markers"), MarkerCount(b, threshold));
        const QByteArray text = QJsonDocument(o).toJson(QJsonDocument::Indented);
        std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stdout);
        return 0;
    }

    PrintOut(QStringLiteral("File:          %1").arg(file));
    PrintOut(QStringLiteral("Date:          %1").arg(FromCp1250(b.Date)));
    PrintOut(QStringLiteral("Period:        %1 (%2 s)").arg(b.Words[0]).arg(Fixed(b.Words[0] / 100.0, 2)));
    PrintOut(QStringLiteral("Flags:         0x%1 (%2)")
                 .arg(static_cast<quint32>(b.Words[1]) & 0xFFFFu, 4, 16, QLatin1Char('0'))
                 .arg(b.Words[1]));
    QStringList words;
    for (int i = 2; i < kHeaderWords; ++i)
        words << QString::number(b.Words[i]);
    PrintOut(QStringLiteral("Words 3-7:     %1").arg(words.join(QLatin1Char(' '))));
    PrintOut(QStringLiteral("Samples:       %1").arg(b.SampleCount()));
    QStringList present;
    for (int k = 0; k < kChannelArrays; ++k)
        if (b.Present[k])
            present << QLatin1String(kColumnNames[k]);
    PrintOut(QStringLiteral("Channels:      %1").arg(present.join(QStringLiteral(", "))));
    if (b.SampleCount() > 0)
        PrintOut(QStringLiteral("Flight time:   %1 s").arg(Fixed(b.Samples(ArrTime).back(), 1)));
    PrintOut(QStringLiteral("Markers:       %1").arg(MarkerCount(b, threshold)));
    PrintOut(QStringLiteral("RxOffsetY:     %1").arg(Fixed(b.RxOffsetY, 2)));
    PrintOut(QStringLiteral("Annotations:   %1").arg(b.Annotations.size()));
    for (const TAnotace& a : b.Annotations)
        PrintOut(QStringLiteral("  %1 s  %2  %3").arg(Fixed(a.Time, 2), Fixed(a.Altitude, 2), FromCp1250(a.Text)));
    const QString notes = FromCp1250(b.NotesText());
    if (notes.isEmpty()) {
        PrintOut(QStringLiteral("Notes:         (none)"));
    } else {
        PrintOut(QStringLiteral("Notes:"));
        for (const QString& l : notes.split(QLatin1Char('\n')))
            PrintOut(QStringLiteral("  ") + QString(l).remove(QLatin1Char('\r')));
    }
    return 0;
}

int RunResave(const QStringList& args)
{
    QCommandLineParser parser;
    if (!ParseArgs(parser, args, QStringLiteral("usage: quorvel-cli resave IN OUT"), 2))
        return 2;
    const QString in = parser.positionalArguments().at(0);
    const QString out = parser.positionalArguments().at(1);
    TDataBlock b;
    if (!LoadFlightFile(in, b))
        return 1;
    TFileMessages msgs(out);
    return WriteDataFile(out, b, msgs) ? 0 : 1;
}

int RunExportCsv(const QStringList& args)
{
    QCommandLineParser parser;
    const QCommandLineOption outOption(QStringLiteral("o"), QString(), QStringLiteral("OUT"));
    parser.addOption(outOption);
    if (!ParseArgs(parser, args, QStringLiteral("usage: quorvel-cli export-csv FILE [-o OUT]"), 1))
        return 2;
    const QString file = parser.positionalArguments().first();
    const QString out = parser.value(outOption);
    TDataBlock b;
    if (!LoadFlightFile(file, b))
        return 1;

    std::vector<int> cols;
    for (int k = 0; k < kChannelArrays; ++k)
        if (k == ArrTime || b.Present[k])
            cols.push_back(k);
    std::string csv;
    for (std::size_t c = 0; c < cols.size(); ++c) {
        if (c)
            csv += ',';
        csv += kColumnNames[cols[c]];
    }
    csv += '\n';
    const std::size_t n = b.Samples(ArrTime).size();
    csv.reserve(csv.size() + n * cols.size() * 12);
    char buf[32];
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t c = 0; c < cols.size(); ++c) {
            if (c)
                csv += ',';
            const auto& a = b.Samples(cols[c]);
            const double v = i < a.size() ? a[i] : 0.0;
            csv.append(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
        }
        csv += '\n';
    }

    if (out.isEmpty()) {
        std::fwrite(csv.data(), 1, csv.size(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    const TWriteResult written = WriteFileChecked(out, QByteArray(csv.data(), static_cast<qsizetype>(csv.size())));
    if (!written.Ok) {
        PrintError(QStringLiteral("export-csv: cannot write %1: %2").arg(out, written.Error));
        return 1;
    }
    return 0;
}

const RegisterCommand info({"info", "[--json] [--marker-threshold X] FILE", RunInfo});
const RegisterCommand resave({"resave", "IN OUT", RunResave});
const RegisterCommand exportCsv({"export-csv", "FILE [-o OUT]", RunExportCsv});

} // namespace

} // namespace qv::cli
