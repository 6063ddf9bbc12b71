#pragma once
// The feed list's rows: six text columns (title, article count, unread count, and the hidden key,
// subscribed flag and icon URL), with a role that carries the key, and the row colour.

#include <QAbstractTableModel>
#include <QStringList>
#include <array>
#include <string>
#include <vector>

class FeedListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Title = 0, Articles, Unread, Key, Subscribed, IconUrl, ColumnCount };
    enum Role { KeyRole = Qt::UserRole + 1 };

    explicit FeedListModel(QObject* parent = nullptr);

    /// Replaces every row at once, each cell as the engine gave it.
    void SetRows(const std::vector<std::array<std::string, 6>>& rows);
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
