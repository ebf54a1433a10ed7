#include "graph/GraphSetupfrm.h"

#include "base/Numbers.h"

#include "base/MessageService.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace qv {

namespace {

const QStringList kLineStyles = {"Solid", "Dash ", "Dot", "DashDot", "DashDotDot"};
const QStringList kMarkStyles = {"Rectangle", "Circle", "Triangle", "DownTriangle", "Cross",
                                 "DiagCross", "Star", "Diamond", "SmallDot"};

QComboBox* List(QWidget* parent, const QString& name, const QStringList& items)
{
    auto* c = new QComboBox(parent);
    c->setObjectName(name);
    c->setEditable(false);
    c->addItems(items);
    return c;
}

QStringList Numbers(int from, int to)
{
    QStringList l;
    for (int i = from; i <= to; ++i)
        l << QString::number(i);
    return l;
}

} // namespace

double ReadTypedNumber(const QString& text, double fallback)
{
    return ParseUserNumber(text, fallback);
}

QString FormatRangeValue(double v)
{
    QString s = QString::asprintf("%8.1f", v).trimmed();
    return s.replace(QLatin1Char('.'), QLocale().decimalPoint());
}

TFormGraphSetup::TFormGraphSetup(QWidget* parent)
    : TBareForm(QStringLiteral("FormGraphSetup"), QStringLiteral("Graph setup"), parent)
{
    rememberPosition_ = true;
    SetGraphSetupDefaults(work_);
    auto* grid = new QGridLayout;
    auto group = [this, grid](const char* title, int row, int col) {
        auto* box = new QGroupBox(QLatin1String(title), this);
        grid->addWidget(box, row, col);
        return box;
    };
    Alt = MakeGroup(group("Altitude axis", 0, 0), "Alt", "ComboBoxAltLS", true);
    PS = MakeGroup(group("Voltage axis", 0, 1), "PS", "ComboBoxPSLS", true);
    RX = MakeGroup(group("Servo axis", 1, 0), "RX", "ComboBoxRXST", true);
    T = MakeGroup(group("Time axis", 1, 1), "T", nullptr, false);
    EditAltMin = Alt.Min, EditAltMax = Alt.Max, CheckBoxAltAuto = Alt.Auto, ComboBoxAltLS = Alt.Style,
    ComboBoxAltLW = Alt.Width;
    EditPSMin = PS.Min, EditPSMax = PS.Max, CheckBoxPSAuto = PS.Auto, ComboBoxPSLS = PS.Style, ComboBoxPSLW = PS.Width;
    EditRXMin = RX.Min, EditRXMax = RX.Max, CheckBoxRXAuto = RX.Auto, ComboBoxRXST = RX.Style, ComboBoxRXLW = RX.Width;
    EditTMin = T.Min, EditTMax = T.Max, CheckBoxTAuto = T.Auto;

    auto marks = [this](QGroupBox* box, const char* styleName, const char* sizeName, QComboBox*& style,
                        QComboBox*& size) {
        auto* form = new QFormLayout(box);
        style = List(box, QLatin1String(styleName), kMarkStyles);
        size = List(box, QLatin1String(sizeName), Numbers(2, 10));
        form->addRow(QStringLiteral("Mark style:"), style);
        form->addRow(QStringLiteral("Mark Size:"), size);
    };
    marks(group("Annotation", 2, 0), "ComboBoxAnnStyl", "ComboBoxAnnSize", ComboBoxAnnStyl, ComboBoxAnnSize);
    marks(group("Marker", 2, 1), "ComboBoxMAStyl", "ComboBoxMarkSize", ComboBoxMAStyl, ComboBoxMarkSize);

    ButtonDefaults = new QPushButton(QStringLiteral("Defaults"), this);
    ButtonDefaults->setObjectName(QStringLiteral("ButtonDefaults"));
    ButtonOk = new QPushButton(QStringLiteral("Ok"), this);
    ButtonOk->setObjectName(QStringLiteral("ButtonOk"));
    ButtonCancel = new QPushButton(QStringLiteral("Cancel"), this);
    ButtonCancel->setObjectName(QStringLiteral("ButtonCancel"));
    for (QPushButton* b : {ButtonDefaults, ButtonOk, ButtonCancel})
        b->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ButtonDefaults);
    buttons->addStretch(1);
    buttons->addWidget(ButtonOk);
    buttons->addWidget(ButtonCancel);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(grid);
    outer->addLayout(buttons);
    outer->setSizeConstraint(QLayout::SetFixedSize); // fixed dialog border

    connect(ButtonDefaults, &QPushButton::clicked, this, &TFormGraphSetup::ButtonDefaultsClick);
    connect(ButtonOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
    // Key preview: Enter and Escape anywhere close the dialog.
    for (QWidget* w : findChildren<QWidget*>())
        w->installEventFilter(this);
    GraphSetupToControls();
}

