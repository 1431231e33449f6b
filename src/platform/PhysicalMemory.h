#pragma once

#include <QtGlobal>

namespace rq::platform {

// The machine's physical memory in bytes, or 0 where it cannot be told.
qint64 physicalMemory();

} // namespace rq::platform
