#pragma once

#include <QColor>
#include <QString>
#include <QStringView>
#include <optional>

class QWidget;

// The shared procedures that more than one window, or the database scan, call. They keep no state.
namespace rq {

class ResultsList;

inline constexpr auto kProductTitle = "Rowquarry";
inline constexpr int kAppTitleLimit = 40;

// The value, or the default when the value is Null (std::nullopt). Empty texts and zeros are values.
template <class T> T NullToDefault(const std::optional<T>& value, T defaultValue)
{
    return value ? *value : std::move(defaultValue);
}

// True when the path can be dated: it names a file or a folder. Never fails, never shows anything.
bool FileExists(const QString& path);

// When the skin file (program folder + "/x/o.cjs", a regular, visible file) lies beside the program:
// recolours the connection window and its plain controls to the button face, then applies the skin,
// a Qt style sheet. Without the file it does nothing.
void ApplySkin(QWidget& connectionWindow);

// Gives the window and its plain controls (check boxes, option buttons, frames, labels) the button-face
// colour of the palette, so they follow the user's colour scheme.
void ApplyFormColours(QWidget& window);

// The application title: the product title, cut at its last blank while longer than 40 characters.
QString appTitleFor(const QString& productTitle);
void SetAppTitle();

// Exact, case-sensitive; answered from the list's index without reading its items.
bool ListContains(const ResultsList& list, const QString& text);

// Gives a widget a solid background of the given palette colour.
void setBackground(QWidget& widget, const QColor& colour);

} // namespace rq
