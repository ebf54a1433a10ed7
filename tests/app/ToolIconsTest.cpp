// The tool bars' icons: from the theme or the program's own pictures, sharp
// at twice the pixels, and the one rule for captions and hints.
#include "app/Application.h"
#include "app/MainFrm.h"
#include "browser/FlightInfo.h"
#include "graph/GraphPage.h"
#include "ProgramRun.h"
#include "support/ScriptedMessages.h"
#include "support/TempDir.h"
#include "ui/ToolIcons.h"

#include <QApplication>
#include <QTabWidget>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

using namespace qv;
using namespace qv::test;

TEST(ToolIcons, OwnPicturesWithoutAThemeSharpAtTwiceThePixels)
{
    const QString theme = QIcon::themeName();
    QIcon::setThemeName(QString()); // a desktop without an icon theme
    for (const char* name : {"zoom-in", "zoom-out", "zoom-original", "document-print", "edit-copy",
                             "document-save-as", "format-text-bold"}) {
        const QIcon icon = ToolIcon(name);
        ASSERT_FALSE(icon.isNull()) << name;
        const QPixmap sharp = icon.pixmap(QSize(24, 24), 2.0);
        EXPECT_EQ(sharp.size(), QSize(48, 48)) << name;
        EXPECT_EQ(sharp.devicePixelRatio(), 2.0) << name;
    }
    QIcon::setThemeName(theme);
}

TEST(ToolIcons, GraphAndNotesToolBarsShowIconsBesideTheirCaptions)
{
    qv::test::TempDir dir;
    qv::test::ScriptedMessages messages;
    qv::test::StartProgram(dir.path(), dir.file("quorvel.ini"));
    TGraphPage* page = Main()->GraphPage;
    EXPECT_EQ(page->TBZoomIn->text(), "Zoom In");
    EXPECT_EQ(page->TBZoomIn->toolTip(), "Zoom in"); // the hint stays the tool tip
    EXPECT_EQ(page->TBSaveGraph->text(), "Save as");
    EXPECT_EQ(Main()->InfoPage->TBBold->text(), "B");

    const TFlightInfoPage* notes = Main()->InfoPage;
    for (QToolButton* b : {page->TBZoomIn, page->TBZoomOut, page->TBUndoZoom, page->TBGraphSetup,
                           page->TBShowLegend, page->ShowTable, page->TBMeasure, page->TBAnnotDialog,
                           page->TBCopyGraph, page->TBSaveGraph, page->TBPrintGraph, notes->TBPrint, notes->TBCut,
                           notes->TBCopy, notes->TBPaste, notes->TBUndo, notes->TBBold, notes->TBItalic,
                           notes->TBUnderline, notes->TBFont}) {
        EXPECT_FALSE(b->icon().isNull()) << b->objectName().toStdString();
        EXPECT_FALSE(b->toolTip().isEmpty()) << b->objectName().toStdString();
        EXPECT_EQ(b->toolButtonStyle(), Qt::ToolButtonTextBesideIcon) << b->objectName().toStdString();
    }
    // The notes editor's print ... undo have hints and no captions: the
    // icon alone.
    EXPECT_TRUE(notes->TBPrint->text().isEmpty());
    EXPECT_EQ(notes->TBPrint->toolTip(), "Tisk");
    StopForms();
}

// At 1024x700 no button of the graph page hides behind a tool bar's
// overflow arrow.
TEST(ToolIcons, EveryGraphButtonShowsInASmallWindow)
{
    qv::test::TempDir dir;
    qv::test::ScriptedMessages messages;
    qv::test::StartProgram(dir.path(), dir.file("quorvel.ini"));
    Main()->resize(1024, 700);
    Main()->PageControl1->setCurrentWidget(Main()->GraphPage);
    Main()->GraphPage->setEnabled(true);
    QApplication::processEvents();
    TGraphPage* page = Main()->GraphPage;
    for (QToolButton* b : {page->TBZoomIn, page->TBZoomOut, page->TBUndoZoom, page->TBGraphSetup, page->TBShowLegend,
                           page->ShowTable, page->TBMeasure, page->TBAnnotDialog, page->TBCopyGraph,
                           page->TBSaveGraph, page->TBPrintGraph})
        EXPECT_TRUE(b->isVisible()) << b->objectName().toStdString();
    StopForms();
}

} // namespace
