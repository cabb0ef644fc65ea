// The stub window: a hidden top-level window with a status text, a main
// progress bar and a small activity bar, whose one-second timer drives the
// setup flow (first tick) or the agent's update cycle (every tick), and the
// only message loop of the process.
#pragma once

#include <cstdint>
#include <string>

namespace stub {

// Private messages other programs send to a running agent.
constexpr unsigned kWmShutDown = 1123;
constexpr unsigned kWmLocalMsg = 1124;
constexpr unsigned kWmAgentMsg = 1125;

// The window class the stub window registers (set by the start-up).
void SetInstanceClassName(const std::string& name);

// The stub window's handle; null while there is none.
void* StubWindow();
// Whether the message loop has been told to end.
bool QuitRequested();

// Restyles and fills the status text (right-aligned for charsets 177/178).
void SetStatusText(const std::string& text, const std::string& fontName, int charset, int fontSize);
// The progress routine: kind 0 resets the main bar to 0..high with the given
// step and position (and the activity bar to 0..5); kind 1 steps both.
void StubProgress(int kind, int low, int high, const std::string& text, int step, int position);
// Posts the controller's message to the controller window, once one has
// registered itself with message 1124.
void NotifyOwner(uintptr_t wParam, intptr_t lParam);
// A close request: the first one only aborts a running download.
bool CloseMainWindow();
// The window's end: abort downloads, remove this run's setup folder, end
// the message loop.
void DestroyMainWindow();

}  // namespace stub
