// debugsay: writes lines to the debug channel and, when asked, to the trace
// log, through the same code the stub uses.
//
//   debugsay.exe LINESFILE [/trace] [/x]
//
// Every line of LINESFILE (LF or CR LF ended) goes out with DebugPidLine,
// then one formatted line with DebugPidPrintf:
//   <pid> printf size=<n> hex=<h> pad=[   ab] text=<longest>|<longest>
// where n is the number of lines read, h is n * 4096 + 10 in lower-case hex
// and <longest> the longest line (the first of that length). With
// /trace the trace log is enabled and gets an empty line, then every line;
// /x sets the X_ copy's prefix " X ". Standard output gets "pid=<process id>"
// and "tid=<thread id>".
#include <windows.h>

#include <string>
#include <vector>

#include "util/debug.h"
#include "util/handle_win.h"
#include "util/trace.h"

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

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

void Print(const std::string& text) {
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  bool trace = false;
  bool xPrefix = false;
  for (int i = 2; i < argc; ++i) {
    if (lstrcmpiA(argv[i], "/trace") == 0) trace = true;
    if (lstrcmpiA(argv[i], "/x") == 0) xPrefix = true;
  }
  Print("pid=" + ProcessIdText() + "\r\ntid=" + std::to_string(GetCurrentThreadId()) + "\r\n");

  const std::vector<std::string> lines = SplitLines(ReadWhole(argv[1]));
  SetTraceEnabled(trace);
  if (xPrefix) SetTracePrefix(" X ");
  TraceLog("");
  for (const std::string& line : lines) {
    DebugPidLine(line);
    TraceLog(line);
  }
  // The longest line twice: longer than DebugPidPrintf's first buffer.
  std::string longest;
  for (const std::string& line : lines)
    if (line.size() > longest.size()) longest = line;
  DebugPidPrintf(" printf size=%d hex=%x pad=[%5s] text=%s|%s", static_cast<int>(lines.size()),
                 static_cast<unsigned>(lines.size()) * 4096u + 10u, "ab", longest.c_str(), longest.c_str());
  return 0;
}