TFormGraphSetup::TAxisControls TFormGraphSetup::MakeGroup(QWidget* box, const char* prefix, const char* styleName,
                                                          bool lists)
{
    TAxisControls c;
    auto* form = new QFormLayout(box);
    c.Min = new QLineEdit(box);
    c.Min->setObjectName(QStringLiteral("Edit%1Min").arg(QLatin1String(prefix)));
    c.Max = new QLineEdit(box);
    c.Max->setObjectName(QStringLiteral("Edit%1Max").arg(QLatin1String(prefix)));
    c.Auto = new QCheckBox(QStringLiteral("Automatic"), box);
    c.Auto->setObjectName(QStringLiteral("CheckBox%1Auto").arg(QLatin1String(prefix)));
    form->addRow(QStringLiteral("Minimum:"), c.Min);
    form->addRow(QStringLiteral("Maximum:"), c.Max);
    form->addRow(c.Auto);
    numberEdits_ << c.Min << c.Max;
    if (lists) {
        c.Style = List(box, QLatin1String(styleName), kLineStyles);
        c.Width = List(box, QStringLiteral("ComboBox%1LW").arg(QLatin1String(prefix)), Numbers(1, 5));
        form->addRow(QStringLiteral("Line style:"), c.Style);
        form->addRow(QStringLiteral("Line width:"), c.Width);
        connect(c.Width, qOverload<int>(&QComboBox::currentIndexChanged), this, [c] { WidthRule(c); });
    }
    connect(c.Auto, &QCheckBox::toggled, this, [c] { AutoRule(c); });
    return c;
}

void TFormGraphSetup::AutoRule(const TAxisControls& c)
{
    const bool manual = !c.Auto->isChecked();
    c.Min->setEnabled(manual);
    c.Max->setEnabled(manual);
}

void TFormGraphSetup::WidthRule(const TAxisControls& c)
{
    if (c.Style && c.Width)
        c.Style->setEnabled(c.Width->currentIndex() == 0);
}

void TFormGraphSetup::GraphSetupToControls()
{
    const TGraphSetupRec& g = work_;
    auto axis = [](const TAxisControls& c, double min, double max, bool automatic) {
        c.Min->setText(FormatRangeValue(min));
        c.Max->setText(FormatRangeValue(max));
        c.Auto->setChecked(automatic);
        AutoRule(c);
    };
    auto lines = [](const TAxisControls& c, int style, int width) {
        c.Style->setCurrentIndex(style);
        c.Width->setCurrentIndex(width - 1);
        WidthRule(c);
    };
    axis(Alt, g.AltitudeMin, g.AltitudeMax, g.AltitudeAuto);
    lines(Alt, g.AltitudeLStyle, g.AltitudeLWidth);
    axis(PS, g.PowerSupMin, g.PowerSupMax, g.PowerSupAuto);
    lines(PS, g.PowerSupLStyle, g.PowerSupLWidth);
    axis(RX, g.RXMin, g.RXMax, g.RXAuto);
    lines(RX, g.RXLStyle, g.RXLWidth);
    axis(T, g.TimeMin, g.TimeMax, g.TimeAuto);
    ComboBoxAnnStyl->setCurrentIndex(g.AnnotMarkStyle);
    ComboBoxMAStyl->setCurrentIndex(g.MarkerMarkStyle);
    ComboBoxAnnSize->setCurrentIndex(g.AnnotMarkSize - 2);
    ComboBoxMarkSize->setCurrentIndex(g.MarkerMarkSize - 2);
}

