#include "browser/FlightInfo.h"

#include "base/FileName.h"
#include "browser/Notes.h"
#include "browser/NotesDialogs.h"
#include "ui/ToolIcons.h"

#include <QActionGroup>
#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QComboBox>
#include <QFileInfo>
#include <QFontComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace qv {

namespace {

// Four lines of text drawn the way an alignment lays them out.
QIcon AlignIcon(int tag)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(QPen(Qt::black, 1));
    const int widths[] = {14, 9, 14, 7};
    for (int i = 0; i < 4; ++i) {
        const int w = widths[i];
        const int x = tag == AlignLeft ? 1 : tag == AlignRight ? 15 - w : (16 - w) / 2;
        p.drawLine(x, 3 + 3 * i, x + w - 1, 3 + 3 * i);
    }
    return QIcon(pm);
}

} // namespace

TFlightInfoPage::TFlightInfoPage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TabInfo"));
    systemDialogs_ = std::make_unique<TSystemNotesDialogs>(this);
    dialogs_ = systemDialogs_.get();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(CreateFacts());

    RichEdit1 = new QTextEdit(this);
    RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
    RichEdit1->setAcceptRichText(true);
    RichEdit1->setFont(QFont(QString::fromLatin1(kNotesFontName), kNotesFontPoints));
    RichEdit1->setReadOnly(true); // until a file is shown
    // The selection stays visible while the editor has no focus.
    QPalette pal = RichEdit1->palette();
    pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
                 pal.color(QPalette::Active, QPalette::HighlightedText));
    RichEdit1->setPalette(pal);
    RichEdit1->installEventFilter(this);

    CreateTools();
    layout->addWidget(ToolBarNotes);
    layout->addWidget(RichEdit1, 1);
    CreatePopup();

    connect(RichEdit1, &QTextEdit::selectionChanged, this, &TFlightInfoPage::RichEdit1SelectionChange);
    connect(RichEdit1, &QTextEdit::cursorPositionChanged, this, &TFlightInfoPage::RichEdit1SelectionChange);
    connect(RichEdit1, &QTextEdit::currentCharFormatChanged, this, &TFlightInfoPage::RichEdit1SelectionChange);
    // The idle test of undo and paste: whenever either can change.
    connect(RichEdit1, &QTextEdit::undoAvailable, this, &TFlightInfoPage::UpdateUndoPaste);
    connect(RichEdit1, &QTextEdit::textChanged, this, &TFlightInfoPage::UpdateUndoPaste);
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this, &TFlightInfoPage::UpdateUndoPaste);
    RichEdit1SelectionChange();
}

TFlightInfoPage::~TFlightInfoPage() = default;

void TFlightInfoPage::SetDialogs(INotesDialogs* dialogs)
{
    dialogs_ = dialogs ? dialogs : systemDialogs_.get();
}

QWidget* TFlightInfoPage::CreateFacts()
{
    // Two lines, so that the page fits beside the tree on small screens.
    auto* row = new QWidget(this);
    auto* grid = new QGridLayout(row);
    grid->setContentsMargins(0, 0, 0, 0);
    int line = 0, col = 0;
    auto box = [row, grid, &line, &col](const char* label, const char* name, int width, const char* unit = nullptr) {
        grid->addWidget(new QLabel(QString::fromLatin1(label), row), line, col++);
        auto* e = new QLineEdit(row);
        e->setObjectName(QLatin1String(name));
        e->setReadOnly(true);
        if (width > 0)
            e->setMaximumWidth(width);
        grid->addWidget(e, line, col++);
        grid->addWidget(new QLabel(unit ? QString::fromLatin1(unit) : QString(), row), line, col++);
        return e;
    };
    EditFile = box("File:", "EditFile", 0);
    EditDate = box("Date:", "EditDate", 180);
    EditDate->setMinimumWidth(EditDate->fontMetrics().horizontalAdvance(QStringLiteral("88.88.8888 88:88:88")) + 12);
    EditSampling = box("Sampling:", "EditSampling", 60, "ms");
    line = 1;
    col = 0;
    EditVer = box("Ver:", "EditVer", 40);
    EditFlightTime = box("Flight time:", "EditFlightTime", 80);
    EditMaxHeight = box("Max. height:", "EditMaxHeight", 90);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(9, 1);
    return row;
}

