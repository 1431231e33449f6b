#include "ResultsList.h"

namespace rq {

void ResultsList::append(const QString& text)
{
    const int row = static_cast<int>(items_.size());
    beginInsertRows({}, row, row);
    items_.append(text);
    ++counts_[text];
    endInsertRows();
}

void ResultsList::removeAt(qsizetype position)
{
    if (position < 0 || position >= items_.size())
        return;
    beginRemoveRows({}, static_cast<int>(position), static_cast<int>(position));
    const auto count = counts_.find(items_.at(position));
    if (--*count == 0)
        counts_.erase(count);
    items_.removeAt(position);
    endRemoveRows();
}

void ResultsList::clear()
{
    beginResetModel();
    items_.clear();
    counts_.clear();
    endResetModel();
}

int ResultsList::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(items_.size());
}

int ResultsList::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(headers_.size());
}

void ResultsList::addColumn(const QString& header)
{
    const int column = static_cast<int>(headers_.size());
    beginInsertColumns({}, column, column);
    headers_.append(header);
    endInsertColumns();
}

QVariant ResultsList::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || index.column() != 0 || index.row() >= items_.size())
        return {};
    return items_.at(index.row());
}

QVariant ResultsList::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section >= headers_.size())
        return {};
    return headers_.at(section);
}

} // namespace rq
