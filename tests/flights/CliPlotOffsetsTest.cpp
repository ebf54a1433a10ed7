// quorvel-cli plot draws a flight as the graph page does: with the curve
// offsets saved in the file.
#include "flights/OpenFlights.h"
#include "graph/Offsets.h"
#include "support/CliRun.h"
#include "support/KdfText.h"
#include "support/MetafileRecords.h"
#include "support/ScriptedMessages.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace {

using namespace qv;
using namespace qv::test;

std::vector<QString> Texts(const QByteArray& emf)
{
    std::vector<QString> out;
    for (const auto& r : OfType(EmfRecords(emf), 84))
        out.push_back(EmfText(r));
    return out;
}

bool Has(const std::vector<QString>& v, const char* t) { return std::find(v.begin(), v.end(), QString::fromUtf8(t)) != v.end(); }

TEST(CliPlotOffsets, FileSavedAfterAlignAtReleaseIsDrawnShifted)
{
    ScriptedMessages msgs;
    TempDir dir;
    // Pulled up to 100 in 3 s, released at 4 s, 10 s long.
    KdfContent s;
    for (int i = 0; i < 100; ++i) {
        const double t = i * 0.1;
        const double alt = t < 3 ? 100 * t / 3 : t < 4 ? 100 : 2;
        s.Lines << QStringLiteral("%1,%2,%3,%4").arg(t, 0, 'f', 1).arg(alt, 0, 'f', 2).arg(0.0, 0, 'f', 2).arg(7.0, 0, 'f', 2);
    }
    const QString file = dir.file("tow.kdf");
    ASSERT_TRUE(WriteAll(file, KdfText(s)));
    const QString before = dir.file("before.emf"), after = dir.file("after.emf");
    const QStringList size = {QStringLiteral("--size"), QStringLiteral("800x500")};
    ASSERT_EQ(cli(QStringList{"plot", file, "--out", before} + size).exitCode, 0);

    TCurveModel model;
    TOpenFlights open;
    open.SetCurveModel(&model);
    ASSERT_EQ(open.OpenDataFile(file), 0);
    ASSERT_TRUE(TCurveOffsets(model).AlignAtRelease(open.CurveHandles()).empty());
    ASSERT_EQ(open.GridSaveFile(0), TOpenFlights::SaveResult::Saved);
    ASSERT_TRUE(ReadAll(file).contains("AltOffsetX=-4"));

    const CliRun r = cli(QStringList{"plot", file, "--out", after} + size);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    // The time axis runs from about -4 s to 6 s now, not from 0 to 10.
    const auto unshifted = Texts(ReadAll(before));
    const auto shifted = Texts(ReadAll(after));
    EXPECT_TRUE(Has(unshifted, "8"));
    EXPECT_FALSE(Has(unshifted, "-2"));
    EXPECT_TRUE(Has(shifted, "-2"));
    EXPECT_FALSE(Has(shifted, "8"));
    EXPECT_TRUE(msgs.Texts().isEmpty());
}

} // namespace
