#include "base/Numbers.h"
#include "app/Options.h"

#include "app/Settings.h"
#include "base/MessageService.h"
#include "base/Version.h"
#include "device/PortAdvice.h"

#include <QComboBox>
#include <QCompleter>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QAbstractItemView>
#include <QStyledItemDelegate>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace qv {

namespace {
// The port list shows each port's caption (description and maker); the
// box itself, and what is saved, hold the port's name.
class TPortItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const QString caption = index.data(TFormOptions::CaptionRole).toString();
        if (!caption.isEmpty())
            option->text = caption;
    }
};

// Without a port listed by the system.
QStringList DefaultPortNames() { return {"COM1", "COM2", "COM3", "COM4"}; }
} // namespace

QStringList SystemPortNames()
{
    QStringList names;
    for (const TPortEntry& port : SystemPorts())
        names << port.Name;
    return names.isEmpty() ? DefaultPortNames() : names;
}

void TFormOptions::SetPorts(const QList<TPortEntry>& ports)
{
    ComboBoxCOM->clear();
    for (const TPortEntry& port : ports) {
        ComboBoxCOM->addItem(port.Name);
        ComboBoxCOM->setItemData(ComboBoxCOM->count() - 1, port.Caption, CaptionRole);
    }
    if (ports.isEmpty())
        ComboBoxCOM->addItems(DefaultPortNames());
    ComboBoxCOM->view()->setMinimumWidth(ComboBoxCOM->view()->sizeHintForColumn(0));
}

TFormOptions::TFormOptions(QWidget* parent) : TBareForm(QStringLiteral("FormOptions"), QStringLiteral("Options"), parent)
{
    rememberPosition_ = true;
    const QString rootHint = QStringLiteral("Kořenova složka datových souborů.");

    auto* grid = new QGridLayout(this);
    auto* rootText = new QLabel(QStringLiteral("Default root folder:"), this);
    rootText->setToolTip(rootHint);
    grid->addWidget(rootText, 0, 0, 1, 2);
    LabelRoot = new QLabel(this);
    LabelRoot->setObjectName(QStringLiteral("LabelRoot"));
    LabelRoot->setCursor(Qt::PointingHandCursor);
    LabelRoot->installEventFilter(this);
    grid->addWidget(LabelRoot, 1, 0);
    ButtonRoot = new QToolButton(this);
    ButtonRoot->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    ButtonRoot->setToolTip(rootHint);
    connect(ButtonRoot, &QToolButton::clicked, this, &TFormOptions::ChooseRoot);
    grid->addWidget(ButtonRoot, 1, 1);

    grid->addWidget(new QLabel(QStringLiteral("Communication port:"), this), 2, 0, 1, 2);
    ComboBoxCOM = new QComboBox(this);
    ComboBoxCOM->setObjectName(QStringLiteral("ComboBoxCOM"));
    // Editable: a port the system does not list (unplugged now, or named by
    // hand) is shown and kept as it is.
    ComboBoxCOM->setEditable(true);
    ComboBoxCOM->setInsertPolicy(QComboBox::NoInsert);
    ComboBoxCOM->setItemDelegate(new TPortItemDelegate(ComboBoxCOM));
    // Suggestions beside what is typed, never in it: "/dev/ttyS" stays
    // "/dev/ttyS" and not the "/dev/ttyS0" of the list.
    ComboBoxCOM->completer()->setCompletionMode(QCompleter::PopupCompletion);
    ComboBoxCOM->completer()->setCaseSensitivity(Qt::CaseSensitive);
    SetPorts(SystemPorts());
    grid->addWidget(ComboBoxCOM, 3, 0, 1, 2);

    grid->addWidget(new QLabel(QStringLiteral("Default file name:"), this), 4, 0, 1, 2);
    EditDefFileName = new QLineEdit(QStringLiteral("Block"), this);
    EditDefFileName->setObjectName(QStringLiteral("EditDefFileName"));
    EditDefFileName->installEventFilter(this);
    grid->addWidget(EditDefFileName, 5, 0);
    grid->addWidget(new QLabel(QStringLiteral("+ \"00X.kdf\""), this), 5, 1);

    auto* markerLabel = new QLabel(QStringLiteral("Marker Threshold:"), this);
    MarkerEdit = new QLineEdit(QStringLiteral("0"), this);
    MarkerEdit->setObjectName(QStringLiteral("MarkerEdit"));
    MarkerEdit->installEventFilter(this);
    markerLabel->hide();
    MarkerEdit->hide();
    grid->addWidget(markerLabel, 6, 0);
    grid->addWidget(MarkerEdit, 6, 1);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    ok->setDefault(true); // Enter anywhere means OK, Escape Cancel
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    grid->addWidget(buttons, 7, 0, 1, 2);
}

