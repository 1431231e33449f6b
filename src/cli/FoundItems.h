#pragma once

#include "cli/CommandLineOptions.h"
#include "logic/results/ResultsFile.h"
#include "logic/search/ExtractionSession.h"
#include "logic/text/TextOrigins.h"

#include <QSet>
#include <QString>
#include <QStringView>
#include <functional>
#include <optional>

class QFileDevice;
class QIODevice;

namespace rq::cli {

// The items an extraction finds, in order, each printed the moment it is found: to standard output (each
// ended by a line feed, or a NUL with --null), or to the results file (--output), or only counted; up to
// --max-count of them. Only the texts already printed are kept, where the duplicate check needs them.
class FoundItems final : public ItemSink {
public:
    // `file`: where --output writes, or nullptr. `beforePrinting` runs before a batch's first item goes to
    // standard output: on a terminal, the counts' line is cleared there. `highlight`: the matches in the items
    // printed to standard output are highlighted (--color).
    FoundItems(
        const CommandLineRequest& request, QFileDevice& out, QIODevice* file,
        std::function<void()> beforePrinting = [] {}, bool highlight = false);

    bool holds(const QString& text) const override { return printed_.contains(text); }
    // Throws a Failure when standard output or the file takes no more.
    void add(const QString& text, const Origin& origin) override;
    void addPlace(const QString&) override {} // printed already: nothing to add to
    // Prints what comes before the items (the TSV header).
    void start();
    // After each batch of rows: what it printed goes to the system, so that a pipe or a file sees each item soon
    // after its row arrived (once a batch, not once an item: a write call each costs). Throws a Failure as add().
    // True when the batch printed to standard output.
    bool endBatch();
    // Writes what is still gathered for the file.
    void finish();
    qsizetype count() const { return count_; }
    // --max-count items have been taken: the rest are passed over, and the read can end.
    bool enough() const { return maxCount_ >= 0 && count_ >= maxCount_; }

    // With --null, an item that holds a NUL (or whose place before it does, with --with-origin) cannot be told
    // from two items: it is not printed.
    qsizetype heldNul() const { return heldNul_; }
    const Origin& firstHoldingNul() const { return firstHoldingNul_; }

private:
    QByteArray formatted(const QString& item, const Origin& origin) const;
    QString highlighted(const QString& item) const;
    bool holdsNul(const QString& item, const Origin& origin) const;
    void writeTo(QIODevice& device, const QByteArray& bytes);

    bool withOrigin_;
    bool withDatabase_; // several databases may be read: TSV has a database column
    QFileDevice& out_;
    bool keepPrinted_;
    bool print_;
    char end_;
    ResultFormat format_ = ResultFormat::Text;
    QIODevice* fileDevice_ = nullptr; // --output
    QString fileName_;
    std::optional<ResultsWriter> file_; // the same, in the results file's text format
    QSet<QString> printed_;
    std::function<void()> beforePrinting_;
    qsizetype count_ = 0;
    bool batchPrinted_ = false;   // to standard output
    bool batchWroteFile_ = false; // to the results file
    qsizetype heldNul_ = 0;
    Origin firstHoldingNul_;
    qsizetype maxCount_ = -1;
    std::optional<Matcher> highlight_; // lines: finds the matches to highlight
    bool highlightWhole_ = false;      // between: the whole item is what was found
};

// grep's highlight of a match (GREP_COLORS' default "ms=01;31"), each side of it.
inline constexpr auto kMatchStart = "\x1b[01;31m\x1b[K";
inline constexpr auto kMatchEnd = "\x1b[m\x1b[K";

// What the command line says when its output takes no more: "cannot write to standard output: REASON", or
// "cannot write 'FILE': REASON" for a file.
Failure cannotWrite(const QString& file, const QString& reason);
inline Failure cannotWriteStandardOutput(const QString& reason) { return cannotWrite({}, reason); }

// --with-origin's place: "schema.table.column:row:", then "key=value,...:" where the table has a primary key.
QString placeBefore(const Origin& origin);

} // namespace rq::cli
