#pragma once

#include <QList>
#include <QString>
#include <QStringView>

namespace rq {

// A value as the value pane shows it: in display lines of at most kValueLineUnits units, so that a text view lays
// out only the lines in sight however long the value is. A line ends where the value breaks its line (CR, LF,
// CR LF, NEL, U+2028, U+2029), or at the limit (after a blank near it where there is one, never inside a surrogate
// pair). Every other unit shows as one unit: control characters as their pictures, broken surrogates as U+FFFD. So
// a place in a display line is a place in the value, and a selection copies the value's own text.
struct ShownValue {
    QString text;            // the display lines, each ended by a line feed but the last
    QList<qsizetype> starts; // where each display line starts in the value
    qsizetype valueSize = 0;

    // The place in the value of unit `offset` of display line `line`.
    qsizetype valuePosition(qsizetype line, qsizetype offset) const;
    // The display line that holds `position` of the value.
    qsizetype lineOf(qsizetype position) const;
};

inline constexpr qsizetype kValueLineUnits = 1024;

ShownValue shownValue(QStringView value);

} // namespace rq
