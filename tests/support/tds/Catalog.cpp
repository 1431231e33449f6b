#include "Catalog.h"

#include <algorithm>
#include <array>

using namespace Qt::StringLiterals;

namespace rq::test::tds {

namespace {

bool sameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

bool nameBefore(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; }

} // namespace

TdsTable tableListing(const TdsDatabase& database)
{
    TdsTable listing;
    listing.schema = u"sys"_s;
    listing.name = u"sp_tables"_s;
    listing.columns = {
        {u"TABLE_QUALIFIER"_s, TdsType::NVarChar, 128}, {u"TABLE_OWNER"_s, TdsType::NVarChar, 128},
        {u"TABLE_NAME"_s, TdsType::NVarChar, 128},      {u"TABLE_TYPE"_s, TdsType::VarChar, 32},
        {u"REMARKS"_s, TdsType::VarChar, 254},
    };
    QList<const TdsTable*> tables;
    for (const TdsTable& table : database.tables)
        tables.append(&table);
    std::stable_sort(tables.begin(), tables.end(), [](const TdsTable* a, const TdsTable* b) {
        const auto key = [](const TdsTable* t) { return std::array{&t->type, &t->schema, &t->name}; };
        for (size_t k = 0; k < 3; ++k)
            if (const int order = key(a)[k]->compare(*key(b)[k], Qt::CaseInsensitive))
                return order < 0;
        return false;
    });
    for (const TdsTable* table : tables)
        listing.rows.append({QVariant(database.name), QVariant(table->schema), QVariant(table->name),
                             QVariant(table->type), std::nullopt});
    return listing;
}

TdsTable primaryKeyOf(const TdsDatabase& database, const QString& table, const QString& owner)
{
    TdsTable keys;
    keys.schema = u"sys"_s;
    keys.name = u"sp_pkeys"_s;
    keys.columns = {
        {u"TABLE_QUALIFIER"_s, TdsType::NVarChar, 128},
        {u"TABLE_OWNER"_s, TdsType::NVarChar, 128},
        {u"TABLE_NAME"_s, TdsType::NVarChar, 128},
        {u"COLUMN_NAME"_s, TdsType::NVarChar, 128},
        {u"KEY_SEQ"_s, TdsType::SmallInt},
        {u"PK_NAME"_s, TdsType::NVarChar, 128},
    };
    for (const TdsTable& described : database.tables) {
        if (!sameName(described.name, table) || (!owner.isEmpty() && !sameName(described.schema, owner)))
            continue;
        for (qsizetype k = 0; k < described.primaryKey.size(); ++k)
            keys.rows.append({QVariant(database.name), QVariant(described.schema), QVariant(described.name),
                              QVariant(described.primaryKey[k]), QVariant(qint64(k + 1)),
                              QVariant(QStringLiteral("PK_") + described.name)});
    }
    return keys;
}

TdsTable databaseList(const QList<TdsDatabase>& databases)
{
    TdsTable list;
    list.schema = u"sys"_s;
    list.name = u"databases"_s;
    list.columns = {
        {u"name"_s, TdsType::NVarChar, 128},
        {u"state_desc"_s, TdsType::NVarChar, 60},
        {QString(), TdsType::Int}, // HAS_DBACCESS(name): a function's column has no name
        {u"snapshot_isolation_state"_s, TdsType::TinyInt},
    };
    QList<const TdsDatabase*> ordered;
    for (const TdsDatabase& database : databases)
        ordered.append(&database);
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const TdsDatabase* a, const TdsDatabase* b) { return nameBefore(a->name, b->name); });
    for (const TdsDatabase* database : ordered)
        list.rows.append({QVariant(database->name), QVariant(database->online ? u"ONLINE"_s : u"OFFLINE"_s),
                          QVariant(qint64(database->accessible && database->online ? 1 : 0)),
                          QVariant(qint64(database->allowsSnapshot ? 1 : 0))});
    return list;
}

TdsTable keyColumns(const TdsDatabase& database)
{
    TdsTable keys;
    keys.schema = u"sys"_s;
    keys.name = u"index_columns"_s;
    keys.columns = {
        {QString(), TdsType::NVarChar, 128}, // SCHEMA_NAME(t.schema_id)
        {u"name"_s, TdsType::NVarChar, 128},
        {u"name"_s, TdsType::NVarChar, 128},
        {u"key_ordinal"_s, TdsType::TinyInt},
    };
    QList<const TdsTable*> keyed; // sys.tables holds user tables only
    for (const TdsTable& table : database.tables)
        if (table.type == u"TABLE" && !table.primaryKey.isEmpty())
            keyed.append(&table);
    std::stable_sort(keyed.begin(), keyed.end(), [](const TdsTable* a, const TdsTable* b) {
        return sameName(a->schema, b->schema) ? nameBefore(a->name, b->name) : nameBefore(a->schema, b->schema);
    });
    for (const TdsTable* table : keyed)
        for (qsizetype k = 0; k < table->primaryKey.size(); ++k)
            keys.rows.append({QVariant(table->schema), QVariant(table->name), QVariant(table->primaryKey[k]),
                              QVariant(qint64(k + 1))});
    return keys;
}

} // namespace rq::test::tds