void TFormOptions::Fill(const TOptionsValues& v)
{
    RootFolder = v.Root;
    ComboBoxCOM->setCurrentIndex(ComboBoxCOM->findText(v.Com, Qt::MatchExactly | Qt::MatchCaseSensitive));
    ComboBoxCOM->setEditText(v.Com);
    EditDefFileName->setText(v.DefFileName);
    threshold_ = v.MarkerThreshold;
    MarkerEdit->setText(FormatThreshold(v.MarkerThreshold));
    SetRootFolder(RootFolder);
}

void TFormOptions::SetRootFolder(const QString& folder)
{
    RootFolder = folder;
    LabelRoot->setToolTip(folder);
    LabelRoot->setText(RootCaption(folder));
}

void TFormOptions::ChooseRoot()
{
    const QString chosen = Messages().ExistingDirectory(QStringLiteral("Default root folder"), RootFolder);
    if (!chosen.isEmpty())
        SetRootFolder(QFileInfo(chosen).absoluteFilePath());
}

void TFormOptions::MarkerEditExit()
{
    const QString text = MarkerEdit->text().trimmed();
    if (text.isEmpty()) {
        MarkerEdit->setText(QStringLiteral("0"));
        return;
    }
    if (!ParseUserNumber(text)) {
        MarkerEdit->setText(FormatThreshold(threshold_));
        Messages().Error(QStringLiteral("Marker Threshold must be a number value."));
    }
}

bool TFormOptions::Confirm(TOptionsValues& v)
{
    if (!QFileInfo(RootFolder).isDir()) {
        Messages().Error(QStringLiteral("Invalid directory!"));
        return false;
    }
    v.Root = RootFolder;
    // An emptied port box keeps the port: no port name is of any use.
    if (!ComboBoxCOM->currentText().trimmed().isEmpty())
        v.Com = ComboBoxCOM->currentText();
    v.DefFileName = EditDefFileName->text();
    if (const std::optional<double> t = ParseUserNumber(MarkerEdit->text()))
        v.MarkerThreshold = *t;
    return true;
}

bool TFormOptions::Execute(TOptionsValues& values)
{
    for (;;) {
        Fill(values);
        if (Messages().ExecDialog(*this) != QDialog::Accepted)
            return false;
        if (Confirm(values))
            return true;
    }
}

void TFormOptions::showEvent(QShowEvent* e)
{
    TBareForm::showEvent(e);
    SetRootFolder(RootFolder);
}

bool TFormOptions::eventFilter(QObject* o, QEvent* e)
{
    if (o == LabelRoot && e->type() == QEvent::MouseButtonRelease) {
        ChooseRoot();
        return true;
    }
    if (o == EditDefFileName && e->type() == QEvent::KeyPress) {
        const QString text = static_cast<QKeyEvent*>(e)->text();
        if (text.size() == 1 && !IsFileNameCharAllowed(text.at(0)))
            return true; // discarded
    }
    if (o == MarkerEdit) {
        if (e->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(e)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                ComboBoxCOM->setFocus();
                return true;
            }
        } else if (e->type() == QEvent::FocusOut) {
            MarkerEditExit();
        }
    }
    return QDialog::eventFilter(o, e);
}

TFormAbout::TFormAbout(QWidget* parent) : TBareForm(QStringLiteral("FormAbout"), QStringLiteral("About"), parent)
{
    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel(QStringLiteral("<b>Quorvel</b><br>version %1<br>Companion program of the Kavo5 data logger.")
                                 .arg(ProgramVersion()),
                             this);
    layout->addWidget(title);
    LabelSettings = new QLabel(this);
    LabelSettings->setWordWrap(true);
    LabelSettings->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(LabelSettings);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

void TFormAbout::SetSettingsPath(const QString& path)
{
    LabelSettings->setText(QStringLiteral("Settings file: %1").arg(path));
}

} // namespace qv
