#pragma once

#include <QString>

namespace rq {

// "Sales.Orders", or "Orders" where the driver names no schema.
QString qualifiedName(const QString& schema, const QString& name);

// A table as the driver's tables list names it; the schema is empty where the driver gives none.
struct TableName {
    QString schema;
    QString name;
    QString qualified() const { return qualifiedName(schema, name); } // "Sales.Orders", or "Orders"
    bool operator==(const TableName&) const = default;
};

} // namespace rq
