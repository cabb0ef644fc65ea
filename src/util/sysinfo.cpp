// The portable rules of the system-information unit: path texts, the
// version record and small arithmetic. No system calls here.
#include "util/sysinfo.h"

#include <vector>

#include "util/text.h"
#include "util/version.h"

namespace {

// For each byte of s, whether it is the second byte of a double-byte
// character. Only a forward scan can tell: a byte with a lead byte's value
// may itself be a second byte.
std::vector<bool> SecondBytes(const std::string& s, LeadByteTest isLead) {
  std::vector<bool> second(s.size(), false);
  if (!isLead) return second;
  for (size_t i = 0; i < s.size(); ++i) {
    if (isLead(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) second[++i] = true;
  }
  return second;
}

// Position of the last real backslash (not a second byte), or npos.
size_t LastBackslash(const std::string& s, const std::vector<bool>& second, size_t end) {
  for (size_t i = end; i > 0; --i) {
    if (s[i - 1] == '\\' && !second[i - 1]) return i - 1;
  }
  return std::string::npos;
}

bool EndsWithRealBackslash(const std::string& s, const std::vector<bool>& second) {
  return !s.empty() && s.back() == '\\' && !second[s.size() - 1];
}

}  // namespace

std::string BaseName(const std::string& path, bool all) {
  const std::vector<bool> second = SecondBytes(path, IsAnsiLeadByte);
  size_t start = 0;
  for (size_t i = path.size(); i > 0; --i) {
    const char c = path[i - 1];
    if ((c == '\\' && !second[i - 1]) || c == '/' || c == ':') {
      start = i;
      break;
    }
  }
  std::string name = path.substr(start);
  // "." never occurs as the second byte of a double-byte character.
  const size_t dot = all ? name.find('.') : name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string RemoveTrailingBackslash(const std::string& path, LeadByteTest isLead) {
  if (path == "\\") return std::string();
  std::string s = path;
  if (s.size() > 1 && EndsWithRealBackslash(s, SecondBytes(s, isLead))) s.pop_back();
  return s;
}

std::string CollapseBackslashes(const std::string& path, bool stripTrailing, LeadByteTest isLead) {
  std::string s = path;
  if (s.size() >= 3) {
    std::vector<bool> second = SecondBytes(s, isLead);
    // The first and the last byte never change below: a pair at the start
    // or ending at the end is kept, and only the first "\" of a pair that
    // lies strictly inside is deleted.
    const bool fieldList = s.front() == s.back();
    const char listSeparator = s.front();
    for (size_t i = s.size() - 2; i >= 1; --i) {
      if (s[i] != '\\' || s[i + 1] != '\\') continue;
      if (i + 1 == s.size() - 1) continue;                 // ends at the last character
      if (second[i]) continue;                             // trail byte of a double-byte character
      if (fieldList && s[i - 1] == listSeparator) continue;  // a network path inside a field list
      s.erase(i, 1);
      second.erase(second.begin() + static_cast<std::ptrdiff_t>(i));
    }
  }
  return stripTrailing ? RemoveTrailingBackslash(s, isLead) : s;
}

std::string FolderWithBackslash(const std::string& folder, bool trailing, LeadByteTest isLead) {
  std::string s = folder;
  if (s.size() > 2 && EndsWithRealBackslash(s, SecondBytes(s, isLead))) s.pop_back();
  if (trailing && !s.empty() && !EndsWithRealBackslash(s, SecondBytes(s, isLead))) s.push_back('\\');
  return s;
}

std::string ParentFolder(const std::string& path, LeadByteTest isLead) {
  const std::vector<bool> second = SecondBytes(path, isLead);
  size_t end = path.size();
  if (end > 1 && EndsWithRealBackslash(path, second)) --end;
  const size_t at = LastBackslash(path, second, end);
  if (at == std::string::npos) return std::string();
  std::string parent = path.substr(0, at);
  if (parent.size() == 2 && parent[1] == ':') parent.push_back('\\');
  return parent;
}

OsVersion AdjustOsVersion(const OsVersion& reported, const std::string& kernelProductVersion) {
  OsVersion v = reported;
  if (v.major > 5 && v.minor > 2) {
    const std::string three = FormatVersion(kernelProductVersion, 1, 3);
    const size_t dot1 = three.find('.');
    const size_t dot2 = three.find('.', dot1 + 1);
    const int64_t major = StrToInt64Def(three.substr(0, dot1), 0);
    if (major > 0 && dot1 != std::string::npos && dot2 != std::string::npos) {
      v.major = static_cast<uint32_t>(major);
      v.minor = static_cast<uint32_t>(StrToInt64Def(three.substr(dot1 + 1, dot2 - dot1 - 1), 0));
      v.build = static_cast<uint32_t>(StrToInt64Def(three.substr(dot2 + 1), 0));
    }
  }
  return v;
}

bool OsIsNT(const OsVersion& v) { return v.platformId == kPlatformNT; }
bool OsIsXP(const OsVersion& v) { return OsIsNT(v) && v.major == 5 && v.minor == 1; }
bool OsIsWin8OrLater(const OsVersion& v) {
  return OsIsNT(v) && (v.major > 6 || (v.major == 6 && v.minor >= 2));
}

std::string RegisteredInfoKey(bool nt) {
  const std::string key = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
  return nt ? ReplaceText(key, "Windows", "Windows NT") : key;
}

bool IsDeveloperCode(const std::string& dvxValue) { return Trim(dvxValue) == kDeveloperModeCode; }

WindowOrigin CenterInArea(int areaLeft, int areaTop, int areaRight, int areaBottom, int width, int height) {
  WindowOrigin o;
  o.left = areaLeft + (areaRight - areaLeft - width) / 2;
  o.top = areaTop + (areaBottom - areaTop - height) / 2;
  if (o.left < areaLeft) o.left = areaLeft;
  if (o.top < areaTop) o.top = areaTop;
  return o;
}
