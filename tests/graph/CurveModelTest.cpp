#include "graph/CurveModel.h"
#include "graph/GraphStyle.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

using namespace qv;

std::shared_ptr<const std::vector<double>> V(std::vector<double> v)
{
    return std::make_shared<const std::vector<double>>(std::move(v));
}

TEST(CurveModel, FilesColoursAndSignals)
{
    TCurveModel m;
    QSignalSpy added(&m, &TCurveModel::FileAdded);
    QSignalSpy removed(&m, &TCurveModel::FileRemoved);
    std::vector<TCurveHandle> files;
    for (int i = 0; i < 15; ++i)
        files.push_back(m.AddFile(QStringLiteral("f%1").arg(i), FirstFreeColourIndex(m.UsedColourIndices())));
    EXPECT_EQ(added.size(), 15);
    EXPECT_EQ(m.Handles(), files);
    EXPECT_EQ(m.Curve(files[0], SlotAlt)->Rgb, 0x0000FFu);
    EXPECT_EQ(m.Curve(files[0], SlotAnnot)->ColorIndex, 0);
    // All fourteen table colours taken: a chart colour no curve has.
    EXPECT_EQ(m.Curve(files[14], SlotAlt)->ColorIndex, kNoColour);
    EXPECT_EQ(m.Curve(files[14], SlotAlt)->Rgb, kChartSeriesColours[0]);
    m.RemoveFile(files[3]);
    EXPECT_EQ(removed.size(), 1);
    EXPECT_EQ(FirstFreeColourIndex(m.UsedColourIndices()), 3);
    EXPECT_EQ(m.Curve(files[3], SlotAlt), nullptr);
    m.RemoveFile(files[3]); // twice: nothing
    EXPECT_EQ(removed.size(), 1);
}

TEST(CurveModel, ExtentsFollowVisibilityMappingAndOffsets)
{
    TCurveModel m;
    const TCurveHandle h = m.AddFile("a", 0);
    auto t = V({0, 1, 2, 3});
    m.SetPoints(h, SlotAlt, t, V({5, -2, 9, 4}));
    m.SetPoints(h, SlotRx, t, V({-100, 0, 50, 100}));
    EXPECT_FALSE(m.Extent(AxisLeft).Valid); // nothing shown yet
    QSignalSpy shown(&m, &TCurveModel::VisibilityChanged);
    m.SetVisible(h, SlotAlt, true);
    m.SetVisible(h, SlotAlt, true);
    EXPECT_EQ(shown.size(), 1);
    TRange r = m.Extent(AxisLeft);
    EXPECT_EQ(r.Lower, -2);
    EXPECT_EQ(r.Upper, 9);
    m.SetOffset(h, SlotAlt, 10, 1);
    EXPECT_EQ(m.Extent(AxisBottom).Lower, 10);
    EXPECT_EQ(m.Extent(AxisLeft).Upper, 10);
    m.SetOffsetEnabled(h, SlotAlt, false);
    EXPECT_EQ(m.Extent(AxisBottom).Upper, 3);

    // Receiver: its own offset, or centred into the deflection range.
    m.SetVisible(h, SlotRx, true);
    m.SetRxOffsetY(h, 2.5);
    EXPECT_EQ(m.Extent(AxisRight).Lower, -97.5);
    EXPECT_EQ(m.Curve(h, SlotRx)->OffsetY, 2.5);
    m.SetDeflection(-20, 60);
    m.SetRxCentre(true);
    EXPECT_EQ(m.Extent(AxisRight).Lower, -20);
    EXPECT_EQ(m.Extent(AxisRight).Upper, 60);
    EXPECT_EQ(m.Curve(h, SlotRx)->OffsetY, 0);
    m.SetDeflection(-60, 20); // followed while centred
    EXPECT_EQ(m.Extent(AxisRight).Upper, 20);
    m.SetRxCentre(false);
    EXPECT_EQ(m.Extent(AxisRight).Upper, 102.5);
}

