#include "ResultsList.h"

#include <algorithm>
#include <numeric>
#include <utility>

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
    ++changes_;
    endInsertRows();
}

namespace {

// How many removals or clears undo() can put back, the latest first.
constexpr std::size_t kUndoSteps = 20;
// Up to this many stretches a removal tells the view each; more, and the view is told to start afresh.
constexpr qsizetype kFewStretches = 32;

struct Stretch {
    qsizetype start = 0;
    qsizetype length = 0;
};

// Runs of consecutive positions, ascending.
QList<Stretch> stretchesOf(const QList<qsizetype>& ascending)
{
    QList<Stretch> stretches;
    for (const qsizetype position : ascending) {
        if (!stretches.isEmpty() && stretches.last().start + stretches.last().length == position)
            ++stretches.last().length;
        else
            stretches.append({position, 1});
    }
    return stretches;
}

// `list` without the elements at `ascending`, in one pass.
template <class T> QList<T> without(const QList<T>& list, const QList<qsizetype>& ascending)
{
    QList<T> kept;
    kept.reserve(list.size() - ascending.size());
    qsizetype next = 0;
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (next < ascending.size() && ascending[next] == i)
            ++next;
        else
            kept.append(list[i]);
    }
    return kept;
}

// `list` with `values` put back at `ascending`, their places before they were taken out, in one pass.
template <class T> QList<T> with(const QList<T>& list, const QList<qsizetype>& ascending, const QList<T>& values)
{
    QList<T> merged;
    merged.reserve(list.size() + values.size());
    qsizetype next = 0;
    qsizetype kept = 0;
    while (next < ascending.size() || kept < list.size()) {
        if (next < ascending.size() && (ascending[next] <= merged.size() || kept == list.size()))
            merged.append(values[next++]);
        else
            merged.append(list[kept++]);
    }
    return merged;
}

} // namespace

void ResultsList::remove(QList<qsizetype> positions)
{
    std::sort(positions.begin(), positions.end());
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    positions.removeIf([this](qsizetype p) { return p < 0 || p >= items_.size(); });
    if (positions.isEmpty())
        return;
    Removal removal;
    removal.positions = positions;
    removal.items.reserve(positions.size());
    removal.origins.reserve(positions.size());
    for (const qsizetype position : positions) {
        removal.items.append(items_.at(position));
        removal.origins.append(origins_.at(position));
    }
    forget(removal);

    const QList<Stretch> stretches = stretchesOf(positions);
    if (stretches.size() <= kFewStretches) {
        for (auto stretch = stretches.crbegin(); stretch != stretches.crend(); ++stretch) { // the later first
            beginRemoveRows({}, int(stretch->start), int(stretch->start + stretch->length - 1));
            items_.remove(stretch->start, stretch->length);
            origins_.remove(stretch->start, stretch->length);
            endRemoveRows();
        }
    } else {
        beginResetModel();
        items_ = without(items_, positions);
        origins_ = without(origins_, positions);
        endResetModel();
    }
    pushUndo(std::move(removal));
}

// The counts of the removed texts, keeping the further places of texts that no item holds any more.
void ResultsList::forget(Removal& removal)
{
    for (const QString& text : removal.items) {
        const auto count = texts_.find(text);
        if (--count->items > 0)
            continue;
        if (count->morePlaces > 0)
            removal.morePlaces.insert(text, count->morePlaces);
        texts_.erase(count);
    }
}

void ResultsList::pushUndo(Removal removal)
{
    undo_.push_back(std::move(removal));
    if (undo_.size() > kUndoSteps)
        undo_.pop_front();
}

void ResultsList::clear()
{
    if (items_.isEmpty())
        return;
    Removal removal;
    removal.positions.resize(items_.size());
    std::iota(removal.positions.begin(), removal.positions.end(), qsizetype(0));
    for (auto text = texts_.cbegin(); text != texts_.cend(); ++text) {
        if (text->morePlaces > 0)
            removal.morePlaces.insert(text.key(), text->morePlaces);
    }
    beginResetModel();
    removal.items = std::exchange(items_, {});
    removal.origins = std::exchange(origins_, {});
    texts_.clear();
    endResetModel();
    pushUndo(std::move(removal));
}

QList<qsizetype> ResultsList::undo()
{
    if (undo_.empty())
        return {};
    const Removal removal = std::move(undo_.back());
    undo_.pop_back();
    ++changes_;
    for (const QString& text : removal.items)
        ++texts_[text].items;
    for (auto more = removal.morePlaces.cbegin(); more != removal.morePlaces.cend(); ++more)
        texts_[more.key()].morePlaces += more.value();

    const QList<Stretch> stretches = stretchesOf(removal.positions);
    if (stretches.size() <= kFewStretches) {
        qsizetype taken = 0;
        for (const Stretch& stretch : stretches) { // the earlier first: each goes where it was
            const qsizetype start = std::min(stretch.start, items_.size());
            beginInsertRows({}, int(start), int(start + stretch.length - 1));
            items_ = items_.first(start) + removal.items.sliced(taken, stretch.length) + items_.sliced(start);
            origins_ = origins_.first(start) + removal.origins.sliced(taken, stretch.length) + origins_.sliced(start);
            taken += stretch.length;
            endInsertRows();
        }
    } else {
        beginResetModel();
        items_ = with(items_, removal.positions, removal.items);
        origins_ = with(origins_, removal.positions, removal.origins);
        endResetModel();
    }
    return removal.positions;
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
