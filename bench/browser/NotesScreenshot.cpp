// Pictures of the notes editor: a flight whose notes a rich-edit control
// wrote, opened in the main window (OUT-notes.png), and the tool bar in step
// with a bold, centred selection (OUT-toolbar.png):
// qv_notes_screenshot OUT
#include "FlightMaker.h"
#include "ShotRun.h"
#include "app/Application.h"
#include "app/MainFrm.h"
#include "base/Assert.h"
#include "base/MessageService.h"
#include "browser/FlightInfo.h"
#include "data/DataFile.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTreeWidget>
#include <cstdio>

using namespace qv;

namespace {
const char* const kNotes =
    "{\\rtf1\\ansi\\ansicpg1250\\deff0\\deflang1029{\\fonttbl{\\f0\\fswiss\\fcharset238 Arial;}"
    "{\\f1\\froman\\fprq2\\fcharset238 Times New Roman;}{\\f2\\fmodern\\fcharset238 Courier New;}}\r\n"
    "{\\colortbl ;\\red192\\green0\\blue0;\\red0\\green0\\blue128;}\r\n"
    "\\viewkind4\\uc1\\pard\\qc\\b\\f0\\fs32 Let \\'e8. 5 \\endash  Ho\\'f8ice\\b0\\par\r\n"
    "\\pard\\f1\\fs22 Vzlet v 10:42, v\\'edtr 3 m/s od z\\'e1padu, \\i stoupav\\'e1 \\'e8\\'e1st bez pot\\'ed\\'9e\\'ed\\i0 ."
    "\\par\r\n\\ul Probl\\'e9my:\\ulnone  p\\'f8i p\\'f8ist\\'e1n\\'ed \\cf1\\b \\'9aikm\\'e1 plocha\\cf0\\b0 , "
    "\\strike servo\\strike0  OK.\\par\r\n"
    "\\pard\\qr\\f2\\fs18\\cf2 Tah 412 N, servo 63 %, nap\\'ect\\'ed 7,9 V\\cf0\\par\r\n"
    "\\pard\\f0\\fs20\\par\r\n}";
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvel"));
    if (argc < 2) {
        std::fprintf(stderr, "usage: qv_notes_screenshot OUT\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);

    QTemporaryDir tmp;
    const QString root = QDir(tmp.path()).filePath(QStringLiteral("Data"));
    QDir().mkpath(root);
    TDataBlock b = bench::MakeFlight(600, 10, 0);
    b.NotesStream() = kNotes;
    WriteDataFile(root + QStringLiteral("/Blok5.kdf"), b, Messages());
    const QString ini = QDir(tmp.path()).filePath(QStringLiteral("quorvel.ini"));
    QFile f(ini);
    f.open(QIODevice::WriteOnly);
    f.write("[Options]\r\nRoot=" + root.toUtf8() + "\r\n");
    f.close();

    bench::TShotRun run(ini);
    bench::Main()->resize(1200, 620);
    bench::Main()->show();
    bench::Pump(300);
    auto* tree = bench::Main()->findChild<QTreeWidget*>(QStringLiteral("TreeView1"));
    const auto items = tree ? tree->findItems(QStringLiteral("Blok5"), Qt::MatchExactly | Qt::MatchRecursive)
                            : QList<QTreeWidgetItem*>();
    if (items.isEmpty())
        return 1;
    emit tree->itemDoubleClicked(items.first(), 0);
    bench::Main()->PageControl1->setCurrentIndex(0);
    bench::Pump(300);
    bool ok = bench::Main()->grab().save(out + QStringLiteral("-notes.png"));

    QTextEdit* edit = bench::Main()->InfoPage->RichEdit1;
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_End, Qt::ShiftModifier);
    bench::Pump(200);
    ok = bench::Main()->InfoPage->grab().save(out + QStringLiteral("-toolbar.png")) && ok;
    std::printf("%s %s-*.png\n", ok ? "saved" : "could not save", argv[1]);

    return ok ? 0 : 1;
}
