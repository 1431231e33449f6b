#pragma once

namespace rq::platform {

// Buffers of half a megabyte or more get memory of their own from the system, returned to it when freed. The
// window keeps its text in packed blocks written 2 MB at a time: once freed they must not leave holes that
// the packed blocks kept between them stop the process from ever giving back. Call once, at start.
void mapLargeAllocationsApart();

} // namespace rq::platform
