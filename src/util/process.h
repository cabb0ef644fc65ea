// Process control: finding processes by executable, finding a process's main
// window, posting messages to it, closing, quitting or terminating a process,
// and waiting for a process or a window to go away.
//
// An executable is named by a path or a file name; names are compared
// trimmed and ignoring ASCII case, and surrounding double quotes are removed
// first. Window handles travel as uintptr_t so that this header stays
// portable. A missing process or window gives 0 or false; nothing is
// reported and nothing throws.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// ---- Portable pieces, tested on the host -------------------------------

// The file-name part of a path (after the last "\", "/" or ":").
std::string ProcessFileName(const std::string& path);
// Whether two executable names are the same: trimmed, ignoring ASCII case.
bool SameExeName(const std::string& a, const std::string& b);

// What the system's task list printed as CSV ("/FO csv"): the id of the
// first line whose image name equals the file name of exe and whose id is
// above 0, and how many lines carried an image name and an id at all (0 when
// the tool printed nothing usable). Quoted fields may hold commas.
struct TaskListMatch {
  uint32_t processId = 0;
  int rows = 0;
};
TaskListMatch FindInTaskList(const std::string& csv, const std::string& exe);

// A process table is a field list of name=pid entries. The id of the last
// entry whose name equals exe, or, with shortForm, whose short (8.3) form
// equals the short form of exe (shortForm gives "" when a name has none, and
// "" never matches); 0 when none. The id is read after the last "=", so a
// name may hold "=".
uint32_t FindIdInProcessTable(const std::string& table, const std::string& exe,
                              const std::function<std::string(const std::string&)>& shortForm = nullptr);

// What one top-level window enumeration collects. Entry i of every column
// describes the same window. The filters steer the enumeration (see
// AddProcessWindow).
struct ProcessWindow {
  uint32_t processId = 0;
  std::string exeName;
  std::string className;
  uintptr_t handle = 0;
  uint32_t threadId = 0;
  std::string title;
  bool visible = false;
};
struct TProcessData {
  bool all = false;
  std::string nameFilter;
  int64_t idFilter = -1;
  std::vector<ProcessWindow> windows;

  // The columns as field lists ("|" when empty): process ids, executable
  // names, class names, window handles, thread ids, titles, visibility
  // flags ("1" visible, "0" hidden).
  std::string ProcessIds() const;
  std::string ExeNames() const;
  std::string ClassNames() const;
  std::string Handles() const;
  std::string ThreadIds() const;
  std::string Titles() const;
  std::string VisibleFlags() const;
  // name=pid for every collected window.
  std::string ProcessTable() const;
};
// Resets data for a new enumeration.
void ResetProcessData(TProcessData& data, bool all, const std::string& nameFilter, int64_t idFilter);
// Takes one enumerated window: kept when the all flag is set or its
// executable name is not collected yet (trimmed, ignoring case). Returns
// false when the enumeration should stop after this window: the all flag is
// clear and the name equals the name filter exactly, or the id equals the
// id filter.
bool AddProcessWindow(TProcessData& data, ProcessWindow window);

// Whether a top-level window of this class is one the system makes for every
// thread with windows (the input-method windows "IME" and "MSCTFIME UI").
// Such a window is never a program's main window; Windows makes it owned by
// the program's window, Wine leaves it unowned with the title "Default IME",
// where it would outscore a hidden untitled main window.
bool IsInputMethodWindowClass(const std::string& className);

// Picks the main window among the top-level windows of one process.
// Every collected window that is the top-most owner of collected windows
// (a window without owner is its own) gains a point for each of them; the
// points are multiplied by 4; a title adds 2, visibility 1. The highest score
// wins, the one collected first on a tie; a score of 0 never wins. Every
// window of the process is kept (there is no fixed room), and scores do not
// wrap.
class TAnalizer {
 public:
  struct Window {
    uintptr_t handle = 0;
    uintptr_t topOwner = 0;  // the last window of its owner chain, itself without owner
    bool titled = false;
    bool visible = false;
  };

  explicit TAnalizer(uint32_t processId) : processId_(processId) {}
  uint32_t ProcessId() const { return processId_; }
  void Add(const Window& window) { windows_.push_back(window); }
  size_t Count() const { return windows_.size(); }
  // The score of every collected window, in collection order.
  std::vector<uint32_t> Scores() const;
  // The winner's handle; 0 when there is none.
  uintptr_t MainWindow() const;

 private:
  uint32_t processId_;
  std::vector<Window> windows_;
};

// ---- Windows (process_win.cpp) -------------------------------------------

// The id of a process running exe, 0 when none; used to find a main window.
// Windows 8 and later: the system's task list by image name (the process-
// status walk when the task list prints nothing, or when fullPathOnly asks
// for a full-path match, which the task list cannot give). Other NT: the
// process-status walk, last listed process first. 9x: the tool-help
// snapshot, last match in snapshot order.
uint32_t FindProcessId(const std::string& exe, bool fullPathOnly);
// The three ways FindProcessId can take, each usable on its own.
uint32_t FindProcessIdByTaskList(const std::string& exe, int* rows = nullptr);
uint32_t FindProcessIdByStatus(const std::string& exe, bool fullPathOnly);
uint32_t FindProcessIdBySnapshot(const std::string& exe, bool fullPathOnly);

// name=pid entries of running processes. With fullPath (on every system) and
// on XP: every process the system lists, by full path (fullPath) or file name;
// id 0 is "System Idle Process". Otherwise one entry per top-level window, by
// file name, so a process without a top-level window is missing.
std::string GetProcessTable(bool fullPath);
// The id from GetProcessTable(fullPath) of exe (reduced to its file name
// unless fullPath is set); the entry listed last wins. 0 when none.
uint32_t FindProcessIdInTable(const std::string& exe, bool fullPath);
// Whether a process runs exe (on NT through the window-based table, so a
// process without a top-level window is not seen on Vista and later).
bool IsProcessRunning(const std::string& exe);

// The main window of the process running exe (TAnalizer); 0 when none.
uintptr_t FindMainWindow(const std::string& exe, bool fullPathOnly);
// Posts msg to the main window; whether a window was found.
bool PostProcessMessage(const std::string& exe, bool fullPathOnly, uint32_t msg, uintptr_t wParam, intptr_t lParam);
// Posts WM_CLOSE (15, 255); when waitMs is above 0, then waits up to waitMs
// for the process to end. Whether a window was found.
bool CloseProcess(const std::string& exe, bool fullPathOnly, uint32_t waitMs);
// Posts WM_QUIT (15, 255); whether a window was found.
bool PostQuitToProcess(const std::string& exe, bool fullPathOnly);
// Terminates the process running exe (found by full path with fullPath)
// with exit code 0; whether the termination succeeded.
bool KillProcess(const std::string& exe, bool fullPath);
// Returns when no process runs exe or waitMs (0: 1,000) have passed,
// testing every 100 ms while serving the thread's messages.
void WaitProcessEnd(const std::string& exe, uint32_t waitMs);
// Returns when no top-level window of that class and title exists (an empty
// class or title matches any), serving messages and sleeping 100 ms between
// looks. There is no time limit.
void WaitWindowGone(const std::string& className, const std::string& title);
// Fills data by enumerating the top-level windows (see AddProcessWindow).
void GetProcessWindows(TProcessData& data, bool all, const std::string& nameFilter, int64_t idFilter);
// The executable file name of the window's process; "" when unknown.
std::string GetProcessNameOfWindow(uintptr_t window);
