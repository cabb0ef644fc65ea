// The system facts behind the special folders: the two shell queries,
// bound by name at every use, and the file system.
#include "env/folders.h"

#include <windows.h>

namespace {

using SHGetSpecialFolderPathAFn = BOOL(WINAPI*)(HWND, LPSTR, int, BOOL);
using SHGetFolderPathAFn = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPSTR);

constexpr size_t kAnswerBuffer = 1025;
constexpr DWORD kFolderTypeCurrent = 0;  // SHGFP_TYPE_CURRENT

class SystemFolderFacts : public FolderFacts {
 public:
  std::string ShellQueryA(int csidl) override {
    auto query = reinterpret_cast<SHGetSpecialFolderPathAFn>(LoadProc("shell32.dll", "SHGetSpecialFolderPathA"));
    char buf[kAnswerBuffer] = {};
    if (!query || !query(nullptr, buf, csidl, FALSE)) return std::string();
    buf[kAnswerBuffer - 1] = '\0';
    return buf;
  }
  std::string ShellQueryB(int csidl) override {
    auto query = reinterpret_cast<SHGetFolderPathAFn>(LoadProc("SHFolder.dll", "SHGetFolderPathA"));
    char buf[kAnswerBuffer] = {};
    if (!query || query(nullptr, csidl, nullptr, kFolderTypeCurrent, buf) != 0) return std::string();
    buf[kAnswerBuffer - 1] = '\0';
    return buf;
  }
  bool DirectoryExists(const std::string& path) override {
    const DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }
  std::string WindowsDir() override { return GetWindowsDir(false); }
  std::string RegisteredOwner() override {
    // Asked at most once per folder: it costs two registry reads.
    if (!ownerRead_) {
      owner_ = GetRegisteredOwner();
      ownerRead_ = true;
    }
    return owner_;
  }

 private:
  std::string owner_;
  bool ownerRead_ = false;
};

}  // namespace

std::string GetSpecialFolder(SpecialFolder which, bool trailingBackslash) {
  SystemFolderFacts facts;
  return ResolveSpecialFolder(which, trailingBackslash, facts);
}
