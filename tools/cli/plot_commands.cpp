// quorvel-cli plot: the graph of flight files drawn as on the graph page
// and saved as a picture (BMP, EMF, WMF, PNG, SVG, PDF by the name's
// ending), without a display.
#include "app/Settings.h"
#include "base/Cp1250.h"
#include "base/MessageService.h"
#include "data/DataFile.h"
#include "flights/OpenFlights.h"
#include "graph/Chart.h"
#include "graph/CurveTable.h"
#include "graph/GraphOutput.h"
#include "graph/GraphSetup.h"
#include "tools/cli/Command.h"

#include <QCheckBox>
#include <QCommandLineParser>
#include <QFileInfo>
#include <qcustomplot.h>

#include <array>
#include <memory>
#include <optional>

namespace qv::cli {

namespace {

struct TPlotRequest {
    QStringList Files;
    QString Out;
    QSize Size{1000, 600};
    std::optional<std::pair<double, double>> Time;
    std::array<bool, kSlotCount> Curves{true, true, true, true, true};
    bool CurvesGiven = false;
    QString Ini;
};

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

// Passes boxes to stderr and counts the errors (the reader reports input
// and output errors that way).
class TErrorCount : public ConsoleMessageService {
public:
    explicit TErrorCount(QString file) : file_(std::move(file)) {}
    void Error(const QString& text) override
    {
        ++Errors;
        ConsoleMessageService::Error(file_ + QStringLiteral(": ") + text);
    }
    int Errors = 0;

private:
    QString file_;
};

int RunPlot(const QStringList& args)
{
    TPlotRequest r;
    if (const QString e = ParsePlotArgs(args, r); !e.isEmpty()) {
        PrintError(QStringLiteral("plot: ") + e);
        return 1;
    }
    TGraphSetupRec gs;
    SetGraphSetupDefaults(gs);
    TAppSettings app;
    if (!r.Ini.isEmpty()) {
        TIniFile ini;
        ini.Load(r.Ini);
        ReadAppSettings(ini, app);
        ReadGraphSetup(ini, gs);
    }
    // The graph page's own chart, off screen, over the open flights.
    TCurveModel model;
    TOpenFlights flights;
    flights.SetCurveModel(&model);
    flights.SetDeviceSettings(app.Device);
    model.SetDeflection(app.Device.DeflectionMin, app.Device.DeflectionMax);
    TChartView chart(model, gs);
    chart.resize(r.Size);
    chart.CheckBox_RxCenter->setChecked(app.DeflectionOnGraph);
    for (const QString& file : r.Files) {
        if (!IsRegularFile(file)) {
            PrintError(file + QStringLiteral(": ") + QString::fromLatin1(kErrReading));
            return 1;
        }
        TErrorCount msgs(file);
        SetMessageService(&msgs);
        const int row = flights.OpenDataFile(file);
        SetMessageService(nullptr);
        if (row < 0 || msgs.Errors > 0)
            return 1;
        for (int k = 0; k < kSlotCount; ++k)
            if (flights.Check(row, k) != TCheck::NoData)
                flights.GridCheck(CurveSlot(k).GridColumn, row, r.Curves[k]);
    }
    // A curve asked for by name that a file cannot draw is named.
    bool missing = false;
    if (r.CurvesGiven)
        for (int row = 0; row < flights.RowCount(); ++row)
            for (int k = SlotAlt; k <= SlotPowS; ++k)
                if (r.Curves[k] && flights.Check(row, k) == TCheck::NoData) {
                    PrintError(QStringLiteral("plot: %1 has no %2 channel; that curve is left out.")
                                   .arg(flights.Name(row), QLatin1String(CurveSlot(k).CliName)));
                    missing = true;
                }
    chart.ChangeGraphSettings(flights.CurveHandles());
    chart.SetLegendVisible(app.TBShowLegend);
    chart.ServoCenterRule();
    if (r.Time)
        chart.SetRange(AxisBottom, TAxisRange{r.Time->first, r.Time->second});
    chart.Replot(true);
    QString reason;
    if (!SaveChart(*chart.Chart1, r.Out, &reason, r.Size)) {
        PrintError(SaveErrorText(r.Out, reason).replace(QLatin1Char('\r'), QLatin1Char('\n')));
        return 1;
    }
    return missing ? 1 : 0;
}

const RegisterCommand plotCommand({"plot",
                                   "FILE.kdf [FILE2.kdf ...] --out PICTURE [--size WxH] [--time MIN:MAX] "
                                   "[--curves alt,rx,pows,mark,annot] [--ini SETTINGS]",
                                   RunPlot, true});

} // namespace

} // namespace qv::cli
