#include "net/abort.h"

namespace {
bool g_abort = false;
}

void SetDownloadAbort(bool on) { g_abort = on; }
bool IsDownloadAborted() { return g_abort; }
