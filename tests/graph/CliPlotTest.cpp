// quorvel-cli plot: flight files drawn into picture files without a display.
#include "support/KdfText.h"
#include "support/MetafileRecords.h"
#include "support/TempDir.h"

#include <QProcess>
#include <QImage>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

using namespace qv::test;

namespace {

struct TRun {
    int exitCode = -2;
    QString err;
};

TRun Plot(const QStringList& args)
{
    QProcess p;
    // No platform given: the command picks the offscreen one itself.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.remove(QStringLiteral("DISPLAY"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(QV_CLI_PATH), QStringList{QStringLiteral("plot")} + args);
    TRun r;
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

std::vector<QString> Texts(const QByteArray& emf)
{
    std::vector<QString> out;
    for (const auto& r : OfType(EmfRecords(emf), 84))
        out.push_back(EmfText(r));
    return out;
}

bool Has(const std::vector<QString>& v, const char* t)
{
    return std::find(v.begin(), v.end(), QString::fromUtf8(t)) != v.end();
}

class CliPlot : public ::testing::Test {
protected:
    void SetUp() override
    {
        KdfContent a;
        a.Lines = ThreeChannelLines(300); // 0 to 29.9 s
        a.Annotations << QStringLiteral("12.0,100.00,Vypnut\u00ed");
        ASSERT_TRUE(WriteAll(dir.file(QStringLiteral("f1.kdf")), KdfText(a).replace("Vypnut?", "Vypnut\xED")));
        KdfContent b;
        b.Flags = 0xC000; // altitude and receiver only
        for (int i = 0; i < 200; ++i)
            b.Lines << QStringLiteral("%1,%2,%3").arg(i * 0.1, 0, 'f', 1).arg(50.0, 0, 'f', 2).arg(5.0, 0, 'f', 2);
        ASSERT_TRUE(WriteAll(dir.file(QStringLiteral("f2.kdf")), KdfText(b)));
        ASSERT_TRUE(WriteAll(dir.file(QStringLiteral("g.ini")),
                             "[Options]\r\nTBShowLegend=1\r\n[GraphSetup]\r\nAltitudeLWidth=3\r\n"));
    }
    TempDir dir;
};

} // namespace

TEST_F(CliPlot, DrawsTheFlightsWithTheSettingsIntoAnEnhancedMetafile)
{
    const QString out = dir.file(QStringLiteral("graph.emf"));
    const TRun r = Plot({dir.file(QStringLiteral("f1.kdf")), dir.file(QStringLiteral("f2.kdf")), QStringLiteral("--out"),
                         out, QStringLiteral("--size"), QStringLiteral("800x500"), QStringLiteral("--ini"),
                         dir.file(QStringLiteral("g.ini"))});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QByteArray emf = ReadAll(out);
    EXPECT_EQ(U32(emf, 40), 0x464D4520u);
    EXPECT_EQ(I32(emf, 16), 799);
    EXPECT_EQ(I32(emf, 20), 499);
    const auto texts = Texts(emf);
    for (const char* t : {"Time (sec)", "Traction (N)", "Servo (%)", "Voltage (V)", "f1 (Alt)", "f1 (RX)", "f2 (Alt)",
                          "f2 (Annot)", "Vypnutí"})
        EXPECT_TRUE(Has(texts, t)) << t;
    // The first file's traction curve in its colour, three pixels wide.
    const int u = 16; // logical units per pixel
    bool wide = false;
    for (const auto& rec : OfType(EmfRecords(emf), 38))
        wide = wide || (I32(rec.bytes, 16) == 3 * u && U32(rec.bytes, 24) == 0xFF0000u); // blue
    EXPECT_TRUE(wide);
}

TEST_F(CliPlot, TimeWindowAndCurveChoice)
{
    const QString out = dir.file(QStringLiteral("graph.EMF"));
    const TRun r = Plot({dir.file(QStringLiteral("f1.kdf")), QStringLiteral("--out"), out, QStringLiteral("--time"),
                         QStringLiteral("5:10"), QStringLiteral("--curves"), QStringLiteral("alt,mark"),
                         QStringLiteral("--ini"), dir.file(QStringLiteral("g.ini"))});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const auto texts = Texts(ReadAll(out));
    EXPECT_TRUE(Has(texts, "f1 (Alt)"));
    EXPECT_FALSE(Has(texts, "f1 (RX)"));
    EXPECT_FALSE(Has(texts, "Vypnutí"));
    EXPECT_TRUE(Has(texts, "10"));
    EXPECT_FALSE(Has(texts, "20"));
}

TEST_F(CliPlot, UnknownEndingGivesABitmapUnderThatName)
{
    const QString out = dir.file(QStringLiteral("graph.out"));
    ASSERT_EQ(Plot({dir.file(QStringLiteral("f1.kdf")), QStringLiteral("--out"), out, QStringLiteral("--size"),
                    QStringLiteral("300x200")})
                  .exitCode,
              0);
    const QByteArray bmp = ReadAll(out);
    EXPECT_TRUE(bmp.startsWith("BM"));
    EXPECT_EQ(QImage::fromData(bmp, "BMP").size(), QSize(300, 200));
}

TEST_F(CliPlot, FailuresExitWithOneAndSayWhy)
{
    const QString f1 = dir.file(QStringLiteral("f1.kdf"));
    TRun r = Plot({f1});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("No picture file given"))) << r.err.toStdString();

    r = Plot({dir.file(QStringLiteral("missing.kdf")), QStringLiteral("--out"), dir.file(QStringLiteral("a.png"))});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("missing.kdf: Error in reading file."))) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(dir.file(QStringLiteral("a.png"))));

    const QString bad = dir.file(QStringLiteral("no folder/a.wmf"));
    r = Plot({f1, QStringLiteral("--out"), bad});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Error by saving Graph as Image file \"") + bad + QStringLiteral("\"!")));

    for (const QStringList& wrong : {QStringList{QStringLiteral("--size"), QStringLiteral("800")},
                                     QStringList{QStringLiteral("--time"), QStringLiteral("9:3")},
                                     QStringList{QStringLiteral("--curves"), QStringLiteral("alt,wind")},
                                     QStringList{QStringLiteral("--ini"), dir.file(QStringLiteral("none.ini"))}}) {
        r = Plot(QStringList{f1, QStringLiteral("--out"), dir.file(QStringLiteral("b.png"))} + wrong);
        EXPECT_EQ(r.exitCode, 1) << wrong.join(' ').toStdString();
        EXPECT_FALSE(QFile::exists(dir.file(QStringLiteral("b.png"))));
    }

    // A curve asked for that a file lacks: the picture is made, the gap named.
    const QString c = dir.file(QStringLiteral("c.svg"));
    r = Plot({f1, dir.file(QStringLiteral("f2.kdf")), QStringLiteral("--out"), c, QStringLiteral("--curves"),
              QStringLiteral("alt,pows")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("f2 has no pows channel"))) << r.err.toStdString();
    EXPECT_TRUE(ReadAll(c).contains("<svg"));
}
