// The trace log: X_<base name>.log beside the executable, one timestamped
// line per call, written only while enabled (an agent whose package asks
// for it). Each call opens, appends and closes, so a crash loses nothing.
// Also the fixed-form debug-channel lines the utilities write.
#pragma once

#include <cstdint>
#include <string>

// Enabling flag and the three-character line prefix ("   ", or " X " in the
// agent's X_ copy). Set once at start-up.
void SetTraceEnabled(bool on);
bool TraceEnabled();
void SetTracePrefix(const std::string& prefix3);

// Appends one line when enabled; nothing otherwise. An empty message writes
// a separator line (time, thread id and prefix only).
void TraceLog(const std::string& message);

// "[a]  [b]  [c]  [d]" on the debug channel.
void TraceFields(const std::string& a, const std::string& b, const std::string& c, const std::string& d);
// " --- tag (detail) --- message" on the debug channel.
void TraceException(const std::string& message, const std::string& tag, const std::string& detail);

// --- portable pieces, tested on the host
// The log path for an executable path: X_ put in front of the file name
// unless it starts with X_ (with case), extension replaced by ".log".
std::string TraceLogPathFor(const std::string& exeFullPath);
// One log line: stamp, " ", thread id padded to 5, prefix, message, CR LF.
std::string FormatTraceLine(const std::string& stamp, uint32_t threadId, const std::string& prefix,
                            const std::string& message);
// The line's time stamp "dd/mm/yy HH:NN:SS": '/' stands for dateSep and ':'
// for timeSep (the user's locale settings); year is the full year.
std::string FormatTraceStamp(int year, int month, int day, int hour, int minute, int second,
                             const std::string& dateSep, const std::string& timeSep);

// Tests only: the log path to use instead of the one computed from the
// running executable (empty: back to the computed one).
void SetTraceLogPathForTests(const std::string& path);

// --- per-platform pieces (trace_win.cpp, trace_host.cpp)
// The running executable's full path.
std::string TraceExePath();
// The current local time as FormatTraceStamp writes it.
std::string TraceStampNow();
uint32_t TraceThreadId();
// Opens the file for appending (creating it, sharing allowed), writes the
// bytes, closes it; failures are ignored.
void TraceAppendToFile(const std::string& path, const std::string& bytes);
