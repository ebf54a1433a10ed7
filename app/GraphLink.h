#pragma once
// The open files as the annotation dialogs see them, and the graph page's
// commands that change an open file: annotations added from the chart's
// pop-up and curve offsets, both of which mark the file modified.
#include "annot/AnnotStore.h"
#include "graph/CurveModel.h"

#include <QObject>

namespace qv {

class TOpenFlights;

class TGraphLink : public QObject, public IAnnotStore {
    Q_OBJECT
public:
    TGraphLink(TOpenFlights& open, TCurveModel& curves, QObject* parent = nullptr);

    int RowCount() const override;
    QString RowName(int row) const override;
    bool HasRecord(int row) const override;
    // As drawn: the points with the annotation curve's offsets.
    std::vector<TAnnotPoint> Annotations(int row) const override;
    void AddAnnotation(int row, const TAnnotPoint& point) override;
    void DeleteAnnotation(int row, int index) override;

    // Marks the file of the curves h modified.
    void MarkModified(TCurveHandle h);

private:
    TOpenFlights& open_;
    TCurveModel& curves_;
};

} // namespace qv
