#include "graph/MeasurePanel.h"

#include <QAction>
#include <QBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QToolButton>

namespace qv {

TMeasurePanel::TMeasurePanel(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("PanelOdecet"));
    StringGridOdecet = new QTableWidget(kMeasureRows, kMeasureColumns, this);
    QTableWidget* grid = StringGridOdecet;
    grid->setObjectName(QStringLiteral("StringGridOdecet"));
    QStringList columns, rows;
    for (const char* title : kMeasureColumnTitles)
        columns << QLatin1String(title);
    for (const char* title : kMeasureRowTitles)
        rows << QLatin1String(title);
    grid->setHorizontalHeaderLabels(columns);
    grid->setVerticalHeaderLabels(rows);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 1);
    for (int r = 0; r < kMeasureRows; ++r)
        for (int c = 0; c < kMeasureColumns; ++c) {
            auto* item = new QTableWidgetItem();
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            grid->setItem(r, c, item);
        }
    // Every row shows: the panel is as high as the table's rows.
    grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    // "Copy to clipboard" beside the table (it shows and hides with it, and
    // leaves the tool bar room for the chart's buttons), and on the table's
    // menu; the file measured is named above the button.
    TBCopyTable = new QToolButton(this);
    TBCopyTable->setObjectName(QStringLiteral("TBCopyTable"));
    TBCopyTable->setText(QStringLiteral("Copy to clipboard"));
    TBCopyTable->setToolTip(QStringLiteral("Copies the measurement table to the clipboard"));
    LabelTableFile = new QLabel(this);
    LabelTableFile->setObjectName(QStringLiteral("LabelTableFile"));
    QFont bold = LabelTableFile->font();
    bold.setBold(true);
    LabelTableFile->setFont(bold);
    connect(TBCopyTable, &QToolButton::clicked, this, &TMeasurePanel::CopyRequested);
    grid->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* copy = new QAction(QStringLiteral("Copy to clipboard"), grid);
    grid->addAction(copy);
    connect(copy, &QAction::triggered, this, &TMeasurePanel::CopyRequested);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(grid, 1);
    auto* side = new QVBoxLayout;
    side->addWidget(LabelTableFile);
    side->addWidget(TBCopyTable);
    side->addStretch(1);
    row->addLayout(side);
    FitHeight();
}

void TMeasurePanel::Show(const TMeasureTable& table, bool minSec, const QString& fileName)
{
    LabelTableFile->setText(fileName);
    for (int r = 0; r < kMeasureRows; ++r)
        for (int c = 0; c < kMeasureColumns; ++c)
            if (QTableWidgetItem* item = StringGridOdecet->item(r, c))
                item->setText(MeasureCellText(table, r, c, minSec));
}

void TMeasurePanel::FitHeight()
{
    if (isHidden()) {
        setFixedHeight(0);
        return;
    }
    QTableWidget* grid = StringGridOdecet;
    int height = 2 * grid->frameWidth() + grid->horizontalHeader()->sizeHint().height();
    for (int r = 0; r < grid->rowCount(); ++r)
        height += grid->verticalHeader()->sectionSize(r);
    grid->setFixedHeight(height);
    setFixedHeight(height);
}

} // namespace qv