void TFlightInfoPage::CreateTools()
{
    ToolBarNotes = new QToolBar(this);
    ToolBarNotes->setObjectName(QStringLiteral("ToolBarNotes"));
    auto button = [this](const char* name, const QString& text, const QString& hint, bool checkable = false) {
        auto* b = new QToolButton(ToolBarNotes);
        b->setObjectName(QLatin1String(name));
        b->setText(text);
        b->setToolTip(hint);
        b->setStatusTip(hint);
        b->setCheckable(checkable);
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        ToolBarNotes->addWidget(b);
        return b;
    };
    // No captions of their own: the picture says it, the hint names it.
    TBPrint = button("TBPrint", QString(), QStringLiteral("Tisk"));
    TBCut = button("TBCut", QString(), QStringLiteral("Vyjmout"));
    TBCopy = button("TBCopy", QString(), QStringLiteral("Kopírovat"));
    TBPaste = button("TBPaste", QString(), QStringLiteral("Vložit"));
    TBUndo = button("TBUndo", QString(), QStringLiteral("Zpět"));
    ToolBarNotes->addSeparator();
    TBBold = button("TBBold", QStringLiteral("B"), QStringLiteral("Tučné"), true);
    TBItalic = button("TBItalic", QStringLiteral("I"), QStringLiteral("Kurzíva"), true);
    TBUnderline = button("TBUnderline", QStringLiteral("U"), QStringLiteral("Podtržené"), true);
    TBFont = button("TBFont", QStringLiteral("A"), QStringLiteral("Písmo"));
    QFont f = TBBold->font();
    f.setBold(true);
    TBBold->setFont(f);
    f.setBold(false);
    f.setItalic(true);
    TBItalic->setFont(f);
    f.setItalic(false);
    f.setUnderline(true);
    TBUnderline->setFont(f);
    ToolBarNotes->addSeparator();

    ComboBoxFontName = new QFontComboBox(ToolBarNotes);
    ComboBoxFontName->setObjectName(QStringLiteral("ComboBoxFontName"));
    ComboBoxFontName->setInsertPolicy(QComboBox::NoInsert);
    ComboBoxFontName->setToolTip(QStringLiteral("Písmo"));
    ToolBarNotes->addWidget(ComboBoxFontName);
    ComboBoxFontSize = new QComboBox(ToolBarNotes);
    ComboBoxFontSize->setObjectName(QStringLiteral("ComboBoxFontSize"));
    ComboBoxFontSize->setEditable(true);
    ComboBoxFontSize->setInsertPolicy(QComboBox::NoInsert);
    ComboBoxFontSize->setToolTip(QStringLiteral("Velikost písma"));
    for (int size : {8, 9, 10, 11, 12, 14, 16, 18, 20, 22, 24, 26, 28, 36, 48, 72})
        ComboBoxFontSize->addItem(QString::number(size));
    ComboBoxFontSize->setMinimumContentsLength(3);
    ComboBoxFontSize->lineEdit()->installEventFilter(this);
    ToolBarNotes->addWidget(ComboBoxFontSize);
    ToolBarNotes->addSeparator();

    TBLeftAlign = button("TBLeftAlign", QString(), QStringLiteral("Zarovnat doleva"), true);
    TBCenterAlign = button("TBCenterAlign", QString(), QStringLiteral("Zarovnat na střed"), true);
    TBRightAlign = button("TBRightAlign", QString(), QStringLiteral("Zarovnat doprava"), true);
    AlignGroup = new QButtonGroup(this);
    AlignGroup->setExclusive(true);
    for (auto [b, tag] : {std::pair{TBLeftAlign, int(AlignLeft)}, std::pair{TBCenterAlign, int(AlignCenter)},
                          std::pair{TBRightAlign, int(AlignRight)}}) {
        b->setIcon(AlignIcon(tag));
        AlignGroup->addButton(b, tag);
    }
    TBLeftAlign->setChecked(true);

    connect(TBPrint, &QToolButton::clicked, this, &TFlightInfoPage::TBPrintClick);
    connect(TBCut, &QToolButton::clicked, this, &TFlightInfoPage::TBCutClick);
    connect(TBCopy, &QToolButton::clicked, this, &TFlightInfoPage::TBCopyClick);
    connect(TBPaste, &QToolButton::clicked, this, &TFlightInfoPage::TBPasteClick);
    connect(TBUndo, &QToolButton::clicked, this, &TFlightInfoPage::TBUndoClick);
    for (QToolButton* b : {TBBold, TBItalic, TBUnderline})
        connect(b, &QToolButton::clicked, this, [this, b] { TBStyleClick(b); });
    connect(TBFont, &QToolButton::clicked, this, &TFlightInfoPage::TBFontClick);
    connect(ComboBoxFontName, &QComboBox::textActivated, this, &TFlightInfoPage::ComboBoxFontNameChange);
    connect(ComboBoxFontSize, &QComboBox::editTextChanged, this, &TFlightInfoPage::ComboBoxFontSizeChange);
    connect(ComboBoxFontSize, &QComboBox::activated, this, [this] { RichEdit1->setFocus(); });
    connect(AlignGroup, &QButtonGroup::idClicked, this, &TFlightInfoPage::AlignClick);

    SetToolIcons(ToolBarNotes, {{"TBPrint", "document-print"},
                                {"TBCut", "edit-cut"},
                                {"TBCopy", "edit-copy"},
                                {"TBPaste", "edit-paste"},
                                {"TBUndo", "edit-undo"},
                                {"TBBold", "format-text-bold"},
                                {"TBItalic", "format-text-italic"},
                                {"TBUnderline", "format-text-underline"},
                                {"TBFont", "preferences-desktop-font"}});
}

