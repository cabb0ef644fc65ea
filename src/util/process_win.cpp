// Process control over the process-status library, the tool-help snapshot,
// the system's task list and the top-level window list.
#include <windows.h>
#include <tlhelp32.h>

#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "util/handle_win.h"
#include "util/pipe.h"
#include "util/process.h"
#include "util/sub.h"
#include "util/sysinfo.h"
#include "util/text.h"
#include "util/wait.h"

namespace {

// ------------------------------------------------------------------ helpers

// The short (8.3) form of an existing path; "" when it has none.
std::string ShortForm(const std::string& path) {
  if (path.empty()) return std::string();
  char buf[MAX_PATH + 1];
  const DWORD n = GetShortPathNameA(path.c_str(), buf, sizeof buf);
  return n > 0 && n < sizeof buf ? std::string(buf, n) : std::string();
}

std::string Clean(const std::string& exe) { return Unquote(exe); }

// --- process-status library

using EnumProcessesFn = BOOL(WINAPI*)(DWORD*, DWORD, DWORD*);
using EnumProcessModulesFn = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, DWORD*);
using GetModuleNameFn = DWORD(WINAPI*)(HANDLE, HMODULE, LPSTR, DWORD);
using QueryFullProcessImageNameAFn = BOOL(WINAPI*)(HANDLE, DWORD, LPSTR, PDWORD);

constexpr DWORD kQueryLimited = 0x1000;  // PROCESS_QUERY_LIMITED_INFORMATION, Vista and later

struct Status {
  EnumProcessesFn enumProcesses;
  EnumProcessModulesFn enumModules;
  GetModuleNameFn fileNameEx;
  QueryFullProcessImageNameAFn queryFullName;
};

const Status& StatusFunctions() {
  static const Status s = {
      reinterpret_cast<EnumProcessesFn>(LoadProc("psapi.dll", "EnumProcesses")),
      reinterpret_cast<EnumProcessModulesFn>(LoadProc("psapi.dll", "EnumProcessModules")),
      reinterpret_cast<GetModuleNameFn>(LoadProc("psapi.dll", "GetModuleFileNameExA")),
      reinterpret_cast<QueryFullProcessImageNameAFn>(LoadProc("kernel32.dll", "QueryFullProcessImageNameA")),
  };
  return s;
}

// The ids of the running processes in the system's order.
std::vector<DWORD> ProcessIds() {
  std::vector<DWORD> ids;
  const Status& s = StatusFunctions();
  if (!s.enumProcesses) return ids;
  for (DWORD bytes = 1024;; bytes += 1024) {
    ids.assign(bytes / sizeof(DWORD), 0);
    DWORD filled = 0;
    if (!s.enumProcesses(ids.data(), bytes, &filled)) return std::vector<DWORD>();
    if (filled < bytes) {
      ids.resize(filled / sizeof(DWORD));
      return ids;
    }
  }
}

// The full path of the process's executable; "" when the process cannot be
// opened. The limited query sees 64-bit processes too; the module walk is
// for systems before Vista.
std::string ProcessImagePath(DWORD id) {
  const Status& s = StatusFunctions();
  if (s.queryFullName) {
    UniqueHandle process(OpenProcess(kQueryLimited, FALSE, id));
    char buf[MAX_PATH * 4];
    DWORD size = sizeof buf;
    if (process && s.queryFullName(process.get(), 0, buf, &size) && size > 0) return std::string(buf, size);
  }
  if (!s.enumModules || !s.fileNameEx) return std::string();
  UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id));
  HMODULE first = nullptr;
  DWORD needed = 0;
  if (!process || !s.enumModules(process.get(), &first, sizeof first, &needed) || !first) return std::string();
  char buf[MAX_PATH + 1];
  const DWORD n = s.fileNameEx(process.get(), first, buf, MAX_PATH);
  return n > 0 ? std::string(buf, n) : std::string();
}

// --- tool-help snapshot

static_assert(sizeof(PROCESSENTRY32) == 296, "the ANSI process entry");

using CreateSnapshotFn = HANDLE(WINAPI*)(DWORD, DWORD);
using Process32Fn = BOOL(WINAPI*)(HANDLE, PROCESSENTRY32*);

// (id, executable) of every process in snapshot order: a full path on 9x,
// the file name on NT.
std::vector<std::pair<DWORD, std::string>> SnapshotProcesses() {
  static const auto create = reinterpret_cast<CreateSnapshotFn>(LoadProc("kernel32.dll", "CreateToolhelp32Snapshot"));
  static const auto first = reinterpret_cast<Process32Fn>(LoadProc("kernel32.dll", "Process32First"));
  static const auto next = reinterpret_cast<Process32Fn>(LoadProc("kernel32.dll", "Process32Next"));
  std::vector<std::pair<DWORD, std::string>> result;
  if (!create || !first || !next) return result;
  UniqueHandle snapshot(NullIfInvalid(create(TH32CS_SNAPPROCESS, 0)));
  if (!snapshot) return result;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL ok = first(snapshot.get(), &entry); ok; ok = next(snapshot.get(), &entry))
    result.emplace_back(entry.th32ProcessID, std::string(entry.szExeFile));
  return result;
}

