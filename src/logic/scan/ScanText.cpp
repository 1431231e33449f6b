#include "ScanText.h"

namespace rq {

void ScanText::append(ScanBatch& batch, QString& text, TextOrigins& origins)
{
    if (batch.table) {
        table_ = std::move(batch.table);
        rowsInTable_ = 0;
        origins.beginTable(table_->table, table_->columns, 0, table_->key);
    } else if (origins.empty() && table_) {
        origins.beginTable(table_->table, table_->columns, rowsInTable_, table_->key);
    }
    const qsizetype base = text.size();
    if (text.isEmpty())
        text = std::move(batch.text); // no copy for a text that is this batch alone
    else
        text += batch.text;
    auto detailed = batch.detailedRows.begin();
    for (std::size_t row = 0; row < batch.rowStarts.size(); ++row) {
        origins.beginRow(base + batch.rowStarts[row]);
        if (detailed != batch.detailedRows.end() && detailed->first == row) {
            const std::size_t last =
                detailed + 1 == batch.detailedRows.end() ? batch.fieldEnds.size() : (detailed + 1)->second;
            origins.setFieldEnds(std::span(batch.fieldEnds).subspan(detailed->second, last - detailed->second));
            ++detailed;
        }
    }
    rowsInTable_ += qint64(batch.rowStarts.size());
}

} // namespace rq
