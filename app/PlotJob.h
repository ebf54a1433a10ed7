#pragma once
// The graph of flight files drawn as on the graph page, off screen, and
// saved as a picture (BMP, EMF, WMF, PNG, SVG, PDF by the name's ending):
// what `quorvel-cli plot` does once its arguments are read.
#include "graph/CurveTable.h"

#include <QSize>
#include <QStringList>
#include <array>
#include <optional>
#include <utility>

namespace qv {

struct TPlotRequest {
    QStringList Files; // drawn in this order
    QString Out;       // the picture
    QSize Size{1000, 600};
    std::optional<std::pair<double, double>> Time; // the time axis, seconds
    std::array<bool, kSlotCount> Curves{true, true, true, true, true};
    bool CurvesGiven = false; // the curves named: one a file cannot draw is reported
    QString Ini;              // a settings file, or none for the defaults
};

struct TPlotResult {
    int ExitStatus = 0; // 0 drawn and saved; 1 not, or a curve asked for left out
    QStringList Errors; // what went wrong, a line each, in the order it happened
};

// Opens the files, draws and saves them. A file that cannot be read ends
// the job; the reader's errors come back behind the file's name, its other
// messages go to the message service in use.
TPlotResult PlotFlights(const TPlotRequest& request);

} // namespace qv
