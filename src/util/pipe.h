// Piped execution: runs a console program with its standard output and
// standard error redirected to pipes, collects both as text (converted from
// the OEM to the ANSI code page) while it runs, and returns its exit code.
// The process search reads the system's task list through it.
#pragma once

#include <cstdint>
#include <string>

// Called with every piece of text read (standard output or error, already
// converted) and, when the program cannot be started, with the error text
// and CR LF. Setting abort terminates the program with exit code 255.
using PipedCallback = void (*)(void* user, const std::string& piece, bool& abort);

struct PipedResult {
  std::string output;
  std::string error;
  uint32_t exitCode = 0;
};

// The exit code reported when the program cannot be started.
constexpr uint32_t kPipedStartFailed = 21;
// The longest command line the system accepts.
constexpr size_t kPipedCommandLineLimit = 32766;

// Runs program with params, its window shown as showWindow (SW_HIDE: not at
// all), at idle priority. Polls every 100 ms (1 ms with a callback; the
// interval shrinks by 10 ms per pass, down to 10 ms, once output arrives),
// reading only what the pipes hold so that it never blocks, and goes on
// until the program has ended and both pipes are empty. Afterwards it waits
// settleMs while serving the thread's messages and empties the pipes once
// more. Blocks the calling thread (it serves no messages before the settle
// wait). True exactly when the exit code is 0. A program that cannot be
// started gives exit code 21 and result.error = the first 256 characters of
// the command line + " --- " + the system's error text, or "Command line is
// too long" for a command line longer than 32,766 characters.
bool RunPiped(const std::string& program, const std::string& params, int showWindow, PipedResult& result,
              PipedCallback callback = nullptr, void* user = nullptr, uint32_t settleMs = 0);

// ---- Portable pieces, tested on the host -------------------------------

// The command line RunPiped starts: the program, in double quotes when it
// holds a space and no double quote, then a space and the parameters when
// there are any.
inline std::string PipedCommandLine(const std::string& program, const std::string& params) {
  const bool quote = program.find(' ') != std::string::npos && program.find('"') == std::string::npos;
  std::string line = quote ? "\"" + program + "\"" : program;
  if (!params.empty()) line += " " + params;
  return line;
}

// The error text for a command line that could not be started.
inline std::string PipedStartError(const std::string& commandLine, const std::string& systemError) {
  if (commandLine.size() > kPipedCommandLineLimit) return "Command line is too long";
  return commandLine.substr(0, 256) + " --- " + systemError;
}
