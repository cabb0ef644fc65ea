// The run-mode decision of one start, over facts gathered from the system:
// which role this executable plays and which branch of the start-up runs.
#pragma once

#include <string>

namespace runmode {

// The window class name a role registers and by which a second start finds
// the first: ".AutoUpdate." + the file name cut at its first dot for an
// agent, otherwise the executable's full path.
std::string InstanceClassName(bool agentFlag, const std::string& exeFullPath);

// The running file is the plain agent / the agent's X_ copy (both trimmed,
// compared ignoring case); always false without the agent flag.
bool IsPlainAgent(bool agentFlag, const std::string& exeFileName, const std::string& agentName);
bool IsXAgent(bool agentFlag, const std::string& exeFileName, const std::string& agentName);

// The class name of a running X_ copy of the agent: ".AutoUpdate.X_" + the
// agent name cut at its first dot.
std::string XAgentClassName(const std::string& agentName);

enum class Branch {
  AlreadyRunning,  // a window of the instance class exists: do nothing more
  PlainAgent,      // make and start the X_ copy
  XAgent,          // test mode check, the agent window, then self-delete
  SpannedStart,    // a spanned package started from its medium: copy to temp
  Setup,           // the stub window (and, as a spanned temp copy, self-delete)
};

struct Facts {
  bool instanceRunning = false;
  bool plainAgent = false;
  bool xAgent = false;
  bool relaunchFromTempCopy = false;
  long long spanCdLevel = 1;  // /SpanCdLvl=, default 1
};

Branch Decide(const Facts& f);
const char* BranchName(Branch b);

}  // namespace runmode
