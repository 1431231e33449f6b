#pragma once

#include <QColor>

class QWidget;

// How the two windows look: the button-face colours and the optional skin.
namespace rq {

// When the skin file (program folder + "/x/o.cjs", a regular, visible file) lies beside the program:
// recolours the connection window and its plain controls to the button face, then applies the skin,
// a Qt style sheet. Without the file it does nothing.
void ApplySkin(QWidget& connectionWindow);

// Gives the window and its plain controls (check boxes, option buttons, frames, labels) the button-face
// colour of the palette, so they follow the user's colour scheme.
void ApplyFormColours(QWidget& window);

// Gives a widget a solid background of the given palette colour.
void setBackground(QWidget& widget, const QColor& colour);

} // namespace rq
