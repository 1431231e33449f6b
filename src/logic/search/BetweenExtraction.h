#pragma once

#include <QStringView>
#include <functional>

namespace rq {

// Every stretch of `text` between an occurrence of the start marker and the next occurrence of the end
// marker after it, within one piece (pieces are cut at carriage returns), repeatedly: each occurrence
// of the start marker is used, and an end marker can also serve as (part of) the next start marker.
// Markers are plain text matched with letter case ignored, or with `sensitivity` as given; the stretches are
// cut from the unchanged text. Empty stretches are not passed on. Walks the text once, in place.
void extractBetween(QStringView text, QStringView startMarker, QStringView endMarker,
                    const std::function<void(QStringView)>& item, const std::function<bool()>& yield,
                    Qt::CaseSensitivity sensitivity = Qt::CaseInsensitive);

} // namespace rq
