#pragma once
// The measurement table of the graph page, PanelOdecet: StringGridOdecet
// with a row for each of A, B, DELTA, d X/d TIME, MIN, MAX and MEAN, and
// beside it the name of the file measured and "Copy to clipboard". The
// panel is as high as the table's rows; hidden, it takes no room.
#include "graph/Measure.h"

#include <QWidget>

class QLabel;
class QTableWidget;
class QToolButton;

namespace qv {

class TMeasurePanel : public QWidget {
    Q_OBJECT
public:
    explicit TMeasurePanel(QWidget* parent = nullptr);

    QTableWidget* StringGridOdecet = nullptr;
    QToolButton* TBCopyTable = nullptr; // "Copy to clipboard"
    QLabel* LabelTableFile = nullptr;   // the short name of the file measured

    // Shows `table` (times as minutes:seconds when `minSec`) of `fileName`.
    void Show(const TMeasureTable& table, bool minSec, const QString& fileName);
    // As high as every row of the table needs; no height while hidden.
    void FitHeight();

signals:
    // "Copy to clipboard", from the button or the table's menu.
    void CopyRequested();
};

} // namespace qv
