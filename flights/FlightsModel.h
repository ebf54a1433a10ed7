#pragma once
// The open flights as a table for the open-files grid: one row per open
// file in grid order; columns name, the five curve checks, path, colour.
// Read-only: a check changes through TOpenFlights::GridCheck.
#include "flights/OpenFlights.h"

#include <QAbstractTableModel>

namespace qv {

class TOpenFlightsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TOpenFlightsModel(TOpenFlights& flights, QObject* parent = nullptr);

    // Headings of the columns (short for the check columns) and the curve
    // names the check columns' tool tips and the pop-up show.
    static QString Heading(int column);
    static QString CheckCaption(int slot);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Size of the colour swatch beside a file's name.
    void SetSwatchSize(int pixels) { swatch_ = pixels; }

private:
    TOpenFlights& flights_;
    int swatch_ = 12;
};

} // namespace qv
