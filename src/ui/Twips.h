#pragma once

#include <QFont>
#include <QRect>

namespace rq {

// Layouts are given in twips (1440 to the inch): 15 twips make a pixel at 96 DPI, scaled by the
// screen's logical DPI.
int twips(int value);
QRect twipsRect(int left, int top, int width, int height);

// Arial bold (Liberation Sans where Arial is missing) at the given point size.
QFont boldArial(double points);

} // namespace rq