void TFlightInfoPage::CreatePopup()
{
    PopupNotes = new QMenu(RichEdit1);
    PopupNotes->setObjectName(QStringLiteral("PopupNotes"));
    pmnuPrint = PopupNotes->addAction(QStringLiteral("Tisk"), this, &TFlightInfoPage::TBPrintClick);
    pmnuCut = PopupNotes->addAction(QStringLiteral("Vyjmout"), this, &TFlightInfoPage::TBCutClick);
    pmnuCopy = PopupNotes->addAction(QStringLiteral("Kopírovat"), this, &TFlightInfoPage::TBCopyClick);
    pmnuPaste = PopupNotes->addAction(QStringLiteral("Vložit"), this, &TFlightInfoPage::TBPasteClick);
    pmnuUndo = PopupNotes->addAction(QStringLiteral("Zpět"), this, &TFlightInfoPage::TBUndoClick);
    PopupNotes->addSeparator();
    pmnuFont = PopupNotes->addAction(QStringLiteral("Font"), this, &TFlightInfoPage::TBFontClick);
    QMenu* align = PopupNotes->addMenu(QStringLiteral("Zarovnání"));
    auto* group = new QActionGroup(align);
    group->setExclusive(true);
    auto radio = [this, align, group](const QString& caption, int tag) {
        QAction* a = align->addAction(caption);
        a->setCheckable(true);
        a->setData(tag);
        group->addAction(a);
        connect(a, &QAction::triggered, this, [this, tag] { AlignClick(tag); });
        return a;
    };
    pmnuLeft = radio(QStringLiteral("Doleva"), AlignLeft);
    pmnuCenter = radio(QStringLiteral("Na střed"), AlignCenter);
    pmnuRight = radio(QStringLiteral("Doprava"), AlignRight);
    PopupNotes->addSeparator();
    pmnuCancel = PopupNotes->addAction(QStringLiteral("Storno"));

    RichEdit1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(RichEdit1, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        PreparePopup();
        PopupNotes->popup(RichEdit1->mapToGlobal(pos));
    });
}

