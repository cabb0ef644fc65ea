// Command-line switches: /NAME=value words (or bare words such as /hide) on
// the process command line.
//
// The module keeps the raw command line and the program's full path, set once
// at start-up (the Windows entry passes GetCommandLineA() and the module's own
// path). Every lookup rebuilds the switch list from them; nothing else is
// cached. A value runs from its '=' to the next space followed by the switch
// character; double quotes are deleted everywhere, so a quoted path may hold
// spaces but never " /".
#ifndef STUB_UTIL_SWITCHES_H
#define STUB_UTIL_SWITCHES_H

#include <cstdint>
#include <string>

// Sets the command line and program path the lookups read.
void SetCommandLineSource(const std::string& rawCommandLine, const std::string& programFullPath);

// The command line without the program's own path, trimmed; the whole line,
// trimmed, when the program's file name and path are both absent from it.
std::string GetParamsLine();

// Trimmed value of switch name ("/SpanCdLvl=", "/OriginExe" and "-x=" forms;
// ASCII case ignored, first occurrence wins); "" for a present switch with no
// value; the trimmed def when absent; def itself for an empty name.
std::string GetParamStr(const std::string& name, const std::string& def);

// GetParamStr converted by TextToInt64 (decimal, $hex, 0xhex); def when the
// switch is absent, empty or not a number.
int64_t GetParamInt(const std::string& name, int64_t def);

// Whether the trimmed word followed by a space occurs in GetParamsLine() + " ",
// ignoring ASCII case (so /hide matches "/hide /X=1" but not "/hidden"); false
// for an empty word.
bool HasParam(const std::string& word);

// line without the first occurrence (with case) of switch name and its value,
// up to the space that precedes the next switch or the end of the line; the
// spaces around the removed switch stay. line unchanged when name is absent or empty.
std::string RemoveParam(const std::string& line, const std::string& name);

#endif  // STUB_UTIL_SWITCHES_H
