#pragma once

#include "logic/scan/ScanBatch.h"
#include "logic/text/TextBlock.h"

#include <functional>

namespace rq {

// How much text a block holds before it ends at the next row's end: 1 Mi units, 2 MB of UTF-16. Larger
// blocks pack no smaller (LZ4 looks back 64 KB) and cost more memory while they are written.
constexpr qsizetype kTextBlockUnits = qsizetype(1) << 20;

// Appends a scan's batches, in order, to blocks of text with the origins beside them. A block holds the rows
// of one table: it ends at the end of the row that brings it to `blockUnits` or more, and where its table
// ends. Its origins begin with its table, counting its rows on from those in earlier blocks. The window keeps
// the blocks; the command line seals one after every batch, searches it and lets it go.
class ScanText {
public:
    using Sealed = std::function<void(TextBlockPtr)>;
    explicit ScanText(qsizetype blockUnits = kTextBlockUnits) : blockUnits_(std::max<qsizetype>(blockUnits, 1)) {}

    void append(ScanBatch& batch, const Sealed& sealed);
    // The block being written goes to `sealed` now, where it holds any text.
    void seal(const Sealed& sealed);
    // The rows appended so far, sealed or not.
    qint64 rows() const { return rows_; }

private:
    void begin();

    qsizetype blockUnits_;
    std::optional<TableStart> table_;
    qint64 rowsInTable_ = 0;
    qint64 rows_ = 0;
    QString text_;
    std::shared_ptr<TextOrigins> origins_;
};

// Appends a scan's batches to one text and the origins beside it, in order: the whole text as a single string,
// as the benchmarks compare the blocks with.
class WholeScanText {
public:
    void append(ScanBatch& batch, QString& text, TextOrigins& origins);

private:
    std::optional<TableStart> table_;
};

} // namespace rq
