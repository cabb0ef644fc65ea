// Process-wide state of one start of the stub and its entry procedures.
#pragma once

#include <string>

#include "package/reader.h"

namespace stub {

// The reader of the running executable's own package; lives from the start
// of StubMain to its end. Other modules read it through this accessor.
const TGFileInfo& OwnPackage();
// The agent flag (the trailer's agent marker, read once at start-up).
bool IsAgentRun();
// The running executable's full path and file name.
const std::string& ExePath();
std::string ExeFileName();

// The exit code the process ends with: 0 unless a flow stores another.
void SetExitCode(unsigned code);
unsigned ExitCode();

// The whole life of the process; returns the stored exit code.
unsigned StubMain();
// The run-mode decision and its dispatch.
void DoRunStubWin();
// Forwards /STOP=, /WM_MSG=, /TEST= and /TRANSIENTx= to the running X_ copy.
bool HandleParamOK(bool xWasRunning);

}  // namespace stub