std::unordered_map<DWORD, std::string> SnapshotNames() {
  std::unordered_map<DWORD, std::string> names;
  for (auto& p : SnapshotProcesses()) names.emplace(p.first, ProcessFileName(p.second));
  return names;
}

// --- matching

// Compares a process's executable with the wanted one: by full path, by
// file name (unless fullPathOnly), or by short forms. An executable without
// a short form never matches by short form.
struct ExeMatcher {
  std::string exe;
  std::string shortExe;
  bool fullPathOnly;

  ExeMatcher(const std::string& e, bool fullOnly) : exe(Clean(e)), shortExe(ShortForm(exe)), fullPathOnly(fullOnly) {}

  bool Matches(const std::string& path, const std::string& name) const {
    if (path.empty()) return false;
    if (SameExeName(exe, path)) return true;
    if (!fullPathOnly && SameExeName(exe, name)) return true;
    return !shortExe.empty() && SameText(shortExe, ShortForm(path));
  }
};

HWND ToWindow(uintptr_t w) { return reinterpret_cast<HWND>(w); }
uintptr_t FromWindow(HWND w) { return reinterpret_cast<uintptr_t>(w); }

std::string TextOfWindow(HWND window, std::vector<char>& buf, bool title) {
  const int n = title ? GetWindowTextA(window, buf.data(), int(buf.size()))
                      : GetClassNameA(window, buf.data(), int(buf.size()));
  return n > 0 ? std::string(buf.data(), size_t(n)) : std::string();
}

// EnumWindows callback of FindMainWindow: collects the windows of one
// process, leaving out the input-method windows the system adds.
BOOL CALLBACK CollectProcessWindow(HWND window, LPARAM param) {
  auto* a = reinterpret_cast<TAnalizer*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != a->ProcessId()) return TRUE;
  char className[32] = {};
  GetClassNameA(window, className, sizeof className);
  if (IsInputMethodWindowClass(className)) return TRUE;
  char title[2] = {};
  TAnalizer::Window w;
  w.handle = FromWindow(window);
  w.topOwner = FromWindow(TopOwner(window));
  w.titled = GetWindowTextA(window, title, sizeof title) > 0;
  w.visible = IsWindowVisible(window) != 0;
  a->Add(w);
  return TRUE;
}

struct Walk {
  TProcessData* data;
  std::unordered_map<DWORD, std::string> names;
  std::vector<char> className = std::vector<char>(16384 + 1);
  std::vector<char> title = std::vector<char>(102400 + 1);
};

// EnumWindows callback of GetProcessWindows.
BOOL CALLBACK TakeWindow(HWND window, LPARAM param) {
  auto* w = reinterpret_cast<Walk*>(param);
  ProcessWindow pw;
  DWORD id = 0;
  pw.threadId = GetWindowThreadProcessId(window, &id);
  pw.processId = id;
  const auto name = w->names.find(id);
  if (name != w->names.end()) pw.exeName = name->second;
  pw.className = TextOfWindow(window, w->className, false);
  pw.handle = FromWindow(window);
  pw.title = TextOfWindow(window, w->title, true);
  pw.visible = IsWindowVisible(window) != 0;
  return AddProcessWindow(*w->data, std::move(pw)) ? TRUE : FALSE;
}

}  // namespace

// ------------------------------------------------------------ finding ids

uint32_t FindProcessIdByTaskList(const std::string& exe, int* rows) {
  PipedResult run;
  // By its full path: a bare name would be searched in the current folder
  // and the program's own folder first.
  RunPiped(GetSystemDir(true) + "tasklist.exe", "/FO csv", SW_HIDE, run, nullptr, nullptr, 1);
  const TaskListMatch match = FindInTaskList(run.output, Clean(exe));
  if (rows) *rows = match.rows;
  return match.processId;
}

uint32_t FindProcessIdByStatus(const std::string& exe, bool fullPathOnly) {
  const ExeMatcher matcher(exe, fullPathOnly);
  const std::vector<DWORD> ids = ProcessIds();
  for (size_t i = ids.size(); i-- > 0;) {
    const std::string path = ProcessImagePath(ids[i]);
    if (matcher.Matches(path, ProcessFileName(path))) return ids[i];
  }
  return 0;
}

