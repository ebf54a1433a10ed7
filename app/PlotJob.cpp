#include "app/PlotJob.h"

#include "app/Settings.h"
#include "base/MessageService.h"
#include "data/DataFile.h"
#include "flights/OpenFlights.h"
#include "graph/Chart.h"
#include "graph/GraphOutput.h"
#include "graph/GraphSetup.h"

#include <QCheckBox>
#include <qcustomplot.h>

namespace qv {

namespace {

// Keeps the reader's errors, behind the name of the file read, and passes
// everything else on to the service that was in use.
class TReadErrors : public IMessageService {
public:
    TReadErrors(QString file, QStringList& errors) : outer_(Messages()), file_(std::move(file)), errors_(errors)
    {
        SetMessageService(this);
    }
    ~TReadErrors() override { SetMessageService(&outer_); }
    TReadErrors(const TReadErrors&) = delete;
    TReadErrors& operator=(const TReadErrors&) = delete;

    void Error(const QString& text) override
    {
        ++Count;
        errors_ << file_ + QStringLiteral(": ") + text;
    }
    void Information(const QString& text) override { outer_.Information(text); }
    Answer Question(const QString& text, Buttons buttons) override { return outer_.Question(text, buttons); }
    QString OpenFileName(const QString& t, const QString& d, const QString& f) override
    {
        return outer_.OpenFileName(t, d, f);
    }
    QString SaveFileName(const QString& t, const QString& n, const QString& f, const QString& e) override
    {
        return outer_.SaveFileName(t, n, f, e);
    }
    QString ExistingDirectory(const QString& t, const QString& d) override { return outer_.ExistingDirectory(t, d); }
    int ExecDialog(QDialog& dialog) override { return outer_.ExecDialog(dialog); }

    int Count = 0;

private:
    IMessageService& outer_;
    QString file_;
    QStringList& errors_;
};

} // namespace

TPlotResult PlotFlights(const TPlotRequest& r)
{
    TPlotResult result;
    auto fail = [&result] {
        result.ExitStatus = 1;
        return result;
    };
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
            result.Errors << file + QStringLiteral(": ") + QString::fromLatin1(kErrReading);
            return fail();
        }
        int row = -1;
        {
            TReadErrors errors(file, result.Errors);
            row = flights.OpenDataFile(file);
            if (errors.Count > 0)
                row = -1;
        }
        if (row < 0)
            return fail();
        for (int k = 0; k < kSlotCount; ++k)
            if (flights.Check(row, k) != TCheck::NoData)
                flights.GridCheck(CurveSlot(k).GridColumn, row, r.Curves[k]);
    }
    // A curve asked for by name that a file cannot draw is named.
    if (r.CurvesGiven)
        for (int row = 0; row < flights.RowCount(); ++row)
            for (int k = SlotAlt; k <= SlotPowS; ++k)
                if (r.Curves[k] && flights.Check(row, k) == TCheck::NoData) {
                    result.Errors << QStringLiteral("plot: %1 has no %2 channel; that curve is left out.")
                                         .arg(flights.Name(row), QLatin1String(CurveSlot(k).CliName));
                    result.ExitStatus = 1;
                }
    chart.ChangeGraphSettings(flights.CurveHandles());
    chart.SetLegendVisible(app.TBShowLegend);
    chart.ServoCenterRule();
    if (r.Time)
        chart.SetRange(AxisBottom, TAxisRange{r.Time->first, r.Time->second});
    chart.Replot(true);
    QString reason;
    if (!SaveChart(*chart.Chart1, r.Out, &reason, r.Size)) {
        result.Errors << SaveErrorText(r.Out, reason).split(QLatin1Char('\r'));
        return fail();
    }
    return result;
}

} // namespace qv
