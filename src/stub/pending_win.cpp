// Entry points whose modules are not built yet. Each one writes a
// debug-channel line saying it was chosen, so a run shows which branch it
// took; the two timer-tick handlers then end the run by closing the window.
#include <windows.h>

#include "env/files.h"
#include "stub/entry_points.h"
#include "stub/stub.h"
#include "util/debug.h"
#include "util/process.h"
#include "util/text.h"
#include "util/trace.h"

namespace stub {

namespace {

void Pending(const char* what) {
  DebugPidLine(Format(" ==== %s --- chosen; not available in this build", what));
  TraceLog(Format("%s --- not available in this build", what));
}

// What the own package holds, so a run that stops here still shows it.
void DescribeOwnPackage() {
  const TGFileInfo& p = OwnPackage();
  const pkg::Trailer& t = p.Trailer();
  if (!p.HasPackage()) {
    DebugPidLine(" ==== Package: none (" + p.Damage() + ")");
    return;
  }
  DebugPidLine(Format(" ==== Package: start=%u records=%u headerBlocks=%u options=0x%02X checksum=%u space0=%u",
                      t.packageStart, t.recordCount, t.headerBlocks, t.options, t.checksum, t.space[0]));
  DebugPidLine(" ==== Package: title=\"" + p.Text("s0", "Ondrix Installation Suite") + "\" agent=\"" +
               p.AgentFileName() + "\" updateUrl=\"" + p.UpdateUrl() + "\" webStub=" + BoolText(p.IsWebStub()) +
               " installsAgent=" + BoolText(p.InstallsAgent()) + " isAgent=" + BoolText(p.IsAgent()));
  if (!p.Damage().empty()) DebugPidLine(" ==== Package: damaged: " + p.Damage());
}

}  // namespace

void StartSetup(void* window) {
  DescribeOwnPackage();
  Pending("StartSetup()");
  DestroyWindow(static_cast<HWND>(window));
}

void AutoUpdateTimerTick(void* window) {
  DescribeOwnPackage();
  Pending("AutoUpdateTimerTick()");
  DestroyWindow(static_cast<HWND>(window));
}

intptr_t HandleAgentControl(uintptr_t, intptr_t) { return 0; }
void SetQuitCountdown(intptr_t) {}
void SetAutoUpdateTimerCount(int64_t) {}
void RemoveSetupFolder() {}

void CreateAndRun_X_Exe() { Pending("CreateAndRun_X_Exe()"); }
void CreateAndRun_Y_Exe() { Pending("CreateAndRun_Y_Exe()"); }
void CheckTestMode(bool) { Pending("CheckTestMode()"); }
void DeleteMySelf(bool removeFolder) { ::DeleteMySelf(removeFolder); }
void SetTransientSettings(const std::string&) { Pending("SetTransientSettings()"); }

bool PostProcessMessage(const std::string& exePath, int mode, uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  return ::PostProcessMessage(exePath, mode != 0, msg, wParam, lParam);
}

}  // namespace stub
