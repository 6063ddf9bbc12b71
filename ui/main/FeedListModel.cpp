#include "ui/main/FeedListModel.h"

#include <QBrush>

#include "ui/main/RowColour.h"

FeedListModel::FeedListModel(QObject* parent) : QAbstractTableModel(parent) {}

void FeedListModel::SetRows(const std::vector<FeedRow>& rows) {
    beginResetModel();
    rows_.clear();
    rows_.reserve(rows.size());
    for (const FeedRow& row : rows)
        rows_.push_back({QString::fromStdString(row.title), QString::number(row.articles),
                         QString::fromStdString(row.unread), QString::number(row.id),
                         QString::fromStdString(row.subscribed), QString::fromStdString(row.iconURL)});
    endResetModel();
}

void FeedListModel::SetHeadings(const QStringList& headings) {
    headings_ = headings;
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
}

QString FeedListModel::Cell(int row, int column) const {
    if (row < 0 || row >= rowCount() || column < 0 || column >= ColumnCount) return {};
    return rows_[static_cast<std::size_t>(row)][column];
}

int FeedListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int FeedListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant FeedListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const int row = index.row();
    switch (role) {
    case Qt::DisplayRole:
        return Cell(row, index.column());
    case Qt::ForegroundRole: {
        // The whole row takes the colour its texts call for, every visible cell alike.
        const QColor colour = RowTextColour(Cell(row, Unread), Cell(row, Subscribed));
        return colour.isValid() ? QVariant(QBrush(colour)) : QVariant();
    }
    default:
        return {};
    }
}

QVariant FeedListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    return section < headings_.size() ? headings_[section] : QString();
}
