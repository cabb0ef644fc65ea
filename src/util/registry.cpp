// Registry path rules and value texts; no system calls here.
#include "util/registry.h"

#include "util/text.h"

namespace {

struct RootName {
  const char* longName;
  const char* shortName;
  RegRoot root;
};

constexpr RootName kRoots[] = {
    {"HKEY_CLASSES_ROOT", "HKCR", RegRoot::ClassesRoot},
    {"HKEY_CURRENT_USER", "HKCU", RegRoot::CurrentUser},
    {"HKEY_LOCAL_MACHINE", "HKLM", RegRoot::LocalMachine},
    {"HKEY_USERS", "HKU", RegRoot::Users},
    {"HKEY_CURRENT_CONFIG", "HKCC", RegRoot::CurrentConfig},
    {"HKEY_DYN_DATA", "HKDD", RegRoot::DynData},
};

}  // namespace

RegRoot RegRootFromName(const std::string& name) {
  const std::string upper = UpperCase(name);
  for (const RootName& r : kRoots) {
    if (upper == r.longName || upper == r.shortName) return r.root;
  }
  return RegRoot::CurrentUser;
}

const char* RegRootName(RegRoot root) {
  for (const RootName& r : kRoots) {
    if (r.root == root) return r.longName;
  }
  return "HKEY_CURRENT_USER";
}

RegPath SplitRegPath(const std::string& path) {
  RegPath p;
  const std::string trimmed = Trim(path);
  if (!StartsWith("HK", trimmed, true)) {
    p.subkey = trimmed;
    return p;
  }
  const size_t slash = trimmed.find('\\');
  if (slash == std::string::npos) {
    p.root = RegRootFromName(trimmed);
    return p;
  }
  p.root = RegRootFromName(trimmed.substr(0, slash));
  p.subkey = trimmed.substr(slash + 1);
  return p;
}

std::string RegValueText(uint32_t type, const std::string& bytes) {
  if (type == kRegDword && bytes.size() == 4) {
    const auto b = [&](size_t i) { return uint32_t(static_cast<unsigned char>(bytes[i])); };
    return IntToStr(int64_t(b(0) | b(1) << 8 | b(2) << 16 | b(3) << 24));
  }
  if (type == kRegMultiSz && bytes.size() > 2) {
    size_t end = bytes.size();
    while (end > 0 && bytes[end - 1] == '\0') --end;
    std::string text;
    for (size_t i = 0; i < end; ++i) {
      if (bytes[i] == '\0') {
        text += "<0>";
      } else {
        text += bytes[i];
      }
    }
    return text;
  }
  return bytes.substr(0, bytes.find('\0'));
}
