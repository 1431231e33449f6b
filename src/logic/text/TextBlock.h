#pragma once

#include "logic/text/TextOrigins.h"
#include "logic/text/TrigramSet.h"

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <memory>
#include <mutex>
#include <optional>

namespace rq {

// A stretch of the database text made of whole rows of one table (it ends at a row's end, so no line crosses
// blocks), with where each of its fields came from, counted from the block's start. Written whole, then
// packed with LZ4 (on any thread) to keep a large database in memory; text that is all Latin-1, as most
// database text is, is packed one byte a character, which halves what LZ4 has to do both ways. Packing also
// notes the runs of three characters the text holds.
class TextBlock {
public:
    TextBlock(QString text, std::shared_ptr<const TextOrigins> origins);

    // Its length in UTF-16 units.
    qsizetype size() const { return size_; }
    const TextOrigins& origins() const { return *origins_; }
    std::shared_ptr<const TextOrigins> sharedOrigins() const { return origins_; }
    // The table its rows belong to.
    TableName table() const { return table_; }

    // Compresses the text and lets the plain text go. Safe beside read() on other threads.
    void pack();
    // The text, in `buffer` (the caller's own, reused from block to block): unpacked there, or shared with
    // the block while it is not packed yet.
    QStringView read(QString& buffer) const;
    // The text as Latin-1 bytes, unpacked into `bytes` (the caller's own, reused), where it was packed from
    // text all Latin-1; nothing where it is held otherwise (read() then).
    std::optional<QByteArrayView> readLatin1(QByteArray& bytes) const;
    // Whether `text` can occur in it, matched exactly or letter case ignored: known once it is packed (a search
    // then passes over a block that cannot hold what it looks for); until then, always.
    bool mayHold(QStringView text) const;
    // What it keeps in memory: its packed bytes and their runs of three, or its plain text until it is packed;
    // origins beside.
    qsizetype keptBytes() const;

private:
    mutable std::mutex mutex_;
    QString plain_;
    QByteArray packed_;
    bool narrow_ = false;                        // packed as Latin-1
    std::unique_ptr<const TrigramSet> trigrams_; // set with the packed bytes, never changed after
    qsizetype size_ = 0;
    std::shared_ptr<const TextOrigins> origins_;
    TableName table_;
};

using TextBlockPtr = std::shared_ptr<TextBlock>;

} // namespace rq
