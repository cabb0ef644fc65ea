// INI files through the system's private-profile functions: the .original
// and .info files of the agent and any other settings file. Every call opens
// and closes the file (nothing is cached); every read returns its default
// instead of failing.
#pragma once

#include <cstdint>
#include <string>

// The longest value a read returns; longer values are cut by the system.
constexpr size_t kIniValueMax = 102400;

// The value of key in section, or def when the file, the section or the
// key is empty, when the key is missing and when its value is empty. Texts
// are in the ANSI code page; a value of up to kIniValueMax characters comes
// back whole. A failure during the read (a text the code page cannot
// convert, no memory) writes
// "EXCEPTION --- Utils.ReadIniString()  <last error text>" to the debug
// channel and returns def.
std::string ReadIniString(const std::string& file, const std::string& section, const std::string& key,
                          const std::string& def);
// ReadIniString converted to a signed 64-bit number (decimal, $hex, 0xhex);
// def when the value is missing or not a number.
int64_t ReadIniInt(const std::string& file, const std::string& section, const std::string& key, int64_t def);

// Writes key=value into section, creating the file and the section as
// needed; the system's success flag. False without writing anything when
// the file, the section or the key is empty, or when a text could not be
// read back as written: a line break or NUL anywhere, "]" in the section,
// "=" in the key, or a key that starts with "[" or ";" (it would read as a
// section header or a comment).
bool WriteIniString(const std::string& file, const std::string& section, const std::string& key,
                    const std::string& value);
// WriteIniString of the value in decimal.
bool WriteIniInt(const std::string& file, const std::string& section, const std::string& key, int64_t value);
