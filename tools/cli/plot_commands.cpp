// quorvel-cli plot: the graph of flight files drawn as on the graph page
// and saved as a picture (BMP, EMF, WMF, PNG, SVG, PDF by the name's
// ending), without a display.
#include "app/Settings.h"
#include "base/Cp1250.h"
#include "base/MessageService.h"
#include "data/DataFile.h"
#include "data/OpenData.h"
#include "graph/GraphOutput.h"
#include "graph/GraphSetup.h"
#include "graph/GraphStyle.h"
#include "tools/cli/Command.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <qcustomplot.h>

#include <array>
#include <memory>
#include <optional>

namespace qv::cli {

namespace {

const char* const kCurveNames[kSlotCount] = {"alt", "rx", "pows", "mark", "annot"};

struct TPlotRequest {
    QStringList Files;
    QString Out;
    QSize Size{1000, 600};
    std::optional<QCPRange> Time;
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
        r.Time = QCPRange(lo, hi);
    }
    if (parser.isSet(curves)) {
        r.CurvesGiven = true;
        r.Curves.fill(false);
        for (const QString& name : parser.value(curves).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const auto* it = std::find_if(std::begin(kCurveNames), std::end(kCurveNames),
                                          [&](const char* n) { return name.trimmed() == QLatin1String(n); });
            if (it == std::end(kCurveNames))
                return QStringLiteral("Unknown curve \"%1\": alt, rx, pows, mark or annot.").arg(name);
            r.Curves[it - std::begin(kCurveNames)] = true;
        }
    }
    r.Ini = parser.value(ini);
    if (!r.Ini.isEmpty() && !QFileInfo(r.Ini).isFile())
        return QStringLiteral("Settings file \"%1\" not found.").arg(r.Ini);
    return {};
}

// Point shape of a setup code, as the chart draws it.
QCPScatterStyle::ScatterShape Shape(int code)
{
    static const QCPScatterStyle::ScatterShape shapes[] = {
        QCPScatterStyle::ssSquare,  QCPScatterStyle::ssDisc, QCPScatterStyle::ssTriangle,
        QCPScatterStyle::ssTriangleInverted, QCPScatterStyle::ssPlus, QCPScatterStyle::ssCross,
        QCPScatterStyle::ssStar,    QCPScatterStyle::ssDiamond, QCPScatterStyle::ssDisc};
    return IsValidPointShape(code) ? shapes[code] : QCPScatterStyle::ssSquare; // the first shape stays
}

void SetupAxis(QCPAxis* axis, const QString& title)
{
    axis->setVisible(true);
    axis->setLabel(title);
    axis->setBasePen(Qt::NoPen);
    QFont f = axis->labelFont();
    f.setPointSize(8);
    axis->setLabelFont(f);
    axis->setTickLabelFont(f);
}

void SetRange(QCPAxis* axis, bool automatic, double mn, double mx)
{
    if (automatic) {
        axis->rescale(true);
        return;
    }
    axis->setRange(mn, mn < mx ? mx : mn + 1);
}

struct TFlight {
    QString Name;
    TDataBlock Block;
};

// The graph page's chart of the flights: four value axes, five series per
// file in the file's colour, styles and ranges from the graph setup.
void BuildPlot(QCustomPlot& plot, std::vector<TFlight>& flights, const TGraphSetupRec& gs, const TAppSettings& app,
               const TPlotRequest& r)
{
    plot.resize(r.Size);
    SetupAxis(plot.xAxis, QStringLiteral("Time (sec)"));
    SetupAxis(plot.yAxis, QStringLiteral("Traction (N)"));
    SetupAxis(plot.yAxis2, QStringLiteral("Servo (%)"));
    plot.yAxis2->grid()->setVisible(false);
    QCPAxis* voltage = plot.axisRect()->addAxis(QCPAxis::atRight);
    SetupAxis(voltage, QStringLiteral("Voltage (V)"));
    voltage->grid()->setVisible(false);
    plot.legend->setVisible(app.TBShowLegend);
    plot.legend->setFillOrder(QCPLayoutGrid::foColumnsFirst);
    plot.legend->setWrap(kSlotCount);
    plot.legend->setIconSize(16, 10);
    plot.legend->setBorderPen(QPen(QColor(192, 192, 192)));
    QFont legendFont = plot.legend->font();
    legendFont.setPointSize(8);
    plot.legend->setFont(legendFont);
    plot.axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignHCenter);

