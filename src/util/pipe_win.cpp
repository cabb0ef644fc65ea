// Piped execution over anonymous pipes and CreateProcess.
#include <windows.h>

#include <initializer_list>
#include <string>

#include "util/handle_win.h"
#include "util/pipe.h"
#include "util/sysinfo.h"
#include "util/wait.h"

namespace {

constexpr DWORD kReadBufferSize = 30000;

// One redirected stream: the parent's end of its pipe, the text collected
// and a lead byte of a double-byte OEM character whose second byte has not
// arrived yet.
struct Stream {
  UniqueHandle read;
  std::string* text = nullptr;
  std::string pendingLead;
};

struct Reader {
  PipedCallback callback = nullptr;
  void* user = nullptr;
  bool abort = false;
  char buffer[kReadBufferSize];

  // Reads what the pipe holds, up to one buffer. Whether more was waiting
  // than this read took.
  bool Read(Stream& s) {
    DWORD available = 0;
    if (!PeekNamedPipe(s.read.get(), nullptr, 0, nullptr, &available, nullptr) || available == 0) return false;
    DWORD got = 0;
    if (!ReadFile(s.read.get(), buffer, available < kReadBufferSize ? available : kReadBufferSize, &got, nullptr) ||
        got == 0)
      return false;
    std::string piece = s.pendingLead + std::string(buffer, got);
    s.pendingLead.clear();
    // Keep a trailing lead byte for the next read, so that a double-byte
    // character split between two reads is converted whole.
    for (size_t i = 0; i < piece.size(); ++i) {
      if (IsDBCSLeadByteEx(CP_OEMCP, BYTE(piece[i]))) {
        if (i + 1 == piece.size()) {
          s.pendingLead = piece.substr(i);
          piece.pop_back();
          break;
        }
        ++i;
      }
    }
    if (!piece.empty()) {
      OemToCharBuffA(&piece[0], &piece[0], DWORD(piece.size()));
      s.text->append(piece);
      if (callback) callback(user, piece, abort);
    }
    return available > got;
  }

  // Reads until the pipe is empty.
  void Drain(Stream& s) {
    while (Read(s)) {
    }
  }
};

bool MakePipe(UniqueHandle& read, UniqueHandle& write, bool parentReads) {
  SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
  HANDLE r = nullptr, w = nullptr;
  if (!CreatePipe(&r, &w, &sa, 0)) return false;
  read.reset(r);
  write.reset(w);
  // Only the child's end is inherited.
  SetHandleInformation(parentReads ? r : w, HANDLE_FLAG_INHERIT, 0);
  return true;
}

}  // namespace

bool RunPiped(const std::string& program, const std::string& params, int showWindow, PipedResult& result,
              PipedCallback callback, void* user, uint32_t settleMs) {
  result.output.clear();
  result.error.clear();
  result.exitCode = kPipedStartFailed;
  std::string commandLine = PipedCommandLine(program, params);

  UniqueHandle inRead, inWrite, outWrite, errWrite;
  Stream out, err;
  out.text = &result.output;
  err.text = &result.error;
  if (!MakePipe(inRead, inWrite, false) || !MakePipe(out.read, outWrite, true) || !MakePipe(err.read, errWrite, true))
    return false;

  STARTUPINFOA si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES | STARTF_FORCEONFEEDBACK;
  si.wShowWindow = WORD(showWindow);
  si.hStdInput = inRead.get();
  si.hStdOutput = outWrite.get();
  si.hStdError = errWrite.get();
  PROCESS_INFORMATION pi = {};
  // A line above the limit cannot start on any system; it is not tried.
  const bool started = commandLine.size() <= kPipedCommandLineLimit &&
                       CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, IDLE_PRIORITY_CLASS, nullptr,
                                      nullptr, &si, &pi);
  if (!started) {
    result.error = PipedStartError(commandLine, LastErrorText());
    if (callback) {
      bool ignored = false;
      callback(user, result.error + "\r\n", ignored);
    }
    return false;
  }
  UniqueHandle process(pi.hProcess), thread(pi.hThread);

  Reader reader;
  reader.callback = callback;
  reader.user = user;
  DWORD interval = callback ? 1 : 100;
  bool ended = false, moreOut = false, moreErr = false;
  do {
    if (!(result.output.empty() && result.error.empty()) && interval > 10) interval -= 10;
    // The end is taken from the process handle, not from STILL_ACTIVE: a
    // program may well exit with code 259.
    ended = WaitForSingleObject(process.get(), interval) == WAIT_OBJECT_0;
    moreOut = reader.Read(out);
    moreErr = reader.Read(err);
    if (reader.abort && !ended) TerminateProcess(process.get(), 255);
  } while (!ended || moreOut || moreErr);
  DWORD code = 0;
  if (!GetExitCodeProcess(process.get(), &code)) code = kPipedStartFailed;

  if (settleMs > 0) WaitPumping(int(settleMs));
  // Whatever arrived between the last look and the end of the program.
  reader.Drain(out);
  reader.Drain(err);
  for (Stream* s : {&out, &err}) {
    if (s->pendingLead.empty()) continue;
    OemToCharBuffA(&s->pendingLead[0], &s->pendingLead[0], DWORD(s->pendingLead.size()));
    s->text->append(s->pendingLead);
    if (callback) callback(user, s->pendingLead, reader.abort);
  }
  result.exitCode = code;
  return code == 0;
}
