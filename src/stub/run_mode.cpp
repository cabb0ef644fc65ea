#include "stub/run_mode.h"

#include "util/text.h"

namespace runmode {

namespace {

std::string CutAtFirstDot(const std::string& name) { return name.substr(0, name.find('.')); }

}  // namespace

std::string InstanceClassName(bool agentFlag, const std::string& exeFullPath) {
  if (agentFlag) return ".AutoUpdate." + CutAtFirstDot(ExtractFileName(exeFullPath));
  return exeFullPath;
}

bool IsPlainAgent(bool agentFlag, const std::string& exeFileName, const std::string& agentName) {
  return agentFlag && SameTextTrim(exeFileName, agentName);
}

bool IsXAgent(bool agentFlag, const std::string& exeFileName, const std::string& agentName) {
  return agentFlag && SameTextTrim(exeFileName, "X_" + Trim(agentName));
}

std::string XAgentClassName(const std::string& agentName) {
  return ".AutoUpdate.X_" + CutAtFirstDot(agentName);
}

Branch Decide(const Facts& f) {
  if (f.instanceRunning) return Branch::AlreadyRunning;
  if (f.plainAgent) return Branch::PlainAgent;
  if (f.xAgent) return Branch::XAgent;
  if (f.relaunchFromTempCopy && f.spanCdLevel == 1) return Branch::SpannedStart;
  return Branch::Setup;
}

const char* BranchName(Branch b) {
  switch (b) {
    case Branch::AlreadyRunning: return "AlreadyRunning";
    case Branch::PlainAgent: return "PlainAgent";
    case Branch::XAgent: return "XAgent";
    case Branch::SpannedStart: return "SpannedStart";
    case Branch::Setup: return "Setup";
  }
  return "?";
}

}  // namespace runmode
