// What the readings grid sees of the readings table: the same rows, but new rows reach the grid
// at most every kGridFollowMs. A grid of rows of equal height still keeps one entry per row in
// its header and recomputes all their positions after every insertion, which at a million rows
// costs more than the rest of a reading's road; taking the rows in batches keeps that cost at a
// few recomputations a second, whatever the rate of the meter. The first new row after a quiet
// spell is shown at once.
#pragma once

#include "ReadingsTable.h"

#include <QAbstractTableModel>
#include <QTimer>

namespace dmm::app {

inline constexpr int kGridFollowMs = 200;

class GridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit GridModel(ReadingsTable& table, QObject* parent = nullptr);

    // Hands the grid every row appended so far.
    void flush();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    // Rows reached the grid; `last` is the newest.
    void rowsShown(int last);

private:
    void appended();

    ReadingsTable& table_;
    QTimer follow_;
    int shown_ = 0;
    bool pending_ = false;
};

} // namespace dmm::app
