#pragma once
// The open flights with a grid, a chart and a stand-in for the flight
// information page, for the tests of the open flights.
#include "support/KdfText.h"
#include "base/Cp1250.h"
#include "flights/Data.h"
#include "flights/OpenFlights.h"
#include "graph/Chart.h"
#include "graph/ChartLabels.h"
#include "graph/GraphStyle.h"
#include "data/DataFile.h"
#include "support/ScriptedMessages.h"
#include "support/SmallDisk.h"
#include "support/TempDir.h"

#include <QCheckBox>
#include <QFile>
#include <QSignalSpy>
#include <QLineEdit>
#include <QTableView>
#include <QTextEdit>
#include <gtest/gtest.h>
#include <qcustomplot.h>
#include <set>

namespace qv::test {

struct FakeInfo : IFlightInfoView {
    void ShowInfo(const TFlightInfo& i) override
    {
        shown = i;
        readOnly = i.FileName.isEmpty();
    }
    bool NotesChanged() const override { return changed; }
    std::string NotesBytes() const override { return ToCp1250(notes); }
    void SetNotes(const std::string& bytes) override
    {
        notes = FromCp1250(bytes).replace(QLatin1String("\r\n"), QLatin1String("\n"));
        changed = false;
    }
    void MarkNotesUnchanged() override { changed = false; }
    void Type(const QString& text)
    {
        notes = text;
        changed = true;
    }
    TFlightInfo shown;
    QString notes;
    bool changed = false;
    bool readOnly = true;
};

class OpenDataTest : public ::testing::Test {
protected:
    OpenDataTest()
    {
        view = std::make_unique<TDataView>(open, &grid);
        open.Info = &info;
        open.SetCurveModel(&model);
        device.MarkerThreshold = 5.0;
        device.DeflectionMin = -20;
        device.DeflectionMax = 60;
        open.SetDeviceSettings(device);
        model.SetDeflection(device.DeflectionMin, device.DeflectionMax);
    }

    QString Write(const QString& name, const KdfContent& content)
    {
        const QString path = dir.file(name);
        EXPECT_TRUE(WriteAll(path, KdfText(content)));
        return path;
    }
    QString WriteDefault(const QString& name, int n = 20)
    {
        KdfContent s;
        s.Lines = ThreeChannelLines(n);
        return Write(name, s);
    }
    // A grid cell as the grid shows it: the name, "2" for a curve without
    // data, "0" off, "1" shown, the path and the colour number.
    QString Cell(int col, int row) const
    {
        const TOpenFlight* f = open.Row(row);
        if (!f)
            return {};
        if (col == TOpenFlights::ColName)
            return f->Name;
        if (col == TOpenFlights::ColPath)
            return f->Path;
        if (col == TOpenFlights::ColColour)
            return QString::number(f->Colour);
        switch (open.Check(row, col - TOpenFlights::ColFirstSlot)) {
        case TCheck::NoData: return QStringLiteral("2");
        case TCheck::Off: return QStringLiteral("0");
        case TCheck::On: return QStringLiteral("1");
        }
        return {};
    }
    QString GridText(int row, int col) const { return grid.model()->index(row, col).data().toString(); }
    // As the user types: the editor's document becomes modified.
    void Type(const QString& text) { info.Type(text); }
    QCPGraph* Series(int row, int slot) { return chart.Series(open.CurvesOf(row), slot); }
    const TCurve& Curve(int row, int slot) { return *model.Curve(open.CurvesOf(row), slot); }

    ScriptedMessages msgs;
    TempDir dir;
    TOpenFlights open;
    TCurveModel model;
    TGraphSetupRec setup = DefaultGraphSetup();
    TChartView chart{model, setup};
    QTableView grid;
    FakeInfo info;
    std::unique_ptr<TDataView> view;
    TDeviceSettings device;
};

} // namespace qv::test
