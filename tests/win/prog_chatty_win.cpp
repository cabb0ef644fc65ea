// chatty: a console program for the piped-execution tests. It prints a known
// text in the OEM code page, much of it in one write call.
//
//   chatty.exe [/out=N] [/err=N] [/exit=N] [/forever] [/whoami]
//
//   /out=N     N bytes on standard output, in one WriteFile call (default 40000)
//   /err=N     N bytes on standard error, in one call (default 0)
//   /exit=N    the exit code (default 0)
//   /forever   after the output, one more line every 50 ms until terminated
//   /whoami    print only this program's own full path and exit
//
// The text is the pattern line "<6-digit number> Gr\x81\xE1e aus K\x94ln\r\n"
// (CP437/850 for umlauts and sharp s) repeated and cut to N bytes; standard
// error uses "E<6-digit number>\r\n" lines. The tests build the same text.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string Pattern(size_t n, bool error) {
  std::string text;
  char line[64];
  for (int i = 0; text.size() < n; ++i) {
    if (error)
      std::snprintf(line, sizeof line, "E%06d\r\n", i);
    else
      std::snprintf(line, sizeof line, "%06d Gr\x81\xE1\x65 aus K\x94ln\r\n", i);
    text += line;
  }
  text.resize(n);
  return text;
}

void Put(HANDLE h, const std::string& text) {
  DWORD written = 0;
  if (!text.empty()) WriteFile(h, text.data(), DWORD(text.size()), &written, nullptr);
}

// The value of /name=N on the command line, or def.
long Switch(const char* name, long def) {
  const std::string line = GetCommandLineA();
  const size_t at = line.find(name);
  return at == std::string::npos ? def : std::strtol(line.c_str() + at + std::string(name).size(), nullptr, 10);
}

}  // namespace

int main() {
  const std::string line = GetCommandLineA();
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (line.find("/whoami") != std::string::npos) {
    char path[MAX_PATH + 1] = {};
    Put(out, std::string(path, GetModuleFileNameA(nullptr, path, MAX_PATH)));
    return 0;
  }
  Put(out, Pattern(size_t(Switch("/out=", 40000)), false));
  Put(GetStdHandle(STD_ERROR_HANDLE), Pattern(size_t(Switch("/err=", 0)), true));
  if (line.find("/forever") != std::string::npos) {
    for (;;) {
      Put(out, "still talking\r\n");
      Sleep(50);
    }
  }
  return int(Switch("/exit=", 0));
}
