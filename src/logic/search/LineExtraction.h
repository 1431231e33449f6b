#pragma once

#include "logic/search/Matcher.h"

#include <QStringView>
#include <functional>

namespace rq {

// Every piece of `text` (cut at carriage returns) in which `matcher` finds a match, unchanged and in order,
// to `line`; each piece the matcher cannot decide (a regular expression too complex for it) to `undecided`.
// Walks the text in place, in linear time, letting events run through `yield` between stretches.
void extractLines(QStringView text, const Matcher& matcher, const std::function<void(QStringView)>& line,
                  const std::function<void(QStringView)>& undecided, const std::function<bool()>& yield);

} // namespace rq
