// Host side of file access for the package reader (stubpack, tests, fuzz).
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cstdio>

#include "package/layout.h"
#include "package/reader.h"

namespace pkg {
namespace {

class StdioSource final : public ByteSource {
 public:
  StdioSource(FILE* f, uint64_t size) : f_(f), size_(size) {}
  ~StdioSource() override { std::fclose(f_); }
  uint64_t Size() const override { return size_; }
  size_t ReadAt(uint64_t offset, void* buf, size_t n) override {
    if (offset >= size_ || fseeko(f_, off_t(offset), SEEK_SET) != 0) return 0;
    return std::fread(buf, 1, n, f_);
  }

 private:
  FILE* f_;
  uint64_t size_;
};

}  // namespace

std::unique_ptr<ByteSource> OpenFileSource(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return nullptr;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return nullptr;
  return std::unique_ptr<ByteSource>(new StdioSource(f, uint64_t(st.st_size)));
}

bool FileExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace pkg

uint32_t ClusterSize(const std::string& path) {
  struct statvfs vfs;
  if (path.empty() || statvfs(path.c_str(), &vfs) != 0) return 0;
  return uint32_t(vfs.f_bsize);
}
