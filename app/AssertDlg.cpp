#include "app/AssertDlg.h"

#include "base/Assert.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QStyle>
#include <QVBoxLayout>

namespace qv {

namespace {
int IconSize() { return QApplication::style()->pixelMetric(QStyle::PM_MessageBoxIconSize); }
}

TFormAssert::TFormAssert(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("FormAssert"));
    setWindowTitle(QStringLiteral("Assert"));
    resize(520, 300);

    auto* layout = new QVBoxLayout(this);
    // Room on the left for the error icon painted beside the panel.
    layout->setContentsMargins(IconSize() + 25, 10, 10, 10);
    Panel1 = new QWidget(this);
    auto* panelLayout = new QVBoxLayout(Panel1);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    Label1 = new QLabel(Panel1);
    Label1->setWordWrap(true);
    Label1->setTextInteractionFlags(Qt::TextSelectableByMouse);
    panelLayout->addWidget(Label1);
    layout->addWidget(Panel1);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    layout->addWidget(Memo1, 1);

    SetAssertSink([this](const QString& report) { Report(report); });
}

TFormAssert::~TFormAssert() { SetAssertSink(nullptr); }

void TFormAssert::Report(const QString& report)
{
    Label1->setText(report);
    Memo1->appendPlainText(report);
    show();
}

void TFormAssert::paintEvent(QPaintEvent* e)
{
    QWidget::paintEvent(e);
    QPainter p(this);
    const int size = IconSize();
    const QIcon icon = style()->standardIcon(QStyle::SP_MessageBoxCritical);
    p.drawPixmap(Panel1->x() - size - 15, Panel1->y() + 10, icon.pixmap(size, size));
}

void TFormAssert::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    raise();
    activateWindow();
}

} // namespace qv
