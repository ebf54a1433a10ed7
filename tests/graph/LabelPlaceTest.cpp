// Which annotation labels are drawn: as many as can be told apart.
#include "graph/Chart.h"
#include "graph/ChartLabels.h"
#include "graph/GraphSetup.h"
#include "graph/LabelPlace.h"
#include "support/ScriptedMessages.h"

#include <QTest>
#include <gtest/gtest.h>
#include <qcustomplot.h>

namespace {

using namespace qv;

TEST(LabelPlace, LeavesOutOnlyWhatWouldCoverALabelPlaced)
{
    TLabelPlace place(QRectF(0, 0, 400, 300), 12);
    int measured = 0;
    auto width = [&] {
        ++measured;
        return 40.0;
    };
    EXPECT_TRUE(place.Offer(100, 100, width));
    EXPECT_FALSE(place.Offer(100, 100, width)); // the same place
    EXPECT_FALSE(place.Offer(110, 105, width)); // anchor on the first: not even measured
    EXPECT_EQ(measured, 1);
    EXPECT_FALSE(place.Offer(135, 100, width)); // would cover its right end
    EXPECT_TRUE(place.Offer(140, 100, width));  // touches it only (no pixel in common)
    EXPECT_TRUE(place.Offer(100, 112, width));  // the line below
    EXPECT_TRUE(place.Offer(390, 50, width));   // reaching out of the area
    EXPECT_FALSE(place.Offer(450, 50, width));  // wholly outside it
    EXPECT_FALSE(place.Offer(10, 320, width));
    EXPECT_EQ(place.Boxes().size(), 4u);
    // A new round starts on an empty area, of the same size or not.
    place.Reset(QRectF(0, 0, 400, 300), 12);
    EXPECT_TRUE(place.Offer(100, 100, width));
    EXPECT_TRUE(place.Offer(100, 112, width));
    place.Reset(QRectF(0, 0, 300, 300), 12);
    EXPECT_TRUE(place.Offer(100, 112, width));
    EXPECT_EQ(place.Boxes().size(), 1u);
}

TEST(ChartLabels, AMillionAnnotationsDrawWhatCanBeToldApart)
{
    test::ScriptedMessages msgs;
    TCurveModel model;
    TGraphSetupRec setup = DefaultGraphSetup();
    TChartView chart(model, setup);
    chart.resize(1000, 600);
    chart.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&chart));
    const TCurveHandle h = model.AddFile(QStringLiteral("f"), 0);
    // A million labels crowded at t = 10 .. 11, and one standing alone.
    std::vector<TCurveLabel> labels;
    for (int i = 0; i < 1000000; ++i)
        labels.push_back({10 + (i % 1000) / 1000.0, 50.0 + (i % 7), "crowd " + std::to_string(i)});
    labels.push_back({80, 50, "alone"});
    model.SetLabels(h, std::move(labels));
    model.SetVisible(h, SlotAnnot, true);
    chart.Chart1->xAxis->setRange(0, 100);
    chart.Chart1->yAxis->setRange(0, 100);
    chart.Chart1->replot();

    const auto& drawn = chart.LabelLayer(h)->Drawn();
    ASSERT_GE(drawn.size(), 2u);
    EXPECT_LT(drawn.size(), 40u);
    EXPECT_EQ(drawn.front().Text, QStringLiteral("crowd 0"));
    EXPECT_EQ(drawn.back().Text, QStringLiteral("alone"));
    EXPECT_DOUBLE_EQ(drawn.back().Key, 80.0);

    // Zoomed in, the crowd comes apart; out of view, nothing is drawn.
    chart.Chart1->xAxis->setRange(10, 10.01);
    chart.Chart1->replot();
    EXPECT_GT(chart.LabelLayer(h)->Drawn().size(), 5u);
    chart.Chart1->xAxis->setRange(200, 300);
    chart.Chart1->replot();
    EXPECT_TRUE(chart.LabelLayer(h)->Drawn().empty());
}

} // namespace
