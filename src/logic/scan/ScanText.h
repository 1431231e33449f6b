#pragma once

#include "logic/scan/ScanBatch.h"
#include "logic/text/TextOrigins.h"

namespace rq {

// Appends a scan's batches to a text and the origins beside it, in order. The window keeps one text for
// the whole scan; the command line starts a new one for every batch, whose origins then begin with the
// table the batch continues, counting its rows on from those before.
class ScanText {
public:
    void append(ScanBatch& batch, QString& text, TextOrigins& origins);

private:
    std::optional<TableStart> table_;
    qint64 rowsInTable_ = 0;
};

} // namespace rq
