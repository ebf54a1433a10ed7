#include "logbook/LogbookPage.h"

#include "base/CheckedWrite.h"
#include "base/MessageService.h"
#include "logbook/LogbookCsv.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace qv {

namespace {

// Draws a row's sparkline: per bucket a bar from its lowest to its highest
// value, so a single-sample spike stays visible.
class TSparkDelegate : public QStyledItemDelegate {
public:
    TSparkDelegate(TLogbookFilter& filter, QObject* parent) : QStyledItemDelegate(parent), filter_(filter) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        const TLogEntry* e = filter_.EntryAt(index.row());
        if (!e || e->Figures.Spark.size() < 2)
            return;
        const std::vector<float>& s = e->Figures.Spark;
        const auto [lo, hi] = std::minmax_element(s.begin(), s.end());
        const double bottom = std::min(0.0f, *lo);
        const double span = std::max(1e-9, static_cast<double>(*hi) - bottom);
        const QRectF r = QRectF(option.rect).adjusted(3, 3, -3, -3);
        const int buckets = static_cast<int>(s.size() / 2);
        const double w = r.width() / buckets;
        auto y = [&](double v) { return r.bottom() - (v - bottom) / span * r.height(); };
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing, false);
        const bool selected = option.state & QStyle::State_Selected;
        painter->setPen(QPen(selected ? option.palette.highlightedText().color() : QColor(0, 90, 200), 1));
        for (int b = 0; b < buckets; ++b) {
            const double x = r.left() + (b + 0.5) * w;
            const double y0 = y(s[2 * b]), y1 = y(s[2 * b + 1]);
            painter->drawLine(QPointF(x, y0), QPointF(x, std::min(y1, y0 - 1.0)));
        }
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize s = QStyledItemDelegate::sizeHint(option, index);
        s.setWidth(std::max(s.width(), kSparkBuckets + 10));
        return s;
    }

private:
    TLogbookFilter& filter_;
};

// The notes column: cut at the right, a refused file's error in red.
class TNotesDelegate : public QStyledItemDelegate {
public:
    TNotesDelegate(TLogbookFilter& filter, QObject* parent) : QStyledItemDelegate(parent), filter_(filter) {}

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->textElideMode = Qt::ElideRight;
        const TLogEntry* e = filter_.EntryAt(index.row());
        if (e && e->Figures.Refused)
            option->palette.setColor(QPalette::Text, QColor(190, 0, 0));
    }

private:
    TLogbookFilter& filter_;
};

// Enter on the table opens the selected rows.
class TEnterOpens : public QObject {
public:
    TEnterOpens(TLogbookPage& page) : QObject(&page), page_(page) {}
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(e)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                page_.OpenSelected();
                return true;
            }
        }
        return QObject::eventFilter(o, e);
    }

private:
    TLogbookPage& page_;
};

} // namespace

