// Portable pieces of the file and disk utilities: the piece plan of large
// writes, the paths the free-space query uses, and the self-delete script.
#include "env/files.h"

#include "util/text.h"

size_t SavePieceSize(size_t length) {
  if (length <= kSaveOneCallLimit) return 0;
  // Above 1 MiB a tenth is always far above 1,024 bytes, so pieces are a
  // tenth of the length, capped at 1 MiB.
  const size_t tenth = length / 10;
  return tenth < kSaveOneCallLimit ? tenth : kSaveOneCallLimit;
}

namespace {

bool IsShare(const std::string& p) { return p.size() >= 2 && p[0] == '\\' && p[1] == '\\'; }

bool HasDriveLetter(const std::string& p) {
  return p.size() >= 2 && p[1] == ':' && ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z'));
}

// Position just after the n-th backslash, or npos when there are fewer.
size_t AfterBackslash(const std::string& p, int n) {
  size_t at = std::string::npos;
  for (int i = 0; i < n; ++i) {
    at = p.find('\\', at == std::string::npos ? 0 : at + 1);
    if (at == std::string::npos) return at;
  }
  return at + 1;
}

// A path inside a batch file: quoted, with "%" doubled so that cmd does not
// read a part of it as a variable.
std::string BatchPath(const std::string& path) { return "\"" + ReplaceText(path, "%", "%%") + "\""; }

}  // namespace

std::string FreeSpaceQueryPath(const std::string& path) {
  std::string p = ReplaceChar(path, '/', '\\');
  const size_t cut = AfterBackslash(p, 4);
  // The fourth backslash stays: the system wants a share named as
  // \\server\share\ with its trailing backslash.
  if (cut != std::string::npos) return p.substr(0, cut);
  if (IsShare(p) && p.back() != '\\') p += '\\';
  return p;
}

std::string FreeSpaceRoot(const std::string& path) {
  const std::string p = ReplaceChar(path, '/', '\\');
  if (HasDriveLetter(p)) return std::string(1, char(p[0] & ~0x20)) + ":\\";
  if (IsShare(p)) return FreeSpaceQueryPath(p.substr(0, AfterBackslash(p + "\\", 4)));
  return std::string();
}

std::string SelfDeleteScriptName(uint32_t processId) { return "_DEL_ME_" + IntToStr(processId) + ".BAT"; }

std::string SelfDeleteScript(const std::string& exe, const std::string& folder, const std::string& script,
                             const std::string& pingExe, bool removeFolder, int tries, int waitSeconds) {
  if (tries < 1) tries = 1;
  if (waitSeconds < 1) waitSeconds = 1;
  const std::string e = BatchPath(exe);
  std::string s;
  auto line = [&s](const std::string& text) { s += text + "\r\n"; };
  line("@ECHO OFF");
  line("SET /A DEL_ME_TRY=0");
  line(":START");
  // /F: a copy made from a CD keeps the CD's read-only attribute.
  line("DEL /F /Q " + e);
  line("IF NOT EXIST " + e + " GOTO DONE");
  line("SET /A DEL_ME_TRY+=1");
  line("IF %DEL_ME_TRY% GEQ " + IntToStr(tries) + " GOTO DONE");
  // ping waits about one second between its n echo requests.
  line(BatchPath(pingExe) + " -n " + IntToStr(int64_t(waitSeconds) + 1) + " 127.0.0.1 >NUL");
  line("GOTO START");
  line(":DONE");
  if (removeFolder) line("RD " + BatchPath(folder));
  line("DEL " + BatchPath(script));
  return s;
}
