// Bytes the process holds allocated right now, for tests that look for growth.
// Under AddressSanitizer this is its allocator's count, which leaves out the
// freed memory it keeps in quarantine; the resident set would mostly show that.
#pragma once

#include <QtGlobal>

#ifdef __SANITIZE_ADDRESS__
#include <cstddef>

// The sanitizer's runtime has it; GCC ships no header that declares it.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();

inline qint64 heapInUse()
{
    return qint64(__sanitizer_get_current_allocated_bytes());
}
#else
#include <malloc.h>

inline qint64 heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return qint64(info.uordblks + info.hblkhd);
}
#endif
