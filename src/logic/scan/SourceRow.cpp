#include "SourceRow.h"

namespace rq {

std::optional<SourceRow> sourceRow(const DatabaseTextState& database, const Origin& origin)
{
    if (!origin.known())
        return std::nullopt;
    // The block that holds the row: each read of a table into a block has its own number, so a table read again
    // since, or another database, holds none of them.
    for (const TextBlockPtr& block : database.DatabaseText) {
        if (!block->origins().holdsRow(origin.tableRead, origin.row))
            continue;
        QString buffer;
        const QStringView text = block->read(buffer);
        const auto fields = block->origins().rowFields(text, origin.tableRead, origin.row);
        if (!fields)
            return std::nullopt;
        SourceRow row;
        row.fields.reserve(fields->size());
        for (const TextOrigins::RowField& field : *fields)
            row.fields.append({field.column, field.value.toString(), field.key});
        return row;
    }
    return std::nullopt;
}

} // namespace rq
