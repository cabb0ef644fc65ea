#include "util/switches.h"

#include "util/sub.h"
#include "util/text.h"

namespace {

std::string g_commandLine;
std::string g_programPath;

// Separator of the switch list built for a lookup.
const char kSwitchSep = '\x01';

// The line after the program name; a single character left over (a stray
// quote or similar) is taken as no arguments.
std::string RestAfter(const std::string& line, size_t end) {
  const std::string rest = line.substr(end);
  return Trim(rest).size() == 1 ? std::string() : rest;
}

}  // namespace

void SetCommandLineSource(const std::string& rawCommandLine, const std::string& programFullPath) {
  g_commandLine = rawCommandLine;
  g_programPath = programFullPath;
}

std::string GetParamsLine() {
  std::string line = g_commandLine;
  const std::string name = ExtractFileName(g_programPath);
  size_t p = 0;
  if (!name.empty() && (p = PosCI(name + '"', line)) != 0) {
    line = RestAfter(line, p - 1 + name.size() + 1);
  } else if (!name.empty() && (p = PosCI(name, line)) != 0) {
    line = RestAfter(line, p - 1 + name.size());
  } else if (!g_programPath.empty() && (p = PosCI(g_programPath, line)) != 0) {
    line.erase(p - 1, g_programPath.size());
  }
  return Trim(line);
}

std::string GetParamStr(const std::string& name, const std::string& def) {
  std::string key = Trim(name);
  if (key.empty()) return def;
  const char c = (key[0] == '-' || key[0] == '/') ? key[0] : '/';
  key = KeepChars(key, "", std::string(1, c));

  std::string list = KeepChars(' ' + GetParamsLine(), "", "\"");
  list = ReplaceText(list, std::string(1, ' ') + c, std::string(1, kSwitchSep));
  list = kSwitchSep + list + kSwitchSep;

  // The missing default passes through Value untouched; a present but empty
  // switch reads as "" whatever the default is.
  return Trim(SUB::Value(list, key, "", def));
}

int64_t GetParamInt(const std::string& name, int64_t def) {
  return StrToInt64Def(GetParamStr(name, ""), def);
}

bool HasParam(const std::string& word) {
  const std::string w = Trim(word);
  if (w.empty()) return false;
  return PosCI(w + ' ', GetParamsLine() + ' ') != 0;
}

std::string RemoveParam(const std::string& line, const std::string& name) {
  if (name.empty()) return line;
  const size_t start = line.find(name);
  if (start == std::string::npos) return line;
  // The switch ends where the reader would split: at the space before the next '/'.
  const size_t next = line.find(" /", start + 1);
  std::string r = line;
  r.erase(start, next == std::string::npos ? std::string::npos : next - start);
  return r;
}
