// runexe: starts one command line exactly as given, waits for it and writes
// its full 32-bit exit code to a file. The end-to-end tests run every Windows
// program through it, because the exit status a Linux process can return
// keeps only 8 bits (1602 would arrive as 66).
//
//   runexe.exe REQUEST RESULT
//
// REQUEST holds key=value lines:
//   cmd=<command line>     required; passed to CreateProcess unchanged
//   atom=<name>            add this global atom before the start (as the
//                          stub does for its engine) and report afterwards
//                          whether it is still there; it is deleted at the end
//   timeout=<ms>           end the program (and its children) after this long
//   tree=1|0               (default 1) the program and every process it starts
//                          run in one job, ended together when runexe ends;
//                          0 lets processes it starts outlive it
//   show=<n>               the show mode passed to the program (default SW_SHOWNORMAL)
// RESULT gets key=value lines:
//   pid=<process id>  exitcode=<n>  timedout=1|0  atomleft=1|0 (with atom=)
//   error=<GetLastError> when the program could not be started
// The standard handles are passed on, so a console program's output arrives
// where runexe's goes.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "util/handle_win.h"

namespace {

std::string ReadWhole(const char* path) {
  UniqueHandle file(NullIfInvalid(
      CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)));
  std::string text;
  if (!file) return text;
  char buffer[4096];
  DWORD n = 0;
  while (ReadFile(file.get(), buffer, sizeof buffer, &n, nullptr) && n > 0) text.append(buffer, n);
  return text;
}

std::string Value(const std::string& request, const std::string& key) {
  size_t start = 0;
  while (start < request.size()) {
    size_t end = request.find('\n', start);
    if (end == std::string::npos) end = request.size();
    std::string line = request.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.compare(0, key.size() + 1, key + "=") == 0) return line.substr(key.size() + 1);
    start = end + 1;
  }
  return std::string();
}

void WriteResult(const char* path, const std::string& text) {
  UniqueHandle file(NullIfInvalid(
      CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)));
  DWORD written = 0;
  if (file) WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  const std::string request = ReadWhole(argv[1]);
  std::string command = Value(request, "cmd");
  if (command.empty()) {
    WriteResult(argv[2], "error=no command\r\n");
    return 2;
  }
  const std::string atomName = Value(request, "atom");
  const std::string timeoutText = Value(request, "timeout");
  const DWORD timeout = timeoutText.empty() ? INFINITE : static_cast<DWORD>(std::strtoul(timeoutText.c_str(), nullptr, 10));
  const bool tree = Value(request, "tree") != "0";
  const std::string showText = Value(request, "show");

  UniqueHandle job;
  if (tree) {
    job.reset(CreateJobObjectA(nullptr, nullptr));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (job) SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits);
  }

  UniqueGlobalAtom atom;
  if (!atomName.empty()) atom.reset(GlobalAddAtomA(atomName.c_str()));

  STARTUPINFOA si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  si.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  if (!showText.empty()) {
    si.dwFlags |= STARTF_USESHOWWINDOW;
    si.wShowWindow = static_cast<WORD>(std::strtoul(showText.c_str(), nullptr, 10));
  }
  PROCESS_INFORMATION pi = {};
  // Suspended until it is in the job, so not even its first child escapes.
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr, nullptr, &si, &pi)) {
    WriteResult(argv[2], "error=" + std::to_string(GetLastError()) + "\r\n");
    return 3;
  }
  UniqueHandle process(pi.hProcess);
  UniqueHandle thread(pi.hThread);
  if (job) AssignProcessToJobObject(job.get(), process.get());
  ResumeThread(thread.get());

  bool timedOut = false;
  if (WaitForSingleObject(process.get(), timeout) == WAIT_TIMEOUT) {
    timedOut = true;
    if (job) TerminateJobObject(job.get(), 1);
    TerminateProcess(process.get(), 1);
    WaitForSingleObject(process.get(), 5000);
  }
  DWORD code = 0;
  GetExitCodeProcess(process.get(), &code);
  std::string result = "pid=" + std::to_string(pi.dwProcessId) + "\r\n";
  result += "exitcode=" + std::to_string(code) + "\r\n";
  result += std::string("timedout=") + (timedOut ? "1" : "0") + "\r\n";
  if (!atomName.empty()) {
    const ATOM left = GlobalFindAtomA(atomName.c_str());
    result += std::string("atomleft=") + (left != 0 ? "1" : "0") + "\r\n";
    // Added once here; when the program left it, one delete removes it.
    if (left == 0) atom.release();
  }
  WriteResult(argv[2], result);
  return static_cast<int>(code & 0xFF);
}
