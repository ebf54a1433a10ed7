// quorvel-cli logbook: the logbook page's table on the command line, from
// the same figures and the same index.
#include "base/CheckedWrite.h"
#include "logbook/Logbook.h"
#include "logbook/LogbookCsv.h"
#include "tools/cli/Command.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>

namespace qv::cli {

namespace {

// The rows as a table of aligned columns, numbers to the right.
QByteArray TextTable(const std::vector<const TFlightFigures*>& rows)
{
    std::vector<QStringList> cells;
    cells.push_back(LogColumnNames());
    for (const TFlightFigures* f : rows) {
        QStringList line;
        for (int c = 0; c < kLogColumns; ++c)
            line << FigureText(*f, c);
        cells.push_back(line);
    }
    std::vector<qsizetype> widths(kLogColumns, 0);
    for (const QStringList& line : cells)
        for (int c = 0; c < kLogColumns; ++c)
            widths[static_cast<std::size_t>(c)] = std::max(widths[static_cast<std::size_t>(c)], line[c].size());
    QByteArray out;
    for (const QStringList& line : cells) {
        QString text;
        for (int c = 0; c < kLogColumns; ++c) {
            const qsizetype w = widths[static_cast<std::size_t>(c)];
            const bool number = c >= LogSampling && c <= LogAnnotations;
            if (c == kLogColumns - 1)
                text += line[c];
            else
                text += (number ? line[c].rightJustified(w) : line[c].leftJustified(w)) + QStringLiteral("  ");
        }
        out += text.trimmed().toUtf8() + '\n';
    }
    return out;
}

int RunLogbook(const QStringList& args)
{
    const QString usage =
        QStringLiteral("usage: quorvel-cli logbook --root DIR [--csv FILE|-] [--index FILE] [--no-index]");
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption rootOption(QStringLiteral("root"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption csvOption(QStringLiteral("csv"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption indexOption(QStringLiteral("index"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption noIndexOption(QStringLiteral("no-index"));
    parser.addOptions({rootOption, csvOption, indexOption, noIndexOption});
    if (!parser.parse(QStringList{QStringLiteral("quorvel-cli")} + args) || !parser.positionalArguments().isEmpty() ||
        !parser.isSet(rootOption) || (parser.isSet(indexOption) && parser.isSet(noIndexOption))) {
        PrintError(usage);
        return 2;
    }
    const QString root = QFileInfo(parser.value(rootOption)).absoluteFilePath();
    if (!QFileInfo(root).isDir()) {
        PrintError(QStringLiteral("%1: not a folder").arg(parser.value(rootOption)));
        return 2;
    }

    TLogbook logbook;
    logbook.UseIndex = !parser.isSet(noIndexOption);
    logbook.IndexPath = parser.value(indexOption);
    logbook.SetRoot(root);
    if (!logbook.Status().isEmpty())
        PrintError(logbook.Status());
    const QString opened = logbook.Status();
    logbook.WaitIdle(24 * 3600 * 1000);
    if (logbook.Status() != opened) // the database failed on the way
        PrintError(logbook.Status());
    std::vector<const TFlightFigures*> rows;
    for (const TLogEntry* e : logbook.Entries())
        rows.push_back(&e->Figures);
    SortByFile(rows);

    int refused = 0;
    for (const TFlightFigures* f : rows)
        if (f->Refused) {
            ++refused;
            PrintError(f->File + QStringLiteral(": ") + f->Notes);
        }

    const QByteArray out = parser.isSet(csvOption) ? LogbookCsv(rows) : TextTable(rows);
    const QString target = parser.value(csvOption);
    if (!parser.isSet(csvOption) || target == QLatin1String("-")) {
        if (std::fwrite(out.constData(), 1, static_cast<std::size_t>(out.size()), stdout) !=
                static_cast<std::size_t>(out.size()) ||
            std::fflush(stdout) != 0)
            return 1;
    } else {
        const TWriteResult written = WriteFileChecked(target, out);
        if (!written) {
            PrintError(QStringLiteral("logbook: cannot write %1: %2").arg(target, written.Error));
            return 1;
        }
    }
    if (refused > 0) {
        PrintError(QStringLiteral("%1 of %2 files could not be read.").arg(refused).arg(rows.size()));
        return 1;
    }
    return 0;
}

const RegisterCommand logbook({"logbook", "--root DIR [--csv FILE|-] [--index FILE] [--no-index]", RunLogbook, true});

} // namespace

} // namespace qv::cli
