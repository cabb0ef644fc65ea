// testengine: a stand-in setup engine. The stub starts it from the setup
// folder as it would start the real engine; it records what it was given,
// optionally reports completion through the launch atom, optionally keeps an
// engine dialog open for a while, and exits with a chosen code.
//
// Switches (names ignore case; a value may be in double quotes). Each has an
// environment variable as well, which the stub passes on to the engine it
// starts; a switch wins over its variable.
//
//   /report="path"     TESTENGINE_REPORT         where to write the report
//   /deleteatom        TESTENGINE_DELETE_ATOM=1  delete the global atom
//                                                "AutoUpdateAtomTokenByOndrix" + token
//   /dialog=MS         TESTENGINE_DIALOG_MS      keep a visible window of class
//                                                ".SDialog_Class_Name." + token open
//                                                for MS milliseconds, then exit
//   /detachdialog=MS   TESTENGINE_DETACH_DIALOG_MS  start a copy of this program that
//                                                keeps that window open for MS ms,
//                                                and exit as soon as the window exists
//   /exit=N            TESTENGINE_EXIT           the exit code (default 0)
//   /TH_ID=token       (from the stub)           the launch token, e.g. _1234
//
// The report is written (to path.tmp, then renamed, so a reader never sees
// half of it) after the atom step and before any dialog. Lines are
// key=value, CR LF ended, in this order:
//
//   commandline=<the command line exactly as GetCommandLineA gives it>
//   currentdir=<the current folder>
//   exepath=<this program's full path>
//   exedir=<its folder, without a trailing backslash>
//   token=<the /TH_ID= value, empty when missing>
//   atomname=AutoUpdateAtomTokenByOndrix<token>
//   atomfound=1|0       the atom existed when the engine started
//   atomdeleted=1|0     the engine deleted it (only with /deleteatom)
//   dialogclass=.SDialog_Class_Name.<token>
//   exitcode=<N>
//   file=<name>|<size in bytes>|<last write time, UTC, YYYY-MM-DD HH:MM:SS>
//                       one line per file in exedir, in the order the system lists them
//   dir=<name>          one line per folder in exedir (without . and ..)
//
// When a dialog is held (either way), the process that holds it appends
//   dialogshown=1       once the window exists, is visible and is found by its class
//   dialogclosed=1      just before the window goes
// so a test can see the window was there and that whoever waited for it did
// not stop waiting early.
//
// Exit codes other than the chosen one: none; failures to write the report
// or to start the detached copy are written to standard error.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "util/handle_win.h"

namespace {

const char kAtomPrefix[] = "AutoUpdateAtomTokenByOndrix";
const char kDialogPrefix[] = ".SDialog_Class_Name.";

// ---------------------------------------------------------------- switches

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

// The value of /NAME= in the command line (name without '/' and '='), with
// enclosing double quotes removed; *found tells whether the switch is there.
// A switch is a word that starts with '/' at the start or after a space;
// text in double quotes is not searched.
std::string SwitchValue(const std::string& line, const char* name, bool* found) {
  *found = false;
  const size_t nameLen = std::strlen(name);
  bool inQuotes = false;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '"') {
      inQuotes = !inQuotes;
      continue;
    }
    if (inQuotes || c != '/' || (i > 0 && !IsSpace(line[i - 1]))) continue;
    if (_strnicmp(line.c_str() + i + 1, name, nameLen) != 0) continue;
    size_t p = i + 1 + nameLen;
    if (p < line.size() && line[p] == '=') {
      ++p;
    } else if (p < line.size() && !IsSpace(line[p])) {
      continue;  // a longer switch name that starts the same
    }
    *found = true;
    std::string value;
    bool quoted = false;
    for (; p < line.size(); ++p) {
      if (line[p] == '"') {
        quoted = !quoted;
      } else if (!quoted && IsSpace(line[p])) {
        break;
      } else {
        value += line[p];
      }
    }
    return value;
  }
  return std::string();
}

std::string EnvValue(const char* name) {
  char buffer[4096];
  const DWORD n = GetEnvironmentVariableA(name, buffer, sizeof buffer);
  if (n == 0 || n >= sizeof buffer) return std::string();
  return std::string(buffer, n);
}

