#pragma once

#include "logic/search/Latin1Finder.h"

#include <QByteArrayView>
#include <bitset>
#include <optional>
#include <utility>
#include <vector>

namespace rq {

// What a stretch of Latin-1 text must hold for a search to find anything in it, asked before the stretch is
// widened to UTF-16 and searched: the plain search text or start marker itself, or a character a regular
// expression's match can begin with. A stretch without it holds no item; one with it is searched as any text, so
// the screen decides nothing but what need not be searched.
class Latin1Screen {
public:
    // Every stretch is searched.
    Latin1Screen() = default;
    // Stretches that hold this text.
    Latin1Screen(QStringView text, Qt::CaseSensitivity sensitivity) : literal_(std::in_place, text, sensitivity) {}
    // Stretches that hold one of these characters.
    explicit Latin1Screen(const std::bitset<256>& characters);

    bool passes(QByteArrayView stretch) const;

private:
    bool holdsOneOf(QByteArrayView stretch) const;

    std::optional<Latin1Finder> literal_;
    bool screensCharacters_ = false;
    std::bitset<256> characters_;
    std::vector<std::pair<uchar, uchar>> ranges_; // the characters as ranges, first and last
};

} // namespace rq
