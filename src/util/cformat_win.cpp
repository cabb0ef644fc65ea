#include "util/cformat.h"

#include <stdio.h>

int FormatV(char* buf, size_t size, const char* fmt, va_list ap) {
  va_list measure;
  va_copy(measure, ap);
  const int needed = _vscprintf(fmt, measure);
  va_end(measure);
  if (needed < 0 || size == 0) return needed;
  // _vsnprintf neither terminates a cut text nor reports its full length.
  _vsnprintf(buf, size, fmt, ap);
  buf[size_t(needed) < size ? size_t(needed) : size - 1] = '\0';
  return needed;
}