TLogbookPage::TLogbookPage(TLogbook& logbook, QWidget* parent) : QWidget(parent), Logbook(logbook)
{
    setObjectName(QStringLiteral("TabLogbook"));
    Model = new TLogbookModel(Logbook, this);
    Filter = new TLogbookFilter(*Model, this);

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Filter:"), this));
    EditFilter = new QLineEdit(this);
    EditFilter->setObjectName(QStringLiteral("EditFilter"));
    EditFilter->setPlaceholderText(QStringLiteral("file name, notes, annotations"));
    EditFilter->setClearButtonEnabled(true);
    top->addWidget(EditFilter, 1);
    CheckFrom = new QCheckBox(QStringLiteral("From"), this);
    DateFrom = new QDateEdit(QDate::currentDate().addMonths(-1), this);
    CheckTo = new QCheckBox(QStringLiteral("To"), this);
    DateTo = new QDateEdit(QDate::currentDate(), this);
    for (QDateEdit* d : {DateFrom, DateTo}) {
        d->setCalendarPopup(true);
        d->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
        d->setEnabled(false);
    }
    auto* range = new QHBoxLayout;
    range->addWidget(CheckFrom);
    range->addWidget(DateFrom);
    range->addWidget(CheckTo);
    range->addWidget(DateTo);
    range->addStretch(1);
    ButtonOpen = new QPushButton(QStringLiteral("Open"), this);
    ButtonExport = new QPushButton(QStringLiteral("Export CSV"), this);
    top->addWidget(ButtonOpen);
    top->addWidget(ButtonExport);

    TableLogbook = new QTableView(this);
    TableLogbook->setObjectName(QStringLiteral("TableLogbook"));
    TableLogbook->setModel(Filter);
    // Newest first, sorted once.
    TableLogbook->horizontalHeader()->setSortIndicator(LogDate, Qt::DescendingOrder);
    TableLogbook->setSortingEnabled(true);
    TableLogbook->setSelectionBehavior(QAbstractItemView::SelectRows);
    TableLogbook->setSelectionMode(QAbstractItemView::ExtendedSelection);
    TableLogbook->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TableLogbook->setAlternatingRowColors(true);
    TableLogbook->setWordWrap(false);
    TableLogbook->setTextElideMode(Qt::ElideMiddle);
    TableLogbook->verticalHeader()->hide();
    TableLogbook->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
    TableLogbook->horizontalHeader()->moveSection(LogCurve, LogDate);
    TableLogbook->horizontalHeader()->setStretchLastSection(true);
    TableLogbook->setItemDelegateForColumn(LogCurve, new TSparkDelegate(*Filter, this));
    TableLogbook->setItemDelegateForColumn(LogNotes, new TNotesDelegate(*Filter, this));
    TableLogbook->installEventFilter(new TEnterOpens(*this));

    auto* bottom = new QHBoxLayout;
    LabelTotals = new QLabel(this);
    LabelTotals->setObjectName(QStringLiteral("LabelTotals"));
    // Long lines must not widen the page beyond its side of the window.
    LabelTotals->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    bottom->addWidget(LabelTotals, 1);
    LabelStatus = new QLabel(this);
    LabelStatus->setObjectName(QStringLiteral("LabelStatus"));
    LabelStatus->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    LabelStatus->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    range->addWidget(LabelStatus, 3);
    ProgressRead = new QProgressBar(this);
    ProgressRead->setMaximumWidth(240);
    ProgressRead->hide();
    range->addWidget(ProgressRead);
    ButtonCancel = new QPushButton(QStringLiteral("Cancel"), this);
    ButtonCancel->hide();
    range->addWidget(ButtonCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(range);
    layout->addWidget(TableLogbook, 1);
    layout->addLayout(bottom);

    connect(EditFilter, &QLineEdit::textChanged, this, [this](const QString& text) {
        Filter->SetText(text);
        UpdateTotals();
    });
    for (QCheckBox* c : {CheckFrom, CheckTo})
        connect(c, &QCheckBox::toggled, this, &TLogbookPage::DateRangeChanged);
    for (QDateEdit* d : {DateFrom, DateTo})
        connect(d, &QDateEdit::dateChanged, this, &TLogbookPage::DateRangeChanged);
    connect(ButtonOpen, &QPushButton::clicked, this, &TLogbookPage::OpenSelected);
    connect(ButtonExport, &QPushButton::clicked, this, &TLogbookPage::ExportCsvClick);
    connect(ButtonCancel, &QPushButton::clicked, &Logbook, &TLogbook::Cancel);
    connect(TableLogbook, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        if (const TLogEntry* e = Filter->EntryAt(index.row()))
            emit OpenFiles({Logbook.FullPath(e->Figures.File)});
    });
    // Rows come and change in batches: the totals follow once per batch.
    auto* totals = new QTimer(this);
    totals->setSingleShot(true);
    totals->setInterval(0);
    connect(totals, &QTimer::timeout, this, &TLogbookPage::UpdateTotals);
    for (auto sig : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(Filter, sig, totals, qOverload<>(&QTimer::start));
    connect(Filter, &QAbstractItemModel::modelReset, totals, qOverload<>(&QTimer::start));
    connect(Filter, &QAbstractItemModel::dataChanged, totals, qOverload<>(&QTimer::start));
    connect(&Logbook, &TLogbook::StatusChanged, LabelStatus, &QLabel::setText);
    connect(&Logbook, &TLogbook::Progress, this, &TLogbookPage::ShowProgress);
    connect(&Logbook, &TLogbook::Finished, this, &TLogbookPage::Finished);
    LabelStatus->setText(Logbook.Status());
    FitColumns();
    UpdateTotals();
}

void TLogbookPage::FitColumns()
{
    QHeaderView* header = TableLogbook->horizontalHeader();
    const QFontMetrics fm = TableLogbook->fontMetrics();
    const QFontMetrics hm = header->fontMetrics();
    // The widest figure each column holds in practice; titles are wrapped
    // into lines no wider than that (or than their longest word).
    static const char* const kSample[kLogColumns] = {
        "Season/Flight 123.kdf", "08.12.2026 10:15:00", "10000", "60000", "6000.0", "-100.00", "6000.0",
        "6000.0", "6000.0", "6000.0", "-100.00", "12.00", "000", "notes"};
    QStringList titles;
    for (int c = 0; c < kLogColumns; ++c) {
        const QStringList words = LogColumnNames()[c].split(QLatin1Char(' '));
        int width = fm.horizontalAdvance(QLatin1String(kSample[c]));
        for (const QString& w : words)
            width = std::max(width, hm.horizontalAdvance(w));
        QStringList lines;
        for (const QString& w : words) {
            if (!lines.isEmpty() && hm.horizontalAdvance(lines.back() + QLatin1Char(' ') + w) <= width)
                lines.back() += QLatin1Char(' ') + w;
            else
                lines << w;
        }
        titles << lines.join(QLatin1Char('\n'));
        for (const QString& l : std::as_const(lines))
            width = std::max(width, hm.horizontalAdvance(l));
        for (int r = 0, n = std::min(Filter->rowCount(), 200); c == LogFile && r < n; ++r)
            width = std::max(width, fm.horizontalAdvance(Filter->index(r, c).data().toString()));
        header->resizeSection(c, std::min(width + 18, c == LogFile ? 230 : 260));
    }
    titles << QStringLiteral("Curve");
    Model->SetHeaderTexts(titles);
    header->resizeSection(LogCurve, kSparkBuckets + 10);
}

QStringList TLogbookPage::SelectedFiles() const
{
    QModelIndexList rows = TableLogbook->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(), [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    QStringList files;
    for (const QModelIndex& i : rows)
        if (const TLogEntry* e = Filter->EntryAt(i.row()))
            files << Logbook.FullPath(e->Figures.File);
    return files;
}

void TLogbookPage::OpenSelected()
{
    const QStringList files = SelectedFiles();
    if (!files.isEmpty())
        emit OpenFiles(files);
}

void TLogbookPage::ExportCsvClick()
{
    const QString name = Messages().SaveFileName(QStringLiteral("Export CSV"),
                                                 Logbook.Root() + QStringLiteral("/logbook.csv"),
                                                 QStringLiteral("CSV (csv)|*.csv"), QStringLiteral("csv"));
    if (!name.isEmpty())
        ExportCsv(name);
}

bool TLogbookPage::ExportCsv(const QString& fileName)
{
    const TWriteResult written = WriteFileChecked(fileName, LogbookCsv(Filter->ShownRows()));
    if (!written) {
        Messages().Error(WriteErrorText(fileName, written));
        return false;
    }
    if (const QString notice = WriteNoticeText(fileName, written); !notice.isEmpty())
        Messages().Information(notice);
    return true;
}

void TLogbookPage::UpdateTotals() { LabelTotals->setText(TotalsText(Filter->Totals())); }

void TLogbookPage::DateRangeChanged()
{
    DateFrom->setEnabled(CheckFrom->isChecked());
    DateTo->setEnabled(CheckTo->isChecked());
    Filter->SetDateRange(CheckFrom->isChecked() ? std::optional<QDate>(DateFrom->date()) : std::nullopt,
                         CheckTo->isChecked() ? std::optional<QDate>(DateTo->date()) : std::nullopt);
    UpdateTotals();
}

void TLogbookPage::ShowProgress(int done, int total)
{
    ProgressRead->setRange(0, std::max(total, 1));
    ProgressRead->setValue(done);
    ProgressRead->setFormat(QStringLiteral("Reading flights: %v of %m"));
    const bool reading = done < total;
    ProgressRead->setVisible(reading);
    ButtonCancel->setVisible(reading);
}

void TLogbookPage::Finished(bool cancelled)
{
    ProgressRead->hide();
    ButtonCancel->hide();
    if (cancelled)
        LabelStatus->setText(QStringLiteral("Reading cancelled: %1 flights in the logbook.").arg(Logbook.Count()));
    else if (LabelStatus->text().endsWith(QLatin1String("from the files.")))
        // A rebuild has done what its message announced.
        LabelStatus->setText(QStringLiteral("Logbook index built from the files: %1 flights.").arg(Logbook.Count()));
    if (!fitted_ && Filter->rowCount() > 0) {
        fitted_ = true;
        FitColumns();
    }
}

} // namespace qv
