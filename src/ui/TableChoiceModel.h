#pragma once

#include "logic/scan/TableListing.h"

#include <QAbstractItemModel>
#include <QSet>
#include <vector>

namespace rq {

// The Tables dialog's tree: the server's databases, their schemas and their tables, each database and table
// with a tick box (tables only: views and the rest are never read; databases the login can open only), why
// one that is not ticked is left out, and a filter on the tables' names. Filtering and "All"/"None" reach the
// view as one change, not one per row, so that the view and a screen reader's bridge, which follows every
// change it is told about, stay quick with tens of thousands of tables.
class TableChoiceModel : public QAbstractItemModel {
    Q_OBJECT
public:
    using QAbstractItemModel::QAbstractItemModel;

    void setDatabases(QList<ListedDatabase> databases);
    // Shows the tables whose name holds `text`, letter case ignored, with their schemas and databases.
    void setFilter(const QString& text);
    // Ticks or unticks every table shown; ticking also ticks the databases that hold them.
    void tickShown(bool ticked);

    // The databases ticked now, by name.
    QSet<QString> tickedDatabases() const;
    // The tables of a database ticked now, by quoted name within the database.
    QSet<QString> tickedTables(const QString& database) const;
    const QList<ListedDatabase>& databases() const { return databases_; }

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    struct Table {
        TableDecision decision;
        bool ticked = false;
    };
    struct Schema {
        QString name;
        std::vector<std::size_t> tables; // into tables_
        std::vector<std::size_t> shown;
    };
    struct Database {
        std::vector<Schema> schemas;
        std::vector<std::size_t> shown; // into schemas
        bool ticked = false;
        bool flat = false; // the driver names no schemas: the tables stand right under the database
    };
    // What a row is: a database, a schema of one, or a table of a schema (of the one nameless schema where
    // the database is flat).
    struct Row {
        std::size_t database = 0;
        int schema = -1; // -1: the database's own row
        int table = -1;  // -1: a database's or a schema's row
    };
    Row rowOf(const QModelIndex& index) const;
    bool tickable(const Row& row) const;
    bool ticked(const Row& row) const;
    QString name(const Row& row) const;
    QString reason(const Row& row) const;

    QList<ListedDatabase> databases_;
    std::vector<Database> tree_; // beside databases_
    std::vector<Table> tables_;
    std::vector<std::size_t> shown_; // the databases shown
};

} // namespace rq