void TFormGraphSetup::ControlsToGraphSetup()
{
    TGraphSetupRec& g = work_;
    auto axis = [](const TAxisControls& c, double& min, double& max, bool& automatic) {
        min = ReadTypedNumber(c.Min->text(), 0);
        max = ReadTypedNumber(c.Max->text(), 100);
        automatic = c.Auto->isChecked();
    };
    auto lines = [](const TAxisControls& c, std::int32_t& style, std::int32_t& width) {
        style = c.Style->currentIndex();
        width = c.Width->currentIndex() + 1;
    };
    axis(Alt, g.AltitudeMin, g.AltitudeMax, g.AltitudeAuto);
    lines(Alt, g.AltitudeLStyle, g.AltitudeLWidth);
    axis(PS, g.PowerSupMin, g.PowerSupMax, g.PowerSupAuto);
    lines(PS, g.PowerSupLStyle, g.PowerSupLWidth);
    axis(RX, g.RXMin, g.RXMax, g.RXAuto);
    lines(RX, g.RXLStyle, g.RXLWidth);
    axis(T, g.TimeMin, g.TimeMax, g.TimeAuto);
    g.AnnotMarkStyle = ComboBoxAnnStyl->currentIndex();
    g.MarkerMarkStyle = ComboBoxMAStyl->currentIndex();
    g.AnnotMarkSize = ComboBoxAnnSize->currentIndex() + 2;
    g.MarkerMarkSize = ComboBoxMarkSize->currentIndex() + 2;
}

void TFormGraphSetup::ButtonDefaultsClick()
{
    SetGraphSetupDefaults(work_);
    GraphSetupToControls();
}

bool TFormGraphSetup::EditGraphSetup(TGraphSetupRec& setup, bool& changed)
{
    work_ = setup;
    GraphSetupToControls();
    if (Messages().ExecDialog(*this) != QDialog::Accepted)
        return false;
    ControlsToGraphSetup();
    setup = work_;
    changed = true;
    return true;
}

bool TFormGraphSetup::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
            accept();
            return true;
        }
        if (k->key() == Qt::Key_Escape) {
            // Cancelled: what the edits hold no longer matters.
            checking_ = true;
            reject();
            checking_ = false;
            return true;
        }
        auto* edit = qobject_cast<QLineEdit*>(watched);
        if (edit && numberEdits_.contains(edit) && !k->text().isEmpty()) {
            const QChar ch = k->text().at(0);
            // Control keys (Tab, Backspace, ...) pass; of the characters
            // only digits, the minus sign and the decimal separator.
            const bool passes = !ch.isPrint() || ch == QLatin1Char('-') ||
                                (ch >= QLatin1Char('0') && ch <= QLatin1Char('9')) ||
                                ch == QLocale().decimalPoint().at(0);
            if (!passes)
                return true; // swallowed
        }
    } else if (e->type() == QEvent::FocusOut && !checking_) {
        auto* edit = qobject_cast<QLineEdit*>(watched);
        // Leaving a range edit with something that is not a number.
        if (edit && numberEdits_.contains(edit) && isVisible() && !ParseUserNumber(edit->text())) {
            checking_ = true;
            Messages().Error(QStringLiteral("Incorrect number!"));
            QTimer::singleShot(0, edit, [edit] { edit->setFocus(); });
            checking_ = false;
        }
    }
    return TBareForm::eventFilter(watched, e);
}

} // namespace qv
