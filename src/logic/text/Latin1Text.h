#pragma once

#include <QtGlobal>

namespace rq {

// Text all of whose units are below 256, one byte a character: how most database text can be kept and
// searched at half the size.
void narrowToLatin1(const char16_t* from, char* into, qsizetype count);
void widenLatin1(const char* from, char16_t* into, qsizetype count);

} // namespace rq
