// The host build's side of the system-information unit: texts there are in
// a single-byte code page, so no byte starts a double-byte character.
#include "util/sysinfo.h"

bool IsAnsiLeadByte(unsigned char) { return false; }
