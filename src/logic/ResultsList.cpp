#include "ResultsList.h"

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

void ResultsList::append(const QString& text)
{
    const int row = static_cast<int>(items_.size());
    beginInsertRows({}, row, row);
    items_.append(text);
    ++counts_[text];
    endInsertRows();
}

void ResultsList::removeAt(qsizetype position)
{
    if (position < 0 || position >= items_.size())
        return;
    beginRemoveRows({}, static_cast<int>(position), static_cast<int>(position));
    const auto count = counts_.find(items_.at(position));
    if (--*count == 0)
        counts_.erase(count);
    items_.removeAt(position);
    endRemoveRows();
}

void ResultsList::clear()
{
    beginResetModel();
    items_.clear();
    counts_.clear();
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

QVariant ResultsList::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || index.column() != 0 || index.row() >= items_.size())
        return {};
    return shownText(items_.at(index.row()));
}

QVariant ResultsList::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section >= headers_.size())
        return {};
    return headers_.at(section);
}

} // namespace rq
