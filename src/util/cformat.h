// printf-style formatting with C99 return semantics (the length the whole
// text needs, whatever fits). On Windows it uses the system C library's
// formatter rather than mingw's own, which is a large part of a small
// executable; the formats this program uses (%d %u %lu %s %c %02d %.*f)
// mean the same in both.
#pragma once

#include <cstdarg>
#include <cstddef>

int FormatV(char* buf, size_t size, const char* fmt, va_list ap);