// The switch when given, else the environment variable.
std::string Setting(const std::string& line, const char* name, const char* env, bool* given) {
  bool found = false;
  std::string value = SwitchValue(line, name, &found);
  if (found) {
    *given = true;
    return value;
  }
  value = EnvValue(env);
  *given = !value.empty();
  return value;
}

long ToLong(const std::string& text, long def) {
  if (text.empty()) return def;
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  return *end == '\0' ? v : def;
}

// ------------------------------------------------------------------ report

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string ModulePath() {
  char path[32768];
  const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  return (n == 0 || n >= sizeof path) ? std::string() : std::string(path, n);
}

std::string CurrentFolder() {
  char path[32768];
  const DWORD n = GetCurrentDirectoryA(sizeof path, path);
  return (n == 0 || n >= sizeof path) ? std::string() : std::string(path, n);
}

std::string UtcText(const FILETIME& ft) {
  SYSTEMTIME t;
  if (!FileTimeToSystemTime(&ft, &t)) return "?";
  char text[32];
  wsprintfA(text, "%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
  return text;
}

std::string FolderListing(const std::string& folder) {
  std::string lines;
  WIN32_FIND_DATAA fd;
  UniqueFind find(NullIfInvalid(FindFirstFileA((folder + "\\*").c_str(), &fd)));
  if (!find) return lines;
  do {
    const std::string name = fd.cFileName;
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (name != "." && name != "..") lines += "dir=" + name + "\r\n";
      continue;
    }
    const unsigned long long size = (static_cast<unsigned long long>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow;
    char sizeText[32];
    wsprintfA(sizeText, "%I64u", size);
    lines += "file=" + name + "|" + sizeText + "|" + UtcText(fd.ftLastWriteTime) + "\r\n";
  } while (FindNextFileA(find.get(), &fd));
  return lines;
}

bool WriteWhole(const std::string& path, const std::string& text, DWORD disposition) {
  UniqueHandle file(NullIfInvalid(CreateFileA(path.c_str(), disposition == OPEN_ALWAYS ? FILE_APPEND_DATA : GENERIC_WRITE,
                                              FILE_SHARE_READ, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr)));
  if (!file) return false;
  DWORD written = 0;
  return WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
         written == text.size();
}

bool WriteReport(const std::string& path, const std::string& text) {
  const std::string temp = path + ".tmp";
  if (!WriteWhole(temp, text, CREATE_ALWAYS)) return false;
  return MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

void Complain(const std::string& text) {
  const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  DWORD written = 0;
  if (err != nullptr && err != INVALID_HANDLE_VALUE)
    WriteFile(err, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

// ------------------------------------------------------------------ dialog

struct DialogState {
  std::string reportPath;
  bool closedNoted = false;
};
DialogState g_dialog;

void NoteDialogClosed() {
  if (g_dialog.closedNoted) return;
  g_dialog.closedNoted = true;
  if (!g_dialog.reportPath.empty()) WriteWhole(g_dialog.reportPath, "dialogclosed=1\r\n", OPEN_ALWAYS);
}

LRESULT CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_TIMER:
    case WM_CLOSE:
      // Noted before the window goes: once it is gone a waiting stub may
      // end at once, and must find the line already there.
      NoteDialogClosed();
      DestroyWindow(hwnd);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
}

HWND CreateDialogWindow(const std::string& className) {
  const HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DialogProc;
  wc.hInstance = instance;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.lpszClassName = className.c_str();
  if (RegisterClassA(&wc) == 0) return nullptr;
  const HWND hwnd = CreateWindowExA(0, className.c_str(), "Test engine", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU,
                                    CW_USEDEFAULT, CW_USEDEFAULT, 320, 120, nullptr, nullptr, instance, nullptr);
  if (hwnd != nullptr) ShowWindow(hwnd, SW_SHOWNOACTIVATE);
  return hwnd;
}

// Shows the dialog for ms milliseconds, serving its messages.
void HoldDialog(const std::string& className, DWORD ms) {
  const HWND hwnd = CreateDialogWindow(className);
  if (hwnd == nullptr) {
    Complain("testengine: cannot create the dialog window\r\n");
    return;
  }
  if (!g_dialog.reportPath.empty() && FindWindowA(className.c_str(), nullptr) == hwnd && IsWindowVisible(hwnd))
    WriteWhole(g_dialog.reportPath, "dialogshown=1\r\n", OPEN_ALWAYS);
  SetTimer(hwnd, 1, ms == 0 ? 1 : ms, nullptr);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

// Starts a copy of this program that holds the dialog, and returns once its
// window exists (or the copy ended), so that anyone who looks for the dialog
// after this process ended finds it.
void StartDetachedDialog(const std::string& exePath, const std::string& token, DWORD ms,
                         const std::string& reportPath, const std::string& className) {
  std::string command = "\"" + exePath + "\" /holddialog=" + std::to_string(ms) + " /TH_ID=" + token;
  if (!reportPath.empty()) command += " /report=\"" + reportPath + "\"";
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    Complain("testengine: cannot start the dialog copy\r\n");
    return;
  }
  UniqueHandle process(pi.hProcess);
  UniqueHandle thread(pi.hThread);
  for (int i = 0; i < 300; ++i) {  // up to about 30 s
    if (FindWindowA(className.c_str(), nullptr) != nullptr) return;
    if (WaitForSingleObject(process.get(), 100) == WAIT_OBJECT_0) return;
  }
}

}  // namespace

int main() {
  const char* raw = GetCommandLineA();
  const std::string line = raw == nullptr ? std::string() : std::string(raw);
  bool found = false;
  const std::string token = SwitchValue(line, "TH_ID", &found);
  const std::string atomName = kAtomPrefix + token;
  const std::string className = kDialogPrefix + token;
  const std::string exePath = ModulePath();

  bool given = false;
  const std::string reportPath = Setting(line, "report", "TESTENGINE_REPORT", &given);

  // The copy started for /detachdialog: it only holds the dialog.
  const std::string hold = SwitchValue(line, "holddialog", &found);
  if (found) {
    g_dialog.reportPath = reportPath;
    HoldDialog(className, static_cast<DWORD>(ToLong(hold, 0)));
    return 0;
  }

  bool deleteAtom = false;
  SwitchValue(line, "deleteatom", &deleteAtom);
  if (!deleteAtom) deleteAtom = EnvValue("TESTENGINE_DELETE_ATOM") == "1";
  bool dialogGiven = false;
  const long dialogMs = ToLong(Setting(line, "dialog", "TESTENGINE_DIALOG_MS", &dialogGiven), 0);
  bool detachGiven = false;
  const long detachMs = ToLong(Setting(line, "detachdialog", "TESTENGINE_DETACH_DIALOG_MS", &detachGiven), 0);
  bool exitGiven = false;
  const long exitCode = ToLong(Setting(line, "exit", "TESTENGINE_EXIT", &exitGiven), 0);

  const ATOM atom = GlobalFindAtomA(atomName.c_str());
  bool atomDeleted = false;
  if (atom != 0 && deleteAtom) {
    GlobalDeleteAtom(atom);
    atomDeleted = GlobalFindAtomA(atomName.c_str()) == 0;
  }

  if (!reportPath.empty()) {
    const std::string exeDir = FolderOf(exePath);
    std::string report;
    report += "commandline=" + line + "\r\n";
    report += "currentdir=" + CurrentFolder() + "\r\n";
    report += "exepath=" + exePath + "\r\n";
    report += "exedir=" + exeDir + "\r\n";
    report += "token=" + token + "\r\n";
    report += "atomname=" + atomName + "\r\n";
    report += std::string("atomfound=") + (atom != 0 ? "1" : "0") + "\r\n";
    report += std::string("atomdeleted=") + (atomDeleted ? "1" : "0") + "\r\n";
    report += "dialogclass=" + className + "\r\n";
    report += "exitcode=" + std::to_string(exitCode) + "\r\n";
    report += FolderListing(exeDir);
    if (!WriteReport(reportPath, report)) Complain("testengine: cannot write the report " + reportPath + "\r\n");
  }

  if (detachGiven && detachMs > 0) {
    StartDetachedDialog(exePath, token, static_cast<DWORD>(detachMs), reportPath, className);
  } else if (dialogGiven && dialogMs > 0) {
    g_dialog.reportPath = reportPath;
    HoldDialog(className, static_cast<DWORD>(dialogMs));
  }
  return static_cast<int>(exitCode);
}
