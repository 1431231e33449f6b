#include "TextOrigins.h"

#include <QLocale>
#include <algorithm>

namespace rq {

QString Origin::field() const
{
    QString name = schema.isEmpty() ? table : schema + QLatin1Char('.') + table;
    return name + QLatin1Char('.') + column;
}

QString Origin::description() const
{
    static const QLocale english(QLocale::English);
    return field() + QLatin1String(", row ") + english.toString(row);
}

void TextOrigins::clear()
{
    tables_.clear();
    rowStarts_ = {};
    fieldEnds_ = {};
}

void TextOrigins::beginTable(const QString& schema, const QString& name, const QStringList& columns)
{
    tables_.append({schema, name, columns, qsizetype(rowStarts_.size())});
}

void TextOrigins::beginRow(qsizetype position) { rowStarts_.push_back(position); }

void TextOrigins::setFieldEnds(std::vector<qsizetype> ends)
{
    fieldEnds_.emplace_back(qsizetype(rowStarts_.size()) - 1, std::move(ends));
}

Origin TextOrigins::at(QStringView text, qsizetype position) const
{
    const auto rowAfter = std::upper_bound(rowStarts_.begin(), rowStarts_.end(), position);
    if (rowAfter == rowStarts_.begin() || tables_.isEmpty())
        return {};
    const qsizetype row = (rowAfter - rowStarts_.begin()) - 1;
    // The last table whose rows begin at or before this one (tables without rows share their first row).
    const auto tableAfter = std::upper_bound(tables_.begin(), tables_.end(), row,
                                             [](qsizetype r, const Table& table) { return r < table.firstRow; });
    const Table& table = *(tableAfter - 1);

    qsizetype column = 0;
    const auto detailed = std::lower_bound(fieldEnds_.begin(), fieldEnds_.end(), row,
                                           [](const auto& entry, qsizetype r) { return entry.first < r; });
    if (detailed != fieldEnds_.end() && detailed->first == row) {
        const auto& ends = detailed->second;
        column = std::lower_bound(ends.begin(), ends.end(), position) - ends.begin();
    } else {
        const qsizetype start = rowStarts_[row];
        column = text.sliced(start, std::min(position, text.size()) - start).count(QLatin1Char('\r'));
    }
    Origin origin{table.schema, table.name, {}, row - table.firstRow + 1};
    if (column < table.columns.size())
        origin.column = table.columns.at(column);
    return origin;
}

} // namespace rq