TEST(CurveModel, UnsortedPointsAreSortedAndLengthsMatched)
{
    TCurveModel m;
    const TCurveHandle h = m.AddFile("a", 0);
    m.SetPoints(h, SlotMark, V({3, 1, 2, 9}), V({30, 10, 20}));
    const TCurve* c = m.Curve(h, SlotMark);
    ASSERT_EQ(c->Count(), 3);
    EXPECT_EQ(*c->X, (std::vector<double>{1, 2, 3}));
    EXPECT_EQ(*c->Y, (std::vector<double>{10, 20, 30}));
}

TEST(CurveModel, LinesAndPickedMarksAreSetTogether)
{
    // Marks found while the lines are prepared share the samples; picked
    // out of times that do not ascend, or for a line slot, they are copied
    // out in time order. Each slot changes once.
    TCurveModel m;
    const TCurveHandle h = m.AddFile("a", 0);
    QSignalSpy changed(&m, &TCurveModel::CurveChanged);
    auto t = V({0, 1, 2, 3, 4}), alt = V({5, 6, 7, 8, 9});
    int found = 0;
    m.SetPointsOfSlots(h, {{SlotAlt, t, alt, {}},
                           {SlotMark, t, alt, [&] {
                                ++found;
                                return std::make_shared<const std::vector<std::int32_t>>(
                                    std::vector<std::int32_t>{4, 1, 1, 9, 3});
                            }},
                           {SlotRx, t, alt, [] { return std::make_shared<const std::vector<std::int32_t>>(1, 2); }}});
    EXPECT_EQ(found, 1);
    EXPECT_EQ(changed.size(), 3);
    const TCurve* marks = m.Curve(h, SlotMark);
    EXPECT_EQ(marks->X, t);
    ASSERT_TRUE(marks->Index);
    EXPECT_EQ(*marks->Index, (std::vector<std::int32_t>{1, 3, 4}));
    EXPECT_EQ(marks->MaxY, 9);
    EXPECT_FALSE(m.Curve(h, SlotRx)->Index);
    EXPECT_EQ(*m.Curve(h, SlotRx)->Y, std::vector<double>{7});
    m.SetIndexedPoints(h, SlotMark, V({3, 2, 1}), V({30, 20, 10}), nullptr);
    EXPECT_EQ(m.Curve(h, SlotMark)->Count(), 0);
    m.SetIndexedPoints(h, SlotMark, V({3, 2, 1}), V({30, 20, 10}),
                       std::make_shared<const std::vector<std::int32_t>>(std::vector<std::int32_t>{0, 2}));
    EXPECT_FALSE(m.Curve(h, SlotMark)->Index);
    EXPECT_EQ(*m.Curve(h, SlotMark)->X, (std::vector<double>{1, 3}));
}

TEST(CurveModel, LabelsAreAddedMovedAndDeleted)
{
    TCurveModel m;
    const TCurveHandle h = m.AddFile("a", 0);
    QSignalSpy labels(&m, &TCurveModel::LabelsChanged);
    m.SetLabels(h, {{5, 50, "late"}, {1, 10, "early"}});
    EXPECT_EQ(labels.size(), 1);
    // The annotation curve's points in time order.
    EXPECT_EQ(*m.Curve(h, SlotAnnot)->X, (std::vector<double>{1, 5}));
    EXPECT_EQ(m.AddLabel(h, {3, 30, "mid"}), 2);
    m.DeleteLabel(h, 1);
    m.DeleteLabel(h, 9); // no such label
    EXPECT_EQ(labels.size(), 3);
    EXPECT_EQ(m.Labels(h), (std::vector<TCurveLabel>{{5, 50, "late"}, {3, 30, "mid"}}));
    EXPECT_EQ(*m.Curve(h, SlotAnnot)->Y, (std::vector<double>{30, 50}));
    // Drawn places and file places map both ways: less the offsets while
    // they are on.
    m.SetOffset(h, SlotAnnot, 2, 10);
    const TCurve& annot = *m.Curve(h, SlotAnnot);
    EXPECT_EQ(annot.FileX(4), 2);
    EXPECT_EQ(annot.FileY(40), 30);
    EXPECT_EQ(annot.DrawnY(annot.FileY(40)), 40);
    m.SetOffsetEnabled(h, SlotAnnot, false);
    EXPECT_EQ(annot.FileX(4), 4);
    EXPECT_EQ(annot.FileY(40), 40);
    EXPECT_TRUE(m.Labels(12345).empty());
}

} // namespace
