// quorvel-cli plot: the graph of flight files drawn as on the graph page
// and saved as a picture (BMP, EMF, WMF, PNG, SVG, PDF by the name's
// ending), without a display. Here the arguments are read; the drawing is
// app/PlotJob.h.
#include "app/PlotJob.h"
#include "tools/cli/Command.h"

#include <QCommandLineParser>
#include <QFileInfo>

namespace qv::cli {

namespace {

// Reads the arguments; an error text when they are wrong.
QString ParsePlotArgs(const QStringList& args, TPlotRequest& r)
{
    QCommandLineParser parser;
    const QCommandLineOption out(QStringLiteral("out"), QString(), QStringLiteral("PICTURE"));
    const QCommandLineOption size(QStringLiteral("size"), QString(), QStringLiteral("WxH"));
    const QCommandLineOption time(QStringLiteral("time"), QString(), QStringLiteral("MIN:MAX"));
    const QCommandLineOption curves(QStringLiteral("curves"), QString(), QStringLiteral("LIST"));
    const QCommandLineOption ini(QStringLiteral("ini"), QString(), QStringLiteral("SETTINGS"));
    parser.addOptions({out, size, time, curves, ini});
    if (!parser.parse(QStringList{QStringLiteral("plot")} + args))
        return parser.errorText();
    r.Files = parser.positionalArguments();
    if (r.Files.isEmpty())
        return QStringLiteral("No flight file given.");
    r.Out = parser.value(out);
    if (r.Out.isEmpty())
        return QStringLiteral("No picture file given (--out PICTURE).");
    if (parser.isSet(size)) {
        const QStringList wh = parser.value(size).split(QLatin1Char('x'));
        bool okW = false, okH = false;
        const int w = wh.size() == 2 ? wh[0].toInt(&okW) : 0, h = wh.size() == 2 ? wh[1].toInt(&okH) : 0;
        if (!okW || !okH || w < 50 || h < 50 || w > 10000 || h > 10000)
            return QStringLiteral("Bad --size \"%1\": WxH, each 50 to 10000 pixels.").arg(parser.value(size));
        r.Size = QSize(w, h);
    }
    if (parser.isSet(time)) {
        const QStringList mm = parser.value(time).split(QLatin1Char(':'));
        bool okLo = false, okHi = false;
        const double lo = mm.size() == 2 ? mm[0].toDouble(&okLo) : 0, hi = mm.size() == 2 ? mm[1].toDouble(&okHi) : 0;
        if (!okLo || !okHi || !(lo < hi))
            return QStringLiteral("Bad --time \"%1\": MIN:MAX in seconds, MIN below MAX.").arg(parser.value(time));
        r.Time = std::make_pair(lo, hi);
    }
    if (parser.isSet(curves)) {
        r.CurvesGiven = true;
        r.Curves.fill(false);
        for (const QString& name : parser.value(curves).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            int slot = 0;
            while (slot < kSlotCount && name.trimmed() != QLatin1String(CurveSlot(slot).CliName))
                ++slot;
            if (slot == kSlotCount)
                return QStringLiteral("Unknown curve \"%1\": alt, rx, pows, mark or annot.").arg(name);
            r.Curves[slot] = true;
        }
    }
    r.Ini = parser.value(ini);
    if (!r.Ini.isEmpty() && !QFileInfo(r.Ini).isFile())
        return QStringLiteral("Settings file \"%1\" not found.").arg(r.Ini);
    return {};
}

int RunPlot(const QStringList& args)
{
    TPlotRequest r;
    if (const QString e = ParsePlotArgs(args, r); !e.isEmpty()) {
        PrintError(QStringLiteral("plot: ") + e);
        return 1;
    }
    const TPlotResult result = PlotFlights(r);
    for (const QString& line : result.Errors)
        PrintError(line);
    return result.ExitStatus;
}

const RegisterCommand plotCommand({"plot",
                                   "FILE.kdf [FILE2.kdf ...] --out PICTURE [--size WxH] [--time MIN:MAX] "
                                   "[--curves alt,rx,pows,mark,annot] [--ini SETTINGS]",
                                   RunPlot, true});

} // namespace

} // namespace qv::cli
