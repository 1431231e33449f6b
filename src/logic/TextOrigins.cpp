#include "TextOrigins.h"

#include <QLocale>
#include <algorithm>
#include <limits>

namespace rq {

QString qualifiedName(const QString& schema, const QString& name)
{
    return schema.isEmpty() ? name : schema + QLatin1Char('.') + name;
}

QString Origin::field() const { return qualifiedName(schema, table) + QLatin1Char('.') + column; }

QString Origin::description() const
{
    static const QLocale english(QLocale::English);
    return field() + QLatin1String(", row ") + english.toString(row);
}

namespace {
constexpr std::size_t kRowsPerBlock = 1 << 16;
}

void TextOrigins::beginTable(const QString& schema, const QString& name, const QStringList& columns, qint64 rowsBefore)
{
    tables_.append({schema, name, columns, rows_, rowsBefore});
}

void TextOrigins::beginRow(qsizetype position)
{
    if (blocks_.empty() || blocks_.back().offsets.size() == kRowsPerBlock ||
        position - blocks_.back().base > std::numeric_limits<quint32>::max()) {
        blocks_.push_back({rows_, position, {}});
        blocks_.back().offsets.reserve(kRowsPerBlock);
    }
    blocks_.back().offsets.push_back(quint32(position - blocks_.back().base));
    ++rows_;
}

void TextOrigins::setFieldEnds(std::span<const quint32> endsInRow)
{
    detailedRows_.push_back({rows_ - 1, qsizetype(fieldEnds_.size())});
    fieldEnds_.insert(fieldEnds_.end(), endsInRow.begin(), endsInRow.end());
}

qsizetype TextOrigins::rowStart(qsizetype row) const
{
    const auto block = std::upper_bound(blocks_.begin(), blocks_.end(), row,
                                        [](qsizetype r, const RowBlock& b) { return r < b.firstRow; }) -
                       1;
    return block->base + block->offsets[row - block->firstRow];
}

qsizetype TextOrigins::rowAt(qsizetype position) const
{
    const auto blockAfter = std::upper_bound(blocks_.begin(), blocks_.end(), position,
                                             [](qsizetype p, const RowBlock& b) { return p < b.base; });
    if (blockAfter == blocks_.begin())
        return -1;
    const RowBlock& block = *(blockAfter - 1);
    const auto after = std::upper_bound(block.offsets.begin(), block.offsets.end(), quint64(position - block.base),
                                        [](quint64 p, quint32 offset) { return p < offset; });
    return block.firstRow + (after - block.offsets.begin()) - 1;
}

Origin TextOrigins::at(QStringView text, qsizetype position) const
{
    const qsizetype row = rowAt(position);
    if (row < 0 || tables_.isEmpty())
        return {};
    // The last table whose rows begin at or before this one (tables without rows share their first row).
    const auto tableAfter = std::upper_bound(tables_.begin(), tables_.end(), row,
                                             [](qsizetype r, const Table& table) { return r < table.firstRow; });
    const Table& table = *(tableAfter - 1);

    qsizetype column = 0;
    const qsizetype start = rowStart(row);
    const auto detailed = std::lower_bound(detailedRows_.begin(), detailedRows_.end(), row,
                                           [](const DetailedRow& entry, qsizetype r) { return entry.row < r; });
    if (detailed != detailedRows_.end() && detailed->row == row) {
        const auto first = fieldEnds_.begin() + detailed->firstEnd;
        const auto last =
            detailed + 1 == detailedRows_.end() ? fieldEnds_.end() : fieldEnds_.begin() + (detailed + 1)->firstEnd;
        column =
            std::lower_bound(first, last, quint64(position - start), [](quint32 end, quint64 at) { return end < at; }) -
            first;
    } else {
        column = text.sliced(start, std::min(position, text.size()) - start).count(QLatin1Char('\r'));
    }
    Origin origin{table.schema, table.name, {}, table.rowsBefore + row - table.firstRow + 1};
    if (column < table.columns.size())
        origin.column = table.columns.at(column);
    return origin;
}

} // namespace rq
