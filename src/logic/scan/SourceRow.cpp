#include "SourceRow.h"

namespace rq {

std::optional<SourceRow> sourceRow(const DatabaseTextState& database, const Origin& origin)
{
    if (!origin.known() || !database.origins)
        return std::nullopt;
    const auto fields = database.origins->rowFields(database.DatabaseText, origin.tableRead, origin.row);
    if (!fields)
        return std::nullopt;
    SourceRow row;
    row.fields.reserve(fields->size());
    for (const TextOrigins::RowField& field : *fields)
        row.fields.append({field.column, field.value.toString(), field.key});
    return row;
}

} // namespace rq