    QCPAxis* axes[kSlotCount] = {plot.yAxis, plot.yAxis2, voltage, plot.yAxis, plot.yAxis};
    const std::pair<int, int> lines[3] = {{gs.AltitudeLStyle, gs.AltitudeLWidth},
                                          {gs.RXLStyle, gs.RXLWidth},
                                          {gs.PowerSupLStyle, gs.PowerSupLWidth}};
    const std::pair<int, int> marks[2] = {{gs.MarkerMarkStyle, gs.MarkerMarkSize},
                                          {gs.AnnotMarkStyle, gs.AnnotMarkSize}};
    for (std::size_t i = 0; i < flights.size(); ++i) {
        TDataBlock& b = flights[i].Block;
        const QColor colour = QColor::fromRgb(SwapRedBlue(kCurveColours[i % kCurveColourCount]));
        const auto& d = b.Data;
        const TRxMapping rx = RxMapping(false, app.Device.DeflectionMin, app.Device.DeflectionMax, b.RxOffsetY);
        for (int k = 0; k < kSlotCount; ++k) {
            QCPGraph* g = plot.addGraph(plot.xAxis, axes[k]);
            g->setName(flights[i].Name + QLatin1String(kSlotTitles[k]));
            g->setVisible(r.Curves[k]);
            if (!r.Curves[k])
                g->removeFromLegend();
            QPen pen(colour);
            if (k < SlotMark) {
                if (auto style = PenStyleFromCode(lines[k].first))
                    pen.setStyle(*style);
                pen.setWidth(std::max(1, lines[k].second));
                g->setPen(pen);
            } else {
                g->setPen(pen);
                g->setLineStyle(QCPGraph::lsNone);
                const auto [shape, size] = marks[k - SlotMark];
                g->setScatterStyle(QCPScatterStyle(Shape(shape), colour, colour,
                                                   shape == psSmallDot ? 3.0 : PointPixelSize(size)));
            }
        }
        const int first = plot.graphCount() - kSlotCount;
        const std::size_t n = d[ArrTime].size();
        QVector<double> t(d[ArrTime].begin(), d[ArrTime].end());
        auto fill = [&](int slot, const std::vector<double>& v, double scale, double shift) {
            QVector<double> y(int(std::min(n, v.size())));
            for (int j = 0; j < y.size(); ++j)
                y[j] = v[j] * scale + shift;
            plot.graph(first + slot)->setData(t.mid(0, y.size()), y, true);
        };
        fill(SlotAlt, d[ArrAltitude], 1.0, 0.0);
        fill(SlotRx, d[ArrRx], rx.Scale, rx.Shift);
        fill(SlotPowS, d[ArrVoltage], 1.0, 0.0);
        QVector<double> mx, my;
        for (std::size_t j = 0; j < std::min({n, d[ArrAltitude].size(), b.Markers.size()}); ++j)
            if (b.Markers[j] == 1) {
                mx.push_back(d[ArrTime][j]);
                my.push_back(d[ArrAltitude][j]);
            }
        plot.graph(first + SlotMark)->setData(mx, my);
        QVector<double> ax, ay;
        for (const TAnotace& a : b.Annotations) {
            ax.push_back(a.Time);
            ay.push_back(a.Altitude);
            if (!r.Curves[SlotAnnot])
                continue;
            auto* label = new QCPItemText(&plot);
            label->position->setType(QCPItemPosition::ptPlotCoords);
            label->position->setCoords(a.Time, a.Altitude);
            label->setPositionAlignment(Qt::AlignHCenter | Qt::AlignBottom);
            label->setClipToAxisRect(true);
            QFont f = label->font();
            f.setPointSize(8);
            label->setFont(f);
            label->setText(FromCp1250(a.Text));
            label->setPadding(QMargins(1, 1, 1, 2 + int(PointPixelSize(gs.AnnotMarkSize) / 2)));
        }
        plot.graph(first + SlotAnnot)->setData(ax, ay);
    }
    SetRange(plot.yAxis, gs.AltitudeAuto, gs.AltitudeMin, gs.AltitudeMax);
    SetRange(plot.yAxis2, gs.RXAuto, gs.RXMin, gs.RXMax);
    SetRange(voltage, gs.PowerSupAuto, gs.PowerSupMin, gs.PowerSupMax);
    if (r.Time)
        plot.xAxis->setRange(*r.Time);
    else
        SetRange(plot.xAxis, gs.TimeAuto, gs.TimeMin, gs.TimeMax);
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
    std::vector<TFlight> flights(static_cast<std::size_t>(r.Files.size()));
    for (int i = 0; i < r.Files.size(); ++i) {
        TFlight& f = flights[static_cast<std::size_t>(i)];
        f.Name = ShortFileName(r.Files[i]);
        f.Block.NotesStream();
        TErrorCount msgs(r.Files[i]);
        try {
            ReadDataFile(r.Files[i], f.Block, app.Device.MarkerThreshold, msgs);
        } catch (const DataFileError& e) {
            PrintError(r.Files[i] + QStringLiteral(": ") + QString::fromLatin1(e.what()));
            return 1;
        }
        if (msgs.Errors > 0)
            return 1;
    }
    // A curve asked for by name that a file cannot draw is named.
    bool missing = false;
    if (r.CurvesGiven)
        for (const TFlight& f : flights)
            for (int k = SlotAlt; k <= SlotPowS; ++k)
                if (r.Curves[k] && !f.Block.HasArray(kSlotSource[k])) {
                    PrintError(QStringLiteral("plot: %1 has no %2 channel; that curve is left out.")
                                   .arg(f.Name, QLatin1String(kCurveNames[k])));
                    missing = true;
                }
    QCustomPlot plot;
    BuildPlot(plot, flights, gs, app, r);
    QString reason;
    if (!SaveChart(plot, r.Out, &reason, r.Size)) {
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