void TFlightInfoPage::ResetFontBoxes()
{
    const bool was = updating_;
    updating_ = true;
    ComboBoxFontName->setCurrentIndex(
        ComboBoxFontName->findText(RichEdit1->currentFont().family(), Qt::MatchFixedString));
    ComboBoxFontSize->setCurrentIndex(-1);
    ComboBoxFontSize->setEditText(QString());
    updating_ = was;
}

void TFlightInfoPage::RichEdit1SelectionChange()
{
    if (updating_)
        return;
    updating_ = true;
    const QTextCharFormat cf = RichEdit1->currentCharFormat();
    const QFont font = cf.font().resolve(RichEdit1->document()->defaultFont());
    TBBold->setChecked(font.bold());
    TBItalic->setChecked(font.italic());
    TBUnderline->setChecked(font.underline());
    // A box being typed in keeps what is typed.
    if (!ComboBoxFontSize->hasFocus())
        ComboBoxFontSize->setEditText(QString::number(qRound(font.pointSizeF())));
    if (!ComboBoxFontName->hasFocus()) {
        const int index = ComboBoxFontName->findText(font.family(), Qt::MatchFixedString);
        ComboBoxFontName->setCurrentIndex(index);
        if (index < 0)
            ComboBoxFontName->setEditText(QString());
    }
    const bool selected = RichEdit1->textCursor().hasSelection();
    TBCut->setEnabled(selected);
    TBCopy->setEnabled(selected);
    const int tag = AlignmentTag(RichEdit1->alignment());
    if (QAbstractButton* b = AlignGroup->button(tag)) {
        b->setChecked(true);
    } else { // justified: none of the three
        AlignGroup->setExclusive(false);
        for (QAbstractButton* other : AlignGroup->buttons())
            other->setChecked(false);
        AlignGroup->setExclusive(true);
    }
    UpdateUndoPaste();
    updating_ = false;
}

void TFlightInfoPage::UpdateUndoPaste()
{
    TBUndo->setEnabled(RichEdit1->document()->isUndoAvailable() && !RichEdit1->isReadOnly());
    TBPaste->setEnabled(RichEdit1->canPaste());
}

void TFlightInfoPage::ShowInfo(const TFlightInfo& info)
{
    EditFile->setText(info.FileName.isEmpty() ? QString() : ShownName(QFileInfo(info.FileName).fileName()));
    EditFile->setToolTip(info.FileName);
    EditDate->setText(info.Date);
    EditSampling->setText(info.Sampling);
    EditVer->setText(info.Ver);
    EditFlightTime->setText(info.FlightTime);
    EditMaxHeight->setText(info.MaxHeight);
    // Notes typed with no file shown would belong to none.
    RichEdit1->setReadOnly(info.FileName.isEmpty());
    RichEdit1SelectionChange();
}

bool TFlightInfoPage::NotesChanged() const { return RichEdit1->document()->isModified(); }

std::string TFlightInfoPage::NotesBytes() const { return SaveNotes(*RichEdit1->document()); }

void TFlightInfoPage::SetNotes(const std::string& bytes)
{
    QTextDocument* doc = RichEdit1->document();
    updating_ = true;
    LoadNotes(bytes, *doc);
    doc->clearUndoRedoStacks();
    doc->setModified(false);
    RichEdit1->setTextCursor(QTextCursor(doc));
    updating_ = false;
    RichEdit1SelectionChange();
}

void TFlightInfoPage::MarkNotesUnchanged() { RichEdit1->document()->setModified(false); }

} // namespace qv
