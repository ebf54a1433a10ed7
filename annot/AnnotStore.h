#pragma once
// What the annotation dialogs need of the open files: the rows of the
// open-files grid and the annotation points of each row's file, as they are
// drawn (offsets included). The shell implements it over the open files and
// the curve model.
#include <QString>
#include <vector>

namespace qv {

struct TAnnotPoint {
    double Time = 0;
    double Altitude = 0;
    QString Text;
};

class IAnnotStore {
public:
    virtual ~IAnnotStore() = default;
    // Rows of the open-files grid and their column 0 (the short name).
    virtual int RowCount() const = 0;
    virtual QString RowName(int row) const = 0;
    // Whether the row has a record in the open-files list.
    virtual bool HasRecord(int row) const = 0;
    // The labelled points of the row's annotation series, in point order.
    virtual std::vector<TAnnotPoint> Annotations(int row) const = 0;
    // Adds a point at the end, deletes one; both mark the file modified.
    virtual void AddAnnotation(int row, const TAnnotPoint& point) = 0;
    virtual void DeleteAnnotation(int row, int index) = 0;
};

} // namespace qv
