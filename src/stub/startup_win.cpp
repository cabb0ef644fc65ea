// Start-up: the whole life of one process, the run-mode decision, and the
// forwarding of command-line commands to a running X_ agent.
#include <windows.h>

#include <memory>

#include "package/lang.h"
#include "stub/entry_points.h"
#include "stub/run_mode.h"
#include "stub/stub.h"
#include "stub/window.h"
#include "util/debug.h"
#include "util/sub.h"
#include "util/switches.h"
#include "util/sysinfo.h"
#include "util/text.h"
#include "util/trace.h"

namespace stub {

namespace {

std::unique_ptr<TGFileInfo> g_own;
bool g_agentFlag = false;
unsigned g_exitCode = 0;
std::string g_exePath;

bool TopLevelWindowExists(const std::string& className) {
  return !className.empty() && FindWindowA(className.c_str(), nullptr) != nullptr;
}

bool ThisIsPlainAutoUpdateExe() { return runmode::IsPlainAgent(g_agentFlag, ExeFileName(), OwnPackage().AgentFileName()); }
bool ThisIsXAutoUpdateExe() { return runmode::IsXAgent(g_agentFlag, ExeFileName(), OwnPackage().AgentFileName()); }
bool XExeIsRunning() { return TopLevelWindowExists(runmode::XAgentClassName(OwnPackage().AgentFileName())); }

}  // namespace

const TGFileInfo& OwnPackage() {
  static const TGFileInfo empty;
  return g_own ? *g_own : empty;
}
bool IsAgentRun() { return g_agentFlag; }
const std::string& ExePath() { return g_exePath; }
std::string ExeFileName() { return ExtractFileName(g_exePath); }
void SetExitCode(unsigned code) { g_exitCode = code; }
unsigned ExitCode() { return g_exitCode; }

unsigned StubMain() {
  // Before anything can load a DLL: only the system folder is searched.
  RestrictDllSearchPath();
  // The rich-text control and the shell load these by name later; loading
  // them now, from the system folder, is what makes those later loads safe.
  PreloadStartupLibraries();
  g_exePath = GetExePath(false);
  const char* rawLine = GetCommandLineA();
  const std::string commandLine = rawLine ? rawLine : "";
  SetCommandLineSource(commandLine, g_exePath);
  lang::SetUserLanguageNumber(int(GetThreadLocale() & 0x3FF));

  DebugPidLine(" ==== STUB START ====> " + commandLine + "<");

  g_own.reset(new TGFileInfo(g_exePath));
  g_agentFlag = g_own->IsAgent();
  SetTraceEnabled(g_agentFlag && g_own->AgentTraceOn());
  if (ThisIsXAutoUpdateExe()) SetTracePrefix(" X ");

  TraceLog("");
  TraceLog("");
  TraceLog("=== START === " + g_exePath);
  TraceLog("CommandLine=" + commandLine);
  TraceLog("Agent Version=" + GetExeVersion(""));
  DebugPidLine(std::string(" ==== ThisIs_AutoUpdateProg=") + BoolText(g_agentFlag));

  DoRunStubWin();

  g_own.reset();
  DebugPidLine(" ==== STUB END ====> " + commandLine + "<");
  DebugLine("");
  TraceLog("=== EXIT === " + g_exePath);
  TraceLog("");
  return g_exitCode;
}

void DoRunStubWin() {
  TraceLog("DoRunStubWin() --- Start");
  const std::string instanceClass = runmode::InstanceClassName(g_agentFlag, g_exePath);
  SetInstanceClassName(instanceClass);
  const bool xWasRunning = XExeIsRunning();
  TraceLog(std::string("X_ExeIsRunning=") + BoolText(XExeIsRunning()));
  TraceLog(std::string("ThisIs_Plain_AutoUpdate_Exe=") + BoolText(ThisIsPlainAutoUpdateExe()));
  TraceLog(std::string("ThisIs_X_AutoUpdate_Exe=") + BoolText(ThisIsXAutoUpdateExe()));

  runmode::Facts facts;
  facts.instanceRunning = TopLevelWindowExists(instanceClass);
  facts.plainAgent = ThisIsPlainAutoUpdateExe();
  facts.xAgent = ThisIsXAutoUpdateExe();
  facts.relaunchFromTempCopy = OwnPackage().RelaunchFromTempCopy();
  facts.spanCdLevel = GetParamInt("/SpanCdLvl=", 1);
  const runmode::Branch branch = runmode::Decide(facts);
  DebugPidLine(std::string(" ==== RunMode=") + runmode::BranchName(branch) + " InstanceClass=" + instanceClass);

  switch (branch) {
    case runmode::Branch::AlreadyRunning:
      break;
    case runmode::Branch::PlainAgent:
      CreateAndRun_X_Exe();
      break;
    case runmode::Branch::XAgent:
      TraceLog("CheckTestMode");
      CheckTestMode(true);
      TraceLog("WinMain");
      WinMain();
      TraceLog("DeleteMySelf");
      DeleteMySelf(false);
      break;
    case runmode::Branch::SpannedStart:
      CreateAndRun_Y_Exe();
      break;
    case runmode::Branch::Setup:
      WinMain();
      if (GetParamInt("/SpanCdLvl=", 1) == 2) DeleteMySelf(true);
      break;
  }

  if (ThisIsPlainAutoUpdateExe()) HandleParamOK(xWasRunning);
  TraceLog("DoRunStubWin() --- End");
}

bool HandleParamOK(bool xWasRunning) {
  TraceLog("HandleParamOK() --- Start");
  bool posted = false;
  const std::string xPath = GetExeDir(true) + "X_" + ExeFileName();
  const bool xExists = GetFileAttributesA(xPath.c_str()) != INVALID_FILE_ATTRIBUTES;

  const int64_t stop = GetParamInt("/STOP=", -1);
  if (stop >= 0 && xExists) {
    TraceLog("PostProcessMessage(wm_ShutDown) to: " + xPath);
    posted |= PostProcessMessage(xPath, 1, kWmShutDown, uintptr_t(stop), 0);
  }

  const std::string wmMsg = GetParamStr("/WM_MSG=", "");
  if (!wmMsg.empty() && xExists) {
    const std::string list = ":" + wmMsg + ":";
    const int64_t a = SUB::ItemInt(list, 0, 0), b = SUB::ItemInt(list, 1, 0);
    TraceLog("PostProcessMessage(wm_LocalMsg) to: " + xPath + " - " + list);
    posted |= PostProcessMessage(xPath, 1, kWmLocalMsg, uintptr_t(a), intptr_t(b));
  }

  const int64_t test = GetParamInt("/TEST=", -1);
  if (test >= 0 && xExists) {
    TraceLog("PostProcessMessage(wm_AgentMsg) to: " + xPath + " - AU_PerformUpdateCycle (" + IntToStr(test) + ")");
    posted |= PostProcessMessage(xPath, 1, kWmAgentMsg, 31, intptr_t(test));
    if (!xWasRunning && test > 0) posted |= PostProcessMessage(xPath, 1, kWmShutDown, 2, 0);
  }

  const std::string transient = GetParamStr("/TRANSIENTx=", "");
  if (!transient.empty()) SetTransientSettings(transient);
  TraceLog("HandleParamOK() --- End");
  return posted;
}

}  // namespace stub
