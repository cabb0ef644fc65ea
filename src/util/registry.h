// Registry reads addressed by one path text such as
// HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion.
//
// The path rules and the conversion of a value to text are portable
// (registry.cpp) and tested on the host; the read itself is Windows
// (registry_win.cpp). Every read returns its default instead of failing.
#pragma once

#include <cstdint>
#include <string>

// The predefined keys a path can start from.
enum class RegRoot { ClassesRoot, CurrentUser, LocalMachine, Users, CurrentConfig, DynData };

// The root named by a long ("HKEY_LOCAL_MACHINE") or short ("HKLM") name,
// compared after upper-casing; any other name means HKEY_CURRENT_USER.
RegRoot RegRootFromName(const std::string& name);
// The long name of a root.
const char* RegRootName(RegRoot root);

struct RegPath {
  RegRoot root = RegRoot::CurrentUser;
  std::string subkey;
};
// Splits a trimmed path: one that does not begin with "HK" (any case) is a
// subkey under HKEY_CURRENT_USER; otherwise the text before the first "\"
// names the root and the text after it is the subkey (empty without a "\").
RegPath SplitRegPath(const std::string& path);

// Value types as the registry stores them.
constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;
constexpr uint32_t kRegMultiSz = 7;
// Values are read into a buffer of this many bytes; a longer value counts
// as a failed read.
constexpr uint32_t kRegValueBufferSize = 10241;

// The text of a value's bytes: a REG_DWORD of 4 bytes as unsigned decimal;
// a REG_MULTI_SZ longer than 2 bytes as its strings joined by "<0>"
// (trailing NUL bytes dropped first); anything else up to its first NUL.
std::string RegValueText(uint32_t type, const std::string& bytes);

// Windows: the value of a key as RegValueText gives it, or def when the key
// cannot be opened for reading or the value cannot be read. view64 adds
// KEY_WOW64_64KEY (the 64-bit view of a 32-bit process on 64-bit Windows).
// An empty value name reads the key's default value.
std::string ReadRegString(const std::string& path, const std::string& valueName, const std::string& def,
                          bool view64 = false);
