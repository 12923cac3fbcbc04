#include "GridModel.h"

namespace dmm::app {

GridModel::GridModel(ReadingsTable& table, QObject* parent)
    : QAbstractTableModel(parent), table_(table), shown_(table.size()) {
    follow_.setInterval(kGridFollowMs);
    connect(&follow_, &QTimer::timeout, this, [this] {
        if (pending_)
            flush(); // and keep the timer running: rows are still coming
        else
            follow_.stop();
    });
    connect(&table_, &QAbstractItemModel::rowsInserted, this, [this] { appended(); });
    connect(&table_, &QAbstractItemModel::modelAboutToBeReset, this, [this] { beginResetModel(); });
    connect(&table_, &QAbstractItemModel::modelReset, this, [this] {
        shown_ = table_.size();
        pending_ = false;
        endResetModel();
    });
}

void GridModel::appended() {
    if (follow_.isActive()) {
        pending_ = true;
        return;
    }
    flush();
    follow_.start();
}

void GridModel::flush() {
    pending_ = false;
    const int rows = table_.size();
    if (rows <= shown_) return;
    beginInsertRows(QModelIndex(), shown_, rows - 1);
    shown_ = rows;
    endInsertRows();
    emit rowsShown(rows - 1);
}

int GridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : shown_;
}

int GridModel::columnCount(const QModelIndex& parent) const {
    return table_.columnCount(parent);
}

QVariant GridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= shown_) return {};
    return table_.data(table_.index(index.row(), index.column()), role);
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    return table_.headerData(section, orientation, role);
}

Qt::ItemFlags GridModel::flags(const QModelIndex& index) const {
    if (!index.isValid() || index.row() >= shown_) return Qt::NoItemFlags;
    return table_.flags(table_.index(index.row(), index.column()));
}

} // namespace dmm::app
