// The stubpack command line: every command as a function of its arguments
// that writes its normal output and its messages into strings, so the whole
// tool can be driven from unit tests. main.cpp only forwards argv here.
#pragma once

#include <string>
#include <vector>

namespace stubpack {

// Exit codes.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;  // damage found, or the command failed
constexpr int kExitUsage = 2;    // the command line is wrong

// Runs stubpack with args (without the program name). Normal output goes
// to *out, messages ("stubpack: ...") to *err.
int RunStubpack(const std::vector<std::string>& args, std::string* out, std::string* err);

// The --help text.
std::string HelpText();

}  // namespace stubpack
