#pragma once
// The feed list's rows: six text columns (title, article count, unread count, and the hidden key,
// subscribed flag and icon URL), with a role that carries the key, and the row colour.

#include <QAbstractTableModel>
#include <QStringList>
#include <array>
#include <vector>

#include "feeds/FeedList.h"

class FeedListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Title = 0, Articles, Unread, Key, Subscribed, IconUrl, ColumnCount };

    explicit FeedListModel(QObject* parent = nullptr);

    /// Replaces every row at once: title, counts, key, subscribed flag and icon URL as the list read them.
    void SetRows(const std::vector<FeedRow>& rows);
    void SetHeadings(const QStringList& headings);
    QString Cell(int row, int column) const;   ///< empty text outside the rows

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<std::array<QString, ColumnCount>> rows_;
    QStringList headings_;
};
