#pragma once

#include <QString>

namespace rq {

inline constexpr auto kProductTitle = "Rowquarry";
inline constexpr int kAppTitleLimit = 40;

// The application title: the product title, cut at its last blank while longer than 40 characters.
QString appTitleFor(const QString& productTitle);
// Makes it the caption of every message box that names none of its own.
void SetAppTitle();

} // namespace rq
