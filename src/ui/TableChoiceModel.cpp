#include "TableChoiceModel.h"

namespace rq {

namespace {

// A row's identity inside the tree: 0 for a database, the database (from 1) in the high half for a schema, and
// the schema (from 1) in the low half as well for a table.
quintptr schemaId(std::size_t database) { return quintptr(database + 1) << 32; }
quintptr tableId(std::size_t database, std::size_t schema) { return schemaId(database) | quintptr(schema + 1); }

} // namespace

void TableChoiceModel::setDatabases(QList<ListedDatabase> databases)
{
    beginResetModel();
    databases_ = std::move(databases);
    tree_.assign(std::size_t(databases_.size()), {});
    tables_.clear();
    for (std::size_t d = 0; d < tree_.size(); ++d) {
        const ListedDatabase& listed = databases_[qsizetype(d)];
        Database& database = tree_[d];
        database.ticked = listed.decision.read();
        for (const TableDecision& decision : listed.tables) {
            const QString schema = decision.listed.table.schema;
            if (database.schemas.empty() || database.schemas.back().name != schema)
                database.schemas.push_back({schema, {}, {}});
            database.schemas.back().tables.push_back(tables_.size());
            tables_.push_back({decision, decision.read()});
        }
        database.flat = database.schemas.size() == 1 && database.schemas.front().name.isEmpty();
    }
    endResetModel();
    setFilter({});
}

void TableChoiceModel::setFilter(const QString& text)
{
    beginResetModel();
    shown_.clear();
    for (std::size_t d = 0; d < tree_.size(); ++d) {
        Database& database = tree_[d];
        database.shown.clear();
        for (std::size_t s = 0; s < database.schemas.size(); ++s) {
            Schema& schema = database.schemas[s];
            schema.shown.clear();
            for (const std::size_t t : schema.tables)
                if (text.isEmpty() || tables_[t].decision.listed.table.quoted().contains(text, Qt::CaseInsensitive))
                    schema.shown.push_back(t);
            if (!schema.shown.empty())
                database.shown.push_back(s);
        }
        if (text.isEmpty() || !database.shown.empty())
            shown_.push_back(d);
    }
    endResetModel();
}

void TableChoiceModel::tickShown(bool ticked)
{
    for (const std::size_t d : shown_) {
        Database& database = tree_[d];
        for (const std::size_t s : database.shown)
            for (const std::size_t t : database.schemas[s].shown)
                if (tables_[t].decision.listed.type == QLatin1String("TABLE")) {
                    tables_[t].ticked = ticked;
                    if (ticked && tickable({d, -1, -1}))
                        database.ticked = true;
                }
    }
    // One change for the whole tree: the view asks again for what it shows.
    beginResetModel();
    endResetModel();
}

QSet<QString> TableChoiceModel::tickedDatabases() const
{
    QSet<QString> names;
    for (std::size_t d = 0; d < tree_.size(); ++d)
        if (tree_[d].ticked)
            names.insert(databases_[qsizetype(d)].decision.database.name);
    return names;
}

QSet<QString> TableChoiceModel::tickedTables(const QString& database) const
{
    QSet<QString> names;
    for (const Table& table : tables_)
        if (table.ticked && table.decision.listed.table.database == database)
            names.insert(TableName{table.decision.listed.table.schema, table.decision.listed.table.name}.quoted());
    return names;
}

TableChoiceModel::Row TableChoiceModel::rowOf(const QModelIndex& index) const
{
    const quintptr id = index.internalId();
    if (id == 0)
        return {shown_[std::size_t(index.row())], -1, -1};
    const std::size_t d = std::size_t(id >> 32) - 1;
    const Database& database = tree_[d];
    const quintptr schemaPlusOne = id & 0xffffffffu;
    if (schemaPlusOne == 0 && !database.flat)
        return {d, int(database.shown[std::size_t(index.row())]), -1};
    const std::size_t s = database.flat ? 0 : std::size_t(schemaPlusOne - 1);
    return {d, int(s), int(database.schemas[s].shown[std::size_t(index.row())])};
}

QModelIndex TableChoiceModel::index(int row, int column, const QModelIndex& parent) const
{
    if (row < 0 || column < 0 || column > 1 || row >= rowCount(parent))
        return {};
    if (!parent.isValid())
        return createIndex(row, column, quintptr(0));
    const Row above = rowOf(parent);
    if (above.schema < 0 && tree_[above.database].flat)
        return createIndex(row, column, tableId(above.database, 0));
    if (above.schema < 0)
        return createIndex(row, column, schemaId(above.database));
    return createIndex(row, column, tableId(above.database, std::size_t(above.schema)));
}

QModelIndex TableChoiceModel::parent(const QModelIndex& child) const
{
    const quintptr id = child.isValid() ? child.internalId() : 0;
    if (id == 0)
        return {};
    const std::size_t d = std::size_t(id >> 32) - 1;
    const quintptr schemaPlusOne = id & 0xffffffffu;
    if (schemaPlusOne == 0 || tree_[d].flat) {
        const auto at = std::find(shown_.begin(), shown_.end(), d);
        return createIndex(int(at - shown_.begin()), 0, quintptr(0));
    }
    const std::vector<std::size_t>& schemas = tree_[d].shown;
    const auto at = std::find(schemas.begin(), schemas.end(), std::size_t(schemaPlusOne - 1));
    return createIndex(int(at - schemas.begin()), 0, schemaId(d));
}

int TableChoiceModel::rowCount(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return int(shown_.size());
    if (parent.column() != 0)
        return 0;
    const Row row = rowOf(parent);
    if (row.table >= 0)
        return 0;
    const Database& database = tree_[row.database];
    if (row.schema < 0 && database.flat)
        return database.shown.empty() ? 0 : int(database.schemas.front().shown.size());
    if (row.schema < 0)
        return int(database.shown.size());
    return int(database.schemas[std::size_t(row.schema)].shown.size());
}

int TableChoiceModel::columnCount(const QModelIndex&) const { return 2; }

bool TableChoiceModel::tickable(const Row& row) const
{
    if (row.table >= 0)
        return tables_[std::size_t(row.table)].decision.listed.type == QLatin1String("TABLE");
    if (row.schema >= 0)
        return false;
    const ServerDatabase& database = databases_[qsizetype(row.database)].decision.database;
    return database.accessible && database.online;
}

bool TableChoiceModel::ticked(const Row& row) const
{
    return row.table >= 0 ? tables_[std::size_t(row.table)].ticked : tree_[row.database].ticked;
}

QString TableChoiceModel::name(const Row& row) const
{
    if (row.table >= 0)
        return TableName{{}, tables_[std::size_t(row.table)].decision.listed.table.name}.quoted();
    if (row.schema >= 0)
        return tree_[row.database].schemas[std::size_t(row.schema)].name;
    return databases_[qsizetype(row.database)].decision.database.name;
}

QString TableChoiceModel::reason(const Row& row) const
{
    if (row.schema >= 0 && row.table < 0)
        return {};
    const ListedDatabase& listed = databases_[qsizetype(row.database)];
    if (row.table < 0) {
        if (!listed.failure.isEmpty())
            return listed.failure;
        if (ticked(row))
            return {};
        const DatabaseDecision& decision = listed.decision;
        return decision.read() ? DatabaseDecision{decision.database, DatabaseDecision::Unticked}.why() : decision.why();
    }
    if (ticked(row))
        return {};
    const TableDecision& decision = tables_[std::size_t(row.table)].decision;
    // Unticked here although the choice read it: the user's own choice, whatever the default says.
    return decision.read() ? TableDecision{decision.listed, TableDecision::Unticked}.why() : decision.why();
}

QVariant TableChoiceModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const Row row = rowOf(index);
    if (index.column() == 0 && role == Qt::CheckStateRole && (row.schema < 0 || row.table >= 0))
        return ticked(row) ? Qt::Checked : Qt::Unchecked;
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)
        return {};
    return index.column() == 0 ? name(row) : reason(row);
}

bool TableChoiceModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || index.column() != 0 || role != Qt::CheckStateRole)
        return false;
    const Row row = rowOf(index);
    if (!tickable(row))
        return false;
    const bool tick = value.value<Qt::CheckState>() == Qt::Checked;
    (row.table >= 0 ? tables_[std::size_t(row.table)].ticked : tree_[row.database].ticked) = tick;
    emit dataChanged(index, index.siblingAtColumn(1));
    return true;
}

Qt::ItemFlags TableChoiceModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    const Row row = rowOf(index);
    if (row.schema >= 0 && row.table < 0)
        return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (!tickable(row))
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
