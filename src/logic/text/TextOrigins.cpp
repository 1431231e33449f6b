#include "TextOrigins.h"

#include <QLocale>
#include <algorithm>
#include <atomic>
#include <limits>

namespace rq {

QString Origin::field() const { return tableName().full() + QLatin1Char('.') + column; }

QString Origin::rowName() const
{
    if (key.isEmpty()) {
        static const QLocale english(QLocale::English);
        return QLatin1String("row ") + english.toString(row);
    }
    QStringList parts;
    for (const KeyValue& part : key)
        parts << part.column + QLatin1Char(' ') + part.value;
    return parts.join(QLatin1String(", "));
}

QString Origin::description() const { return field() + QLatin1String(", ") + rowName(); }

namespace {
constexpr std::size_t kRowsPerBlock = 1 << 16;
std::atomic<quint64> tableReads{0}; // the command line reads on threads of its own
} // namespace

void TextOrigins::beginTable(const TableName& table, const QStringList& columns, qint64 rowsBefore,
                             const QList<KeyColumn>& key)
{
    tables_.append({table, columns, rows_, rowsBefore, key, ++tableReads});
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

void TextOrigins::squeeze()
{
    for (RowBlock& block : blocks_)
        block.offsets.shrink_to_fit();
    fieldEnds_.shrink_to_fit();
    detailedRows_.shrink_to_fit();
}

qsizetype TextOrigins::rowStart(qsizetype row) const
{
    const auto block = std::upper_bound(blocks_.begin(), blocks_.end(), row,
                                        [](qsizetype r, const RowBlock& b) { return r < b.firstRow; }) -
                       1;
    return block->base + block->offsets[row - block->firstRow];
}

qsizetype TextOrigins::rowStartFrom(qsizetype position) const
{
    const qsizetype row = rowAt(position - 1) + 1;
    return row < rows_ ? rowStart(row) : -1;
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

auto TextOrigins::keptEnds(qsizetype row) const
    -> std::pair<std::deque<quint32>::const_iterator, std::deque<quint32>::const_iterator>
{
    const auto detailed = std::lower_bound(detailedRows_.begin(), detailedRows_.end(), row,
                                           [](const DetailedRow& entry, qsizetype r) { return entry.row < r; });
    if (detailed == detailedRows_.end() || detailed->row != row)
        return {fieldEnds_.end(), fieldEnds_.end()};
    const auto last =
        detailed + 1 == detailedRows_.end() ? fieldEnds_.end() : fieldEnds_.begin() + (detailed + 1)->firstEnd;
    return {fieldEnds_.begin() + detailed->firstEnd, last};
}

QStringView TextOrigins::fieldText(QStringView text, qsizetype row, int column) const
{
    const qsizetype start = rowStart(row);
    const auto [first, last] = keptEnds(row);
    if (first != last) {
        if (column >= last - first)
            return {};
        const qsizetype begin = column == 0 ? start : start + *(first + column - 1) + 1;
        return text.sliced(begin, start + *(first + column) - begin);
    }
    qsizetype begin = start;
    for (int k = 0; k < column; ++k) {
        const qsizetype end = text.indexOf(u'\r', begin);
        if (end < 0)
            return {};
        begin = end + 1;
    }
    const qsizetype end = text.indexOf(u'\r', begin);
    return end < 0 ? QStringView() : text.sliced(begin, end - begin);
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
    const auto [first, last] = keptEnds(row);
    if (first != last) {
        column =
            std::lower_bound(first, last, quint64(position - start), [](quint32 end, quint64 at) { return end < at; }) -
            first;
    } else {
        column = text.sliced(start, std::min(position, text.size()) - start).count(QLatin1Char('\r'));
    }
    Origin origin{table.name.schema,   table.name.name, {}, table.rowsBefore + row - table.firstRow + 1, {},
                  table.name.database, table.read};
    if (column < table.columns.size())
        origin.column = table.columns.at(column);
    for (const KeyColumn& key : table.key)
        origin.key.append({table.columns.value(key.column), fieldText(text, row, key.column).toString(), key.sqlType});
    return origin;
}

} // namespace rq

namespace rq {

std::pair<const TextOrigins::Table*, qsizetype> TextOrigins::rowIndex(quint64 tableRead, qint64 row) const
{
    const auto table =
        std::find_if(tables_.begin(), tables_.end(), [&](const Table& t) { return t.read == tableRead; });
    if (tableRead == 0 || table == tables_.end())
        return {nullptr, -1};
    const qsizetype rowsEnd = table + 1 == tables_.end() ? rows_ : (table + 1)->firstRow;
    const qsizetype index = table->firstRow + (row - table->rowsBefore - 1);
    if (index < table->firstRow || index >= rowsEnd)
        return {nullptr, -1};
    return {&*table, index};
}

std::optional<QList<TextOrigins::RowField>> TextOrigins::rowFields(QStringView text, quint64 tableRead,
                                                                   qint64 row) const
{
    const auto [table, index] = rowIndex(tableRead, row);
    if (index < 0)
        return std::nullopt;
    const auto [first, last] = keptEnds(index);
    qsizetype begin = rowStart(index); // of the next field, where the row keeps no field ends
    QList<RowField> fields;
    fields.reserve(table->columns.size());
    for (int column = 0; column < table->columns.size(); ++column) {
        QStringView value;
        if (first != last) {
            value = fieldText(text, index, column);
        } else if (begin >= 0) { // one walk along the row, not one from its start for every field
            const qsizetype end = text.indexOf(u'\r', begin);
            value = end < 0 ? QStringView() : text.sliced(begin, end - begin);
            begin = end < 0 ? -1 : end + 1;
        }
        const bool key = std::any_of(table->key.begin(), table->key.end(),
                                     [column](const KeyColumn& k) { return k.column == column; });
        fields.append({table->columns.at(column), value, key});
    }
    return fields;
}

} // namespace rq
