// INI access over the private-profile functions.
//
// The texts are ANSI, but the calls go to the wide-character functions,
// with the ANSI code page conversion done here: the ANSI entry points pass
// through the system's counted strings of at most 32,766 characters, so a
// longer value comes back as a few garbage bytes, and writing one crashes
// under Wine. The conversion is the one the ANSI entry points make, and a
// new file is written in the ANSI code page either way.
#include "util/ini.h"

#include <windows.h>

#include <new>
#include <vector>

#include "util/debug.h"
#include "util/sysinfo.h"
#include "util/text.h"

namespace {

// The ANSI text as UTF-16; false when the conversion fails.
bool Wide(const std::string& s, std::wstring* out) {
  out->clear();
  if (s.empty()) return true;
  const int n = MultiByteToWideChar(CP_ACP, 0, s.data(), int(s.size()), nullptr, 0);
  if (n <= 0) return false;
  out->resize(size_t(n));
  return MultiByteToWideChar(CP_ACP, 0, s.data(), int(s.size()), &(*out)[0], n) == n;
}

bool Narrow(const wchar_t* w, size_t count, std::string* out) {
  out->clear();
  if (count == 0) return true;
  const int n = WideCharToMultiByte(CP_ACP, 0, w, int(count), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return false;
  out->resize(size_t(n));
  return WideCharToMultiByte(CP_ACP, 0, w, int(count), &(*out)[0], n, nullptr, nullptr) == n;
}

bool HasLineBreakOrNul(const std::string& s) { return s.find_first_of(std::string("\r\n\0", 3)) != std::string::npos; }

// Texts the private-profile format cannot carry: the file would hold other
// sections, keys or values than the caller wrote.
bool WritableAsGiven(const std::string& file, const std::string& section, const std::string& key,
                     const std::string& value) {
  if (HasLineBreakOrNul(file) || HasLineBreakOrNul(section) || HasLineBreakOrNul(key) || HasLineBreakOrNul(value))
    return false;
  if (section.find(']') != std::string::npos) return false;
  if (key.find('=') != std::string::npos) return false;
  const std::string lead = TrimLeft(key);
  return lead.empty() || (lead[0] != '[' && lead[0] != ';');
}

void ReportReadFailure() { DebugLine("EXCEPTION --- Utils.ReadIniString()  " + LastErrorText()); }

}  // namespace

std::string ReadIniString(const std::string& file, const std::string& section, const std::string& key,
                          const std::string& def) {
  // An empty file name would make the system read WIN.INI.
  if (file.empty() || section.empty() || key.empty()) return def;
  try {
    std::wstring wFile, wSection, wKey, wDef;
    if (!Wide(file, &wFile) || !Wide(section, &wSection) || !Wide(key, &wKey) || !Wide(def, &wDef)) {
      ReportReadFailure();
      return def;
    }
    std::vector<wchar_t> buf(kIniValueMax + 1, L'\0');
    const DWORD n = GetPrivateProfileStringW(wSection.c_str(), wKey.c_str(), wDef.c_str(), buf.data(),
                                             DWORD(buf.size()), wFile.c_str());
    // A missing key gives back the default; an empty value gives 0
    // characters, and then the default too.
    if (n == 0) return def;
    std::string value;
    if (!Narrow(buf.data(), n < buf.size() ? n : buf.size() - 1, &value)) {
      ReportReadFailure();
      return def;
    }
    return value;
  } catch (const std::bad_alloc&) {
    ReportReadFailure();
  }
  return def;
}

int64_t ReadIniInt(const std::string& file, const std::string& section, const std::string& key, int64_t def) {
  return StrToInt64Def(ReadIniString(file, section, key, IntToStr(def)), def);
}

bool WriteIniString(const std::string& file, const std::string& section, const std::string& key,
                    const std::string& value) {
  if (file.empty() || section.empty() || key.empty()) return false;
  if (!WritableAsGiven(file, section, key, value)) return false;
  try {
    std::wstring wFile, wSection, wKey, wValue;
    if (!Wide(file, &wFile) || !Wide(section, &wSection) || !Wide(key, &wKey) || !Wide(value, &wValue)) return false;
    return WritePrivateProfileStringW(wSection.c_str(), wKey.c_str(), wValue.c_str(), wFile.c_str()) != FALSE;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool WriteIniInt(const std::string& file, const std::string& section, const std::string& key, int64_t value) {
  return WriteIniString(file, section, key, IntToStr(value));
}
