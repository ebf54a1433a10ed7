// The main window's data views: the data folder tree, the open-files grid
// and the chart, and how the shell reaches them.
#include "app/MainFrm.h"

#include <QToolButton>

namespace qv {

struct TFormMain::DataViews {
};

void TFormMain::CreateDataViews() { views_ = new DataViews; }

void TFormMain::BuildTree() {}

void TFormMain::RefreshTree() {}

int TFormMain::OpenRowCount() const { return static_cast<int>(DataList.size()); }

void TFormMain::CloseRow(int row)
{
    if (row >= 0 && row < static_cast<int>(DataList.size()))
        DataList.erase(DataList.begin() + row);
}

void TFormMain::ReleaseDataViews()
{
    delete views_;
    views_ = nullptr;
}

void TFormMain::LayoutGrid() {}

void TFormMain::TBShowLegendClick() {}

} // namespace qv
