// The process-wide download abort flag. A close request or the end of the
// stub window sets it; a running transfer reads it between reads.
#pragma once

void SetDownloadAbort(bool on);
bool IsDownloadAborted();
