#include "ScanText.h"

namespace rq {

namespace {
// What a block may hold past its size: the rest of the row that fills it, most often short.
constexpr qsizetype kFullBlockSlack = qsizetype(1) << 16;
} // namespace

void ScanText::begin()
{
    origins_ = std::make_shared<TextOrigins>();
    text_ = QString();
    if (table_)
        origins_->beginTable(table_->table, table_->columns, rowsInTable_, table_->key);
}

void ScanText::seal(const Sealed& sealed)
{
    if (!origins_)
        return;
    auto origins = std::exchange(origins_, nullptr);
    origins->squeeze(); // a block's rows are far fewer than the room origins keep for rows to come
    if (!text_.isEmpty())
        sealed(std::make_shared<TextBlock>(std::exchange(text_, QString()), std::move(origins)));
}

void ScanText::append(ScanBatch& batch, const Sealed& sealed)
{
    if (batch.table) {
        seal(sealed);
        table_ = std::move(batch.table);
        rowsInTable_ = 0;
    }
    const std::size_t rows = batch.rowStarts.size();
    auto detailed = batch.detailedRows.begin();
    for (std::size_t row = 0; row < rows;) {
        if (!origins_)
            begin();
        // The rows that go into this block: at least one, and on while the block stays below its size.
        const qsizetype from = batch.rowStarts[row];
        std::size_t last = row + 1;
        while (last < rows && text_.size() + (batch.rowStarts[last] - from) < blockUnits_)
            ++last;
        const qsizetype to = last < rows ? batch.rowStarts[last] : batch.text.size();
        const qsizetype base = text_.size() - from;
        if (text_.isEmpty() && from == 0 && to == batch.text.size()) {
            text_ = std::move(batch.text); // no copy for a block that is this batch alone
        } else {
            // A block that will be full is given its size once, rather than grown past it by doubling.
            const qsizetype full = blockUnits_ + kFullBlockSlack;
            if (text_.size() + (to - from) > blockUnits_ / 4 && text_.capacity() < full && blockUnits_ < full)
                text_.reserve(std::max(full, text_.size() + (to - from)));
            text_.append(QStringView(batch.text).sliced(from, to - from));
        }
        for (std::size_t r = row; r < last; ++r) {
            origins_->beginRow(base + batch.rowStarts[r]);
            if (detailed != batch.detailedRows.end() && detailed->first == r) {
                const std::size_t end =
                    detailed + 1 == batch.detailedRows.end() ? batch.fieldEnds.size() : (detailed + 1)->second;
                origins_->setFieldEnds(std::span(batch.fieldEnds).subspan(detailed->second, end - detailed->second));
                ++detailed;
            }
        }
        rowsInTable_ += qint64(last - row);
        rows_ += qint64(last - row);
        row = last;
        if (text_.size() >= blockUnits_)
            seal(sealed);
    }
    if (batch.tableEnd)
        seal(sealed);
}

void WholeScanText::append(ScanBatch& batch, QString& text, TextOrigins& origins)
{
    if (batch.table) {
        table_ = std::move(batch.table);
        origins.beginTable(table_->table, table_->columns, 0, table_->key);
    }
    const qsizetype base = text.size();
    if (text.isEmpty())
        text = std::move(batch.text);
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
}

} // namespace rq
