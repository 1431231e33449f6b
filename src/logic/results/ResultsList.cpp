#include "ResultsList.h"

#include <algorithm>

namespace rq {

QString shownText(QStringView text)
{
    constexpr QChar kLineBreak(0x21B5);
    const bool cut = text.size() > kShownUnits;
    qsizetype end = cut ? kShownUnits : text.size();
    if (cut && text[end - 1].isHighSurrogate() && text[end].isLowSurrogate())
        --end;
    QString shown;
    shown.reserve(end + 1);
    for (qsizetype i = 0; i < end; ++i) {
        const QChar c = text[i];
        const char16_t u = c.unicode();
        if (u == u'\r' || u == u'\n' || u == 0x85 || u == 0x2028 || u == 0x2029) {
            shown += kLineBreak;
            if (u == u'\r' && i + 1 < end && text[i + 1] == u'\n')
                ++i;
        } else if (u < 0x20) {
            shown += QChar(0x2400 + u); // the Control Pictures block: U+2400 shows NUL, U+2409 a tab
        } else if (u == 0x7F) {
            shown += QChar(0x2421);
        } else if (u >= 0x80 && u < 0xA0) {
            shown += QChar(QChar::ReplacementCharacter);
        } else if (c.isHighSurrogate() && i + 1 < end && text[i + 1].isLowSurrogate()) {
            shown += c;
            shown += text[++i];
        } else if (c.isSurrogate()) {
            shown += QChar(QChar::ReplacementCharacter);
        } else {
            shown += c;
        }
    }
    if (cut)
        shown += QChar(0x2026);
    return shown;
}

QString accessibleText(QStringView text)
{
    const qsizetype end = std::min(text.size(), kShownUnits);
    QString readable;
    readable.reserve(end);
    for (qsizetype i = 0; i < end; ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < end && text[i + 1].isLowSurrogate()) {
            readable += c;
            readable += text[++i];
        } else if (c.isSurrogate()) {
            continue;
        } else {
            readable += c.category() == QChar::Other_Control || c.unicode() == 0x2028 || c.unicode() == 0x2029
                            ? QChar(u' ')
                            : c;
        }
    }
    return readable;
}

QList<ResultsList::Row> ResultsList::rows() const
{
    QList<Row> all;
    all.reserve(items_.size());
    for (qsizetype i = 0; i < items_.size(); ++i)
        all.append({items_[i], origins_[i], texts_.value(items_[i]).morePlaces});
    return all;
}

void ResultsList::append(const QString& text, const Origin& origin)
{
    const int row = static_cast<int>(items_.size());
    beginInsertRows({}, row, row);
    items_.append(text);
    origins_.append(origin);
    ++texts_[text].items;
    endInsertRows();
}

void ResultsList::removeAt(qsizetype position)
{
    if (position < 0 || position >= items_.size())
        return;
    beginRemoveRows({}, static_cast<int>(position), static_cast<int>(position));
    const auto count = texts_.find(items_.at(position));
    if (--count->items == 0)
        texts_.erase(count);
    items_.removeAt(position);
    origins_.removeAt(position);
    endRemoveRows();
}

void ResultsList::clear()
{
    beginResetModel();
    items_.clear();
    origins_.clear();
    texts_.clear();
    endResetModel();
}

int ResultsList::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(items_.size());
}

int ResultsList::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(headers_.size());
}

void ResultsList::addColumn(const QString& header)
{
    const int column = static_cast<int>(headers_.size());
    beginInsertColumns({}, column, column);
    headers_.append(header);
    endInsertColumns();
}

void ResultsList::addPlace(const QString& text)
{
    const auto count = texts_.find(text);
    if (count == texts_.end())
        return;
    ++count->morePlaces;
    // Every item with this text shows the count; finding them would cost a walk of the list, and a
    // view repaints a changed range only where it is visible.
    emit dataChanged(index(0, 1), index(rowCount() - 1, 1), {Qt::DisplayRole});
}

QString ResultsList::placeText(qsizetype position) const
{
    const Origin& origin = origins_.at(position);
    if (!origin.known())
        return {};
    const qsizetype more = texts_.value(items_.at(position)).morePlaces;
    if (more == 0)
        return origin.description();
    return origin.description() +
           (more == 1 ? QStringLiteral(" and 1 more place") : QStringLiteral(" and %1 more places").arg(more));
}

QVariant ResultsList::data(const QModelIndex& index, int role) const
{
    if (index.row() >= items_.size())
        return {};
    if (role == Qt::ToolTipRole) {
        const QString place = placeText(index.row());
        return place.isEmpty() ? QVariant() : QVariant(place); // the list's own tool tip then shows
    }
    if (role == Qt::AccessibleTextRole && index.column() == 0)
        return accessibleText(items_.at(index.row()));
    if (role != Qt::DisplayRole)
        return {};
    return index.column() == 0 ? QVariant(shownText(items_.at(index.row()))) : QVariant(placeText(index.row()));
}

QVariant ResultsList::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section >= headers_.size())
        return {};
    return headers_.at(section);
}

} // namespace rq
