#pragma once
// The "Logbook" page: every flight of the data root in one table with its
// launch figures and a sparkline of its main channel, a filter box, a date
// range, the totals of the rows shown, "Open" and "Export CSV", and a
// status line with the progress of the reading and "Cancel".
#include "logbook/LogbookModel.h"

#include <QStringList>
#include <QWidget>

class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableView;

namespace qv {

class TLogbookPage : public QWidget {
    Q_OBJECT
public:
    explicit TLogbookPage(TLogbook& logbook, QWidget* parent = nullptr);

    TLogbook& Logbook;
    TLogbookModel* Model = nullptr;
    TLogbookFilter* Filter = nullptr;

    QLineEdit* EditFilter = nullptr;
    QCheckBox* CheckFrom = nullptr;
    QDateEdit* DateFrom = nullptr;
    QCheckBox* CheckTo = nullptr;
    QDateEdit* DateTo = nullptr;
    QPushButton* ButtonOpen = nullptr;
    QPushButton* ButtonExport = nullptr;
    QTableView* TableLogbook = nullptr;
    QLabel* LabelTotals = nullptr;
    QLabel* LabelStatus = nullptr;
    QProgressBar* ProgressRead = nullptr;
    QPushButton* ButtonCancel = nullptr;

    // Full paths of the selected rows, in the order shown.
    QStringList SelectedFiles() const;
    void OpenSelected();
    void ExportCsvClick();
    // Writes the rows shown as CSV; false (message shown) when it failed.
    bool ExportCsv(const QString& fileName);
    // Widths that show every column's title and figures.
    void FitColumns();

signals:
    // Files to open on the graph page, all in one step.
    void OpenFiles(const QStringList& fullPaths);

private:
    void UpdateTotals();
    void DateRangeChanged();
    void ShowProgress(int done, int total);
    void Finished(bool cancelled);

    bool fitted_ = false;
};

} // namespace qv
