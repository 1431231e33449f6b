#pragma once

#include <QString>

// Numbers as the program writes them for the user, in English whatever the system's language.
namespace rq {

// "1,204,331"
QString countText(qint64 n);
// "1 row", "1,204 rows"
QString plural(qint64 n, const char* one, const char* many);
// "210 MB", "1.5 MB", "12 KB": a text's size as the program holds it, two bytes a unit.
QString sizeText(qint64 units);
// "3.2 s", "14 s"
QString secondsText(qint64 milliseconds);

} // namespace rq
