#include "TableChoiceModel.h"

namespace rq {

void TableChoiceModel::setDecisions(QList<TableDecision> decisions)
{
    beginResetModel();
    decisions_ = std::move(decisions);
    ticked_.assign(std::size_t(decisions_.size()), false);
    shown_.clear();
    for (std::size_t i = 0; i < ticked_.size(); ++i) {
        ticked_[i] = decisions_[qsizetype(i)].read();
        shown_.push_back(i);
    }
    endResetModel();
}

void TableChoiceModel::setFilter(const QString& text)
{
    beginResetModel();
    shown_.clear();
    for (std::size_t i = 0; i < ticked_.size(); ++i)
        if (decisions_[qsizetype(i)].listed.table.quoted().contains(text, Qt::CaseInsensitive))
            shown_.push_back(i);
    endResetModel();
}

void TableChoiceModel::tickShown(bool ticked)
{
    for (const std::size_t table : shown_)
        if (tickable(table))
            ticked_[table] = ticked;
    if (!shown_.empty())
        emit dataChanged(index(0, 0), index(int(shown_.size()) - 1, 1));
}

QSet<QString> TableChoiceModel::ticked() const
{
    QSet<QString> names;
    for (std::size_t i = 0; i < ticked_.size(); ++i)
        if (ticked_[i])
            names.insert(decisions_[qsizetype(i)].listed.table.quoted());
    return names;
}

bool TableChoiceModel::tickable(std::size_t table) const
{
    return decisions_[qsizetype(table)].listed.type == QLatin1String("TABLE");
}

QString TableChoiceModel::reason(std::size_t table) const
{
    if (ticked_[table])
        return {};
    const TableDecision& decision = decisions_[qsizetype(table)];
    // Unticked here although the choice read it: the user's own choice, whatever the default says.
    return decision.read() ? TableDecision{decision.listed, TableDecision::Unticked}.why() : decision.why();
}

int TableChoiceModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(shown_.size()); }

int TableChoiceModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 2; }

QVariant TableChoiceModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || std::size_t(index.row()) >= shown_.size())
        return {};
    const std::size_t table = shown_[std::size_t(index.row())];
    if (index.column() == 0 && role == Qt::CheckStateRole)
        return ticked_[table] ? Qt::Checked : Qt::Unchecked;
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)
        return {};
    return index.column() == 0 ? decisions_[qsizetype(table)].listed.table.quoted() : reason(table);
}

bool TableChoiceModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || index.column() != 0 || role != Qt::CheckStateRole)
        return false;
    const std::size_t table = shown_[std::size_t(index.row())];
    if (!tickable(table))
        return false;
    ticked_[table] = value.value<Qt::CheckState>() == Qt::Checked;
    emit dataChanged(index, index.siblingAtColumn(1));
    return true;
}

Qt::ItemFlags TableChoiceModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    const std::size_t table = shown_[std::size_t(index.row())];
    if (!tickable(table))
        return Qt::ItemIsSelectable; // shown, never read
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | (index.column() == 0 ? Qt::ItemIsUserCheckable : Qt::NoItemFlags);
}

QVariant TableChoiceModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return section == 0 ? QStringLiteral("Table") : QStringLiteral("Left out because");
}

} // namespace rq
