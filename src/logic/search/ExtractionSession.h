#pragma once

#include "logic/search/Matcher.h"
#include "logic/text/TextBlock.h"
#include "logic/text/TextOrigins.h"

#include <QString>
#include <QStringList>
#include <QStringView>
#include <functional>
#include <optional>
#include <span>

namespace rq {

// What an extraction looks for, read once when the command starts: edits made while it runs do not change it.
struct ExtractionRequest {
    enum Kind { Lines, Between };
    Kind kind = Lines;
    QString searchText;          // Lines
    MatchOptions options;        // Lines; of them, matchCase also for Between
    QString startMarker;         // Between: plain text
    QString endMarker;           // Between: plain text
    bool keepDuplicates = false; // Between
};

// Where an extraction's items go: the window's results list, or the command line's output.
class ItemSink {
public:
    virtual ~ItemSink() = default;
    virtual bool holds(const QString& text) const = 0;
    virtual void add(const QString& text, const Origin& origin) = 0;
    // One more place of a text it holds: a duplicate that was not added.
    virtual void addPlace(const QString& text) = 0;
};

// One extraction: finds the items, applies the duplicate rule (between, without Keep Duplicates, adds no
// text the sink holds and counts one more place for it instead) and gives each item the place it came from.
// The window's commands and the command line both run their extractions through it.
class ExtractionSession {
public:
    // Throws InvalidPattern for a regular expression that does not compile.
    ExtractionSession(ExtractionRequest request, ItemSink& sink);

    // Searches `text`, whose fields came from `origins`; may run again on the next stretch of a database.
    void run(QStringView text, const TextOrigins& origins, const std::function<bool()>& yield);
    // Searches the blocks, several at once on the search threads, each unpacked into a buffer of its own; the
    // items reach the sink in the blocks' order, as from one text. Once `stopped` answers true the search
    // ends, keeping what it found before; false then.
    bool run(std::span<const TextBlockPtr> blocks, const std::function<bool()>& yield,
             const std::function<bool()>& stopped = {});

    qsizetype found() const { return found_; }
    // Lines the regular expression was too complex to decide for: neither found nor passed over in silence.
    qsizetype undecided() const { return undecided_; }
    // "the regular expression is too complex for dbo.T.v, row 12", or "... for 3 lines, the first dbo.T.v,
    // row 12"; empty when every line was decided.
    QString undecidedNotice() const;
    // "48 lines found.", "No line holds the text.", "12 stretches found, 3 already listed."; with the notice of
    // lines too complex to decide where there are any.
    QString outcome() const;

private:
    void take(QStringView item, QStringView text, const TextOrigins& origins);
    void take(const QString& item, const Origin& origin);
    void searchText(QStringView text, const std::function<void(QStringView)>& item,
                    const std::function<void(QStringView)>& undecided, const std::function<bool()>& yield) const;

    // A block kept as Latin-1: searched stretch by stretch, each widened into `wide` (the block's size) first
    // where the screen lets it through.
    void searchLatin1(QByteArrayView latin1, QString& wide, const TextOrigins& origins,
                      const std::function<void(QStringView)>& item, const std::function<void(QStringView)>& undecided,
                      const std::function<bool()>& yield) const;

    ExtractionRequest request_;
    ItemSink& sink_;
    std::optional<Matcher> matcher_;
    Latin1Screen screen_;
    QStringList blockMustHold_; // plain texts an item's block must hold: the search text, or both markers
    bool stopped_ = false;
    qsizetype found_ = 0;
    qsizetype alreadyListed_ = 0;
    qsizetype undecided_ = 0;
    Origin firstUndecided_;
};

} // namespace rq
