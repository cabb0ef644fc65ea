// stubpack: the command-line entry. Everything else lives in commands.cpp
// and the files it uses, so unit tests can drive the same code.
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string out, err;
  int rc = stubpack::RunStubpack(args, &out, &err);
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fflush(stdout);
  std::fwrite(err.data(), 1, err.size(), stderr);
  return rc;
}
