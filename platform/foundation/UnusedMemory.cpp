#include "foundation/UnusedMemory.h"

#include <cstdlib>  // tells whether the C library is glibc

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace UnusedMemory {

void giveBack() {
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
}

void configureForLongRunningProcess() {
#if defined(__GLIBC__)
  mallopt(M_ARENA_MAX, 4);
  mallopt(M_MMAP_THRESHOLD, 128 * 1024);
#endif
}

}  // namespace UnusedMemory
