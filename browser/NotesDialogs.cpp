#include "browser/NotesDialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontComboBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QIntValidator>
#include <QLabel>
#include <QPrintDialog>
#include <QPrinter>
#include <QVBoxLayout>

namespace qv {

namespace {
struct NamedColour {
    const char* name;
    QRgb rgb;
};
// The sixteen colours of the system font dialog.
const NamedColour kColours[] = {
    {"Černá", 0x000000}, {"Kaštanová", 0x800000}, {"Zelená", 0x008000}, {"Olivová", 0x808000},
    {"Námořnická modř", 0x000080}, {"Fialová", 0x800080}, {"Modrozelená", 0x008080}, {"Šedá", 0x808080},
    {"Stříbrná", 0xC0C0C0}, {"Červená", 0xFF0000}, {"Limetková", 0x00FF00}, {"Žlutá", 0xFFFF00},
    {"Modrá", 0x0000FF}, {"Purpurová", 0xFF00FF}, {"Azurová", 0x00FFFF}, {"Bílá", 0xFFFFFF},
};
const struct {
    const char* name;
    int charset;
} kScripts[] = {{"Středoevropské", 238}, {"Západní", 0}, {"Cyrilice", 204}, {"Řecké", 161}, {"Turecké", 162},
                {"Baltské", 186}, {"Symbol", 2}};
} // namespace

bool TSystemNotesDialogs::ChooseFont(TFontChoice& choice)
{
    TFontDialog dlg(owner_);
    dlg.SetChoice(choice);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    choice = dlg.Choice();
    return true;
}

bool TSystemNotesDialogs::SetupPrinter(QPrinter& printer)
{
    QPrintDialog dlg(&printer, owner_);
    return dlg.exec() == QDialog::Accepted;
}

TFontDialog::TFontDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FontDialog"));
    setWindowTitle(QStringLiteral("Písmo"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout();
    ComboName = new QFontComboBox(this);
    ComboStyle = new QComboBox(this);
    ComboStyle->addItems({QStringLiteral("Obyčejné"), QStringLiteral("Kurzíva"), QStringLiteral("Tučné"),
                          QStringLiteral("Tučná kurzíva")});
    ComboSize = new QComboBox(this);
    ComboSize->setEditable(true);
    ComboSize->setValidator(new QIntValidator(1, 1638, ComboSize));
    for (int s : {8, 9, 10, 11, 12, 14, 16, 18, 20, 22, 24, 26, 28, 36, 48, 72})
        ComboSize->addItem(QString::number(s));
    CheckStrike = new QCheckBox(QStringLiteral("Přeškrtnuté"), this);
    CheckUnderline = new QCheckBox(QStringLiteral("Podtržené"), this);
    ComboColour = new QComboBox(this);
    ComboColour->addItem(QStringLiteral("Automatická"), QColor());
    for (const NamedColour& c : kColours) {
        QPixmap swatch(12, 12);
        swatch.fill(QColor(c.rgb));
        ComboColour->addItem(QIcon(swatch), QString::fromUtf8(c.name), QColor(c.rgb));
    }
    ComboScript = new QComboBox(this);
    for (const auto& s : kScripts)
        ComboScript->addItem(QString::fromUtf8(s.name), s.charset);
    form->addRow(QStringLiteral("Písmo:"), ComboName);
    form->addRow(QStringLiteral("Řez písma:"), ComboStyle);
    form->addRow(QStringLiteral("Velikost:"), ComboSize);
    form->addRow(QString(), CheckStrike);
    form->addRow(QString(), CheckUnderline);
    form->addRow(QStringLiteral("Barva:"), ComboColour);
    form->addRow(QStringLiteral("Skript:"), ComboScript);
    layout->addLayout(form);
    LabelSample = new QLabel(QStringLiteral("AaBbČčŘřŽž"), this);
    LabelSample->setMinimumHeight(48);
    LabelSample->setAlignment(Qt::AlignCenter);
    layout->addWidget(LabelSample);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    for (QComboBox* c : {static_cast<QComboBox*>(ComboName), ComboStyle, ComboSize, ComboColour})
        connect(c, &QComboBox::currentTextChanged, this, &TFontDialog::UpdateSample);
    connect(CheckStrike, &QCheckBox::toggled, this, &TFontDialog::UpdateSample);
    connect(CheckUnderline, &QCheckBox::toggled, this, &TFontDialog::UpdateSample);
}

void TFontDialog::SetChoice(const TFontChoice& c)
{
    ComboName->setCurrentFont(QFont(c.Name));
    ComboName->setEditText(c.Name);
    ComboStyle->setCurrentIndex((c.Italic ? 1 : 0) + (c.Bold ? 2 : 0));
    ComboSize->setEditText(QString::number(qRound(c.Points)));
    CheckStrike->setChecked(c.Strike);
    CheckUnderline->setChecked(c.Underline);
    int colour = 0;
    for (int i = 1; c.Colour.isValid() && i < ComboColour->count(); ++i)
        if (ComboColour->itemData(i).value<QColor>().rgb() == c.Colour.rgb())
            colour = i;
    if (c.Colour.isValid() && colour == 0) {
        ComboColour->addItem(c.Colour.name(), c.Colour);
        colour = ComboColour->count() - 1;
    }
    ComboColour->setCurrentIndex(colour);
    const int script = ComboScript->findData(c.Charset);
    ComboScript->setCurrentIndex(script >= 0 ? script : 0);
    UpdateSample();
}

TFontChoice TFontDialog::Choice() const
{
    TFontChoice c;
    c.Name = ComboName->currentText();
    c.Italic = ComboStyle->currentIndex() % 2 == 1;
    c.Bold = ComboStyle->currentIndex() >= 2;
    bool ok = false;
    const int size = ComboSize->currentText().toInt(&ok);
    c.Points = ok && size > 0 ? size : 10;
    c.Strike = CheckStrike->isChecked();
    c.Underline = CheckUnderline->isChecked();
    c.Colour = ComboColour->currentData().value<QColor>();
    c.Charset = ComboScript->currentData().toInt();
    c.FixedPitch = QFontDatabase::isFixedPitch(c.Name);
    return c;
}

void TFontDialog::UpdateSample()
{
    const TFontChoice c = Choice();
    QFont f(c.Name);
    f.setPointSizeF(qMin(c.Points, 36.0));
    f.setBold(c.Bold);
    f.setItalic(c.Italic);
    f.setUnderline(c.Underline);
    f.setStrikeOut(c.Strike);
    LabelSample->setFont(f);
    QPalette p = LabelSample->palette();
    p.setColor(QPalette::WindowText, c.Colour.isValid() ? c.Colour : palette().color(QPalette::WindowText));
    LabelSample->setPalette(p);
}

} // namespace qv
