#pragma once

#include <QString>
#include <QStringView>
#include <functional>

namespace rq {

struct LineSearch {
    // The search text, asked again each time pending events have run (the user may have edited it).
    std::function<QString()> searchText;
    // Receives each matching line (a piece of the text between carriage returns), unchanged, in order.
    std::function<void(QStringView)> line;
    // Lets pending events run; true when they did.
    std::function<bool()> yield;
};

// Every piece of `text` (cut at carriage returns) that contains the search text, letter case ignored.
// Walks the text in place, in linear time; a search text that is empty, or holds a carriage return,
// matches no piece.
void extractLines(QStringView text, const LineSearch& search);

} // namespace rq
