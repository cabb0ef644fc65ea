#include "util/cformat.h"

#include <cstdio>

int FormatV(char* buf, size_t size, const char* fmt, va_list ap) { return std::vsnprintf(buf, size, fmt, ap); }
