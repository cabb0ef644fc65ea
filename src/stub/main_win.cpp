// The program entry of stub.exe. Everything else happens in StubMain; it
// still catches whatever escapes, reports it and ends with a failure code.
#include <windows.h>

#include <cstdlib>
#include <exception>

#include "stub/stub.h"
#include "util/debug.h"

// The run-time's default terminate handler prints the demangled type of the
// exception, and the demangler alone is ~45 KiB of the executable. Nothing
// escapes WinMain below, so a plain abort does the same job.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  try {
    return int(stub::StubMain());
  } catch (const std::exception& e) {
    DebugPidLine(std::string(" ==== UNHANDLED FAILURE: ") + e.what());
  } catch (...) {
    DebugPidLine(" ==== UNHANDLED FAILURE");
  }
  return 1603;
}
