// Entry points that the start-up dispatches to. Each belongs to the module
// named beside it; those not built yet live in pending_win.cpp, where each
// traces that it was chosen and returns.
#pragma once

#include <cstdint>
#include <string>

namespace stub {

// The stub window and its message loop; returns when the window ends.
void WinMain();
// The plain agent makes its X_ working copy and starts it.
void CreateAndRun_X_Exe();
// A spanned package started from its medium copies itself to the temp
// folder and starts the copy with /SpanCdLvl=2.
void CreateAndRun_Y_Exe();
// The X_ agent's per-user test mode check.
void CheckTestMode(bool atStart);
// Deletes the running executable (and its folder) after the process ends.
void DeleteMySelf(bool removeFolder);
// Sets this process's transient agent settings from a field list.
void SetTransientSettings(const std::string& list);
// The setup flow, started by the stub window's first timer tick of a setup
// stub (the timer is stopped first). `window` is the stub window.
void StartSetup(void* window);
// The agent's update cycle: one call per timer tick of an agent.
void AutoUpdateTimerTick(void* window);
// The agent's control codes (message 1125); 0 for codes it does not know.
intptr_t HandleAgentControl(uintptr_t code, intptr_t value);
// The agent's tick count (a negative count delays the first check).
void SetAutoUpdateTimerCount(int64_t count);
// The agent's quit countdown, set by message 1123.
void SetQuitCountdown(intptr_t ticks);
// Removes the setup folder if this run made one.
void RemoveSetupFolder();
// Posts a message to the windows of the process running `exePath`.
bool PostProcessMessage(const std::string& exePath, int mode, uint32_t msg, uintptr_t wParam, intptr_t lParam);

}  // namespace stub