uint32_t FindProcessIdBySnapshot(const std::string& exe, bool fullPathOnly) {
  const ExeMatcher matcher(exe, fullPathOnly);
  uint32_t found = 0;
  for (const auto& p : SnapshotProcesses())
    if (matcher.Matches(p.second, ProcessFileName(p.second))) found = p.first;
  return found;
}

uint32_t FindProcessId(const std::string& exe, bool fullPathOnly) {
  const std::string e = Clean(exe);
  if (IsWin8OrLater() && !fullPathOnly) {
    int rows = 0;
    const uint32_t id = FindProcessIdByTaskList(e, &rows);
    // A task list that printed nothing (the tool is missing or blocked)
    // says nothing about the process: look it up the other way.
    if (rows > 0) return id;
  }
  if (IsNT()) return FindProcessIdByStatus(e, fullPathOnly);
  return FindProcessIdBySnapshot(e, fullPathOnly);
}

std::string GetProcessTable(bool fullPath) {
  if (fullPath || IsXP()) {
    std::vector<std::string> entries;
    for (DWORD id : ProcessIds()) {
      std::string name = "System Idle Process";
      if (id != 0) {
        name = ProcessImagePath(id);
        if (!fullPath) name = ProcessFileName(name);
      }
      if (!name.empty()) entries.push_back(name + "=" + IntToStr(id));
    }
    return SUB::FromArray(entries);
  }
  TProcessData data;
  GetProcessWindows(data, true, "*", -1);
  return data.windows.empty() ? std::string() : data.ProcessTable();
}

uint32_t FindProcessIdInTable(const std::string& exe, bool fullPath) {
  std::string e = Clean(exe);
  if (!fullPath) e = ProcessFileName(e);
  return FindIdInProcessTable(GetProcessTable(fullPath), e, fullPath ? ShortForm : nullptr);
}

bool IsProcessRunning(const std::string& exe) {
  const std::string e = Clean(exe);
  if (IsNT()) return FindProcessIdInTable(e, false) != 0;
  return FindProcessIdBySnapshot(e, false) != 0;
}

// ------------------------------------------------------------------ windows

uintptr_t FindMainWindow(const std::string& exe, bool fullPathOnly) {
  const uint32_t id = FindProcessId(exe, fullPathOnly);
  if (id == 0) return 0;
  TAnalizer analizer(id);
  EnumWindows(CollectProcessWindow, reinterpret_cast<LPARAM>(&analizer));
  return analizer.MainWindow();
}

bool PostProcessMessage(const std::string& exe, bool fullPathOnly, uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  const HWND window = ToWindow(FindMainWindow(exe, fullPathOnly));
  if (!window) return false;
  PostMessageA(window, msg, WPARAM(wParam), LPARAM(lParam));
  return true;
}

bool CloseProcess(const std::string& exe, bool fullPathOnly, uint32_t waitMs) {
  const bool found = PostProcessMessage(exe, fullPathOnly, WM_CLOSE, 15, 255);
  if (waitMs > 0) WaitProcessEnd(exe, waitMs);
  return found;
}

bool PostQuitToProcess(const std::string& exe, bool fullPathOnly) {
  return PostProcessMessage(exe, fullPathOnly, WM_QUIT, 15, 255);
}

bool KillProcess(const std::string& exe, bool fullPath) {
  const std::string e = Clean(exe);
  const uint32_t id = IsNT() ? FindProcessIdInTable(e, fullPath) : FindProcessIdBySnapshot(e, fullPath);
  if (id == 0) return false;
  UniqueHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, id));
  return process && TerminateProcess(process.get(), 0);
}

void WaitProcessEnd(const std::string& exe, uint32_t waitMs) {
  const std::string e = Clean(exe);
  const DWORD limit = waitMs == 0 ? 1000 : waitMs;
  const DWORD start = GetTickCount();
  do {
    if (!IsProcessRunning(e)) return;
    WaitPumping(100);
  } while (GetTickCount() - start < limit);
}

void WaitWindowGone(const std::string& className, const std::string& title) {
  const char* c = className.empty() ? nullptr : className.c_str();
  const char* t = title.empty() ? nullptr : title.c_str();
  while (FindWindowA(c, t)) {
    YieldX(0);
    Sleep(100);
  }
}

void GetProcessWindows(TProcessData& data, bool all, const std::string& nameFilter, int64_t idFilter) {
  ResetProcessData(data, all, nameFilter, idFilter);
  Walk walk{&data, SnapshotNames()};
  EnumWindows(TakeWindow, reinterpret_cast<LPARAM>(&walk));
}

std::string GetProcessNameOfWindow(uintptr_t window) {
  DWORD id = 0;
  if (!GetWindowThreadProcessId(ToWindow(window), &id)) return std::string();
  for (const auto& p : SnapshotProcesses())
    if (p.first == id) return ProcessFileName(p.second);
  return std::string();
}
