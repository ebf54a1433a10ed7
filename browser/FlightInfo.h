#pragma once
// The "Flight information" page: the facts of the current flight file and
// the rich-text notes editor RichEdit1 with its tool bar and pop-up menu.
#include "flights/OpenFlights.h"

#include <QWidget>
#include <memory>

class QAction;
class QButtonGroup;
class QComboBox;
class QFontComboBox;
class QLineEdit;
class QMenu;
class QPrinter;
class QTextCharFormat;
class QTextEdit;
class QToolBar;
class QToolButton;

namespace qv {

class INotesDialogs;

// Notes larger than this are shown only when the user asks for them (a
// text document takes seconds for each megabyte).
constexpr std::size_t kLargeNotesBytes = 2u << 20;

class TFlightInfoPage : public QWidget, public IFlightInfoView {
    Q_OBJECT
public:
    explicit TFlightInfoPage(QWidget* parent = nullptr);
    ~TFlightInfoPage() override;

    // The font and printer dialogs (not owned); null gives the program's own.
    void SetDialogs(INotesDialogs* dialogs);

    // Flight facts
    QLineEdit* EditFile = nullptr; // the file shown
    QLineEdit* EditDate = nullptr;
    QLineEdit* EditSampling = nullptr;
    QLineEdit* EditVer = nullptr;
    QLineEdit* EditFlightTime = nullptr;
    QLineEdit* EditMaxHeight = nullptr;
    // Notes editor and its tools, in the order of the tool bar
    QToolBar* ToolBarNotes = nullptr;
    QToolButton* TBPrint = nullptr;
    QToolButton* TBCut = nullptr;
    QToolButton* TBCopy = nullptr;
    QToolButton* TBPaste = nullptr;
    QToolButton* TBUndo = nullptr;
    QToolButton* TBBold = nullptr;
    QToolButton* TBItalic = nullptr;
    QToolButton* TBUnderline = nullptr;
    QToolButton* TBFont = nullptr;
    QFontComboBox* ComboBoxFontName = nullptr;
    QComboBox* ComboBoxFontSize = nullptr;
    QToolButton* TBLeftAlign = nullptr;
    QToolButton* TBCenterAlign = nullptr;
    QToolButton* TBRightAlign = nullptr;
    QButtonGroup* AlignGroup = nullptr;
    QTextEdit* RichEdit1 = nullptr;
    // Pop-up menu of the editor
    QMenu* PopupNotes = nullptr;
    QAction* pmnuPrint = nullptr;
    QAction* pmnuCut = nullptr;
    QAction* pmnuCopy = nullptr;
    QAction* pmnuPaste = nullptr;
    QAction* pmnuUndo = nullptr;
    QAction* pmnuFont = nullptr;
    QAction* pmnuLeft = nullptr;
    QAction* pmnuCenter = nullptr;
    QAction* pmnuRight = nullptr;
    QAction* pmnuCancel = nullptr;

    // Selects the editor's font in the font-name box and clears the size box.
    void ResetFontBoxes();

    // Handlers
    void RichEdit1SelectionChange(); // the tools follow the selection
    void UpdateUndoPaste();          // what the idle test shows
    void TBStyleClick(QToolButton* button);
    void TBFontClick();
    void ComboBoxFontNameChange(const QString& name);
    void ComboBoxFontSizeChange(const QString& text);
    void AlignClick(int tag);
    void TBCutClick();
    void TBCopyClick();
    void TBPasteClick();
    void TBUndoClick();
    void TBPrintClick();
    void PreparePopup();

    // Prints the notes as one document without a title; throws
    // std::runtime_error when the printer fails.
    void PrintNotes(QPrinter& printer);

    // IFlightInfoView
    void ShowInfo(const TFlightInfo& info) override;
    bool NotesChanged() const override;
    std::string NotesBytes() const override;
    void SetNotes(const std::string& bytes) override;
    void MarkNotesUnchanged() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* CreateFacts();
    void CreateTools();
    void CreatePopup();
    void MergeFormat(const QTextCharFormat& format);
    bool EditorKey(int key, Qt::KeyboardModifiers mods);
    bool SizeBoxKey(int key, const QString& text, Qt::KeyboardModifiers mods);

    std::unique_ptr<INotesDialogs> systemDialogs_;
    INotesDialogs* dialogs_ = nullptr;
    bool updating_ = false; // the tools are being brought in step
    bool withheld_ = false; // large notes the user chose not to show
    bool fileShown_ = false;
};

} // namespace qv
