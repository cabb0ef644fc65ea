// finisher: starts the self-delete of its own executable and exits, as the
// stub does at the end of its run. The tests copy it somewhere, run the copy
// and watch the copy (and its folder) go.
//
//   finisher.exe [/folder] [/tries=N /wait=S]
//
//   /folder    remove the executable's folder as well
//   /tries=N   give up after N tries, S seconds apart (default: the
//   /wait=S    self-delete's own one-minute bound)
//
// Exit code 0 when the script was started (always 0 without /tries=, as
// DeleteMySelf gives no result), 1 when it was not.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "env/files.h"

namespace {

long Switch(const std::string& line, const char* name, long def) {
  const size_t at = line.find(name);
  return at == std::string::npos ? def : std::strtol(line.c_str() + at + std::string(name).size(), nullptr, 10);
}

}  // namespace

int main() {
  const std::string line = GetCommandLineA();
  const bool folder = line.find("/folder") != std::string::npos;
  if (line.find("/tries=") == std::string::npos) {
    // What the stub itself calls.
    DeleteMySelf(folder);
    return 0;
  }
  const long tries = Switch(line, "/tries=", kSelfDeleteTries);
  const long wait = Switch(line, "/wait=", kSelfDeleteWaitSeconds);
  return StartSelfDelete(folder, int(tries), int(wait)) ? 0 : 1;
}
