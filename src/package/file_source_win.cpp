// Windows side of file access for the package reader: files are opened with
// reading and writing by others allowed (the running executable is open).
#include "package/layout.h"
#include "package/reader.h"
#include "util/handle_win.h"

namespace pkg {
namespace {

class Win32Source final : public ByteSource {
 public:
  Win32Source(UniqueHandle h, uint64_t size) : h_(std::move(h)), size_(size) {}
  uint64_t Size() const override { return size_; }
  size_t ReadAt(uint64_t offset, void* buf, size_t n) override {
    if (offset >= size_) return 0;
    LARGE_INTEGER li;
    li.QuadPart = LONGLONG(offset);
    if (!SetFilePointerEx(h_.get(), li, nullptr, FILE_BEGIN)) return 0;
    size_t total = 0;
    auto* p = static_cast<char*>(buf);
    while (total < n) {
      DWORD want = DWORD(n - total > 0x40000000 ? 0x40000000 : n - total), got = 0;
      if (!ReadFile(h_.get(), p + total, want, &got, nullptr) || got == 0) break;
      total += got;
    }
    return total;
  }

 private:
  UniqueHandle h_;
  uint64_t size_;
};

}  // namespace

std::unique_ptr<ByteSource> OpenFileSource(const std::string& path) {
  UniqueHandle h(NullIfInvalid(CreateFileA(path.c_str(), GENERIC_READ,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)));
  if (!h) return nullptr;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(h.get(), &size)) return nullptr;
  return std::unique_ptr<ByteSource>(new Win32Source(std::move(h), uint64_t(size.QuadPart)));
}

bool FileExists(const std::string& path) {
  DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace pkg

uint32_t ClusterSize(const std::string& path) {
  if (path.size() < 3) return 0;
  std::string root = path.substr(0, 3);
  DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
  if (!GetDiskFreeSpaceA(root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters)) return 0;
  return sectorsPerCluster * bytesPerSector;
}
