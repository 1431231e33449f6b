#include "LargeAllocations.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace rq::platform {

void mapLargeAllocationsApart()
{
#ifdef __GLIBC__
    // glibc maps buffers from 128 KB apart, but raises that threshold to the size of each such buffer freed
    // (up to 32 MB): after the first block, every block would come from the heap. A fixed threshold stays.
    mallopt(M_MMAP_THRESHOLD, 512 * 1024);
#endif
}

} // namespace rq::platform
