// Fuzz target: the package reader and the record reader on arbitrary bytes.
// Whatever the input, reading must neither crash, hang nor allocate what an
// unchecked field claims.
#include <cstddef>
#include <cstdint>

#include "package/reader.h"
#include "package/records.h"

namespace {

struct CountingSink final : pkg::RecordSink {
  size_t bytes = 0;
  bool Begin(const pkg::RecordHeader&) override { return true; }
  bool Write(const uint8_t*, size_t n) override {
    bytes += n;
    return true;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  pkg::MemorySource src(data, size);
  TGFileInfo info(src);
  (void)info.Text("s0", "x");
  (void)info.UpdateToken(true);
  (void)info.WebToken(true);
  (void)info.OriginalFileName();

  pkg::Trailer t;
  if (!pkg::ReadTrailer(src, &t) || !t.HasMagic()) return 0;
  (void)pkg::ComputeChecksum(src, t.length);
  uint64_t end = pkg::PackageEndOf(src);
  pkg::BlockWalker walk(src, t.packageStart, end - t.length);
  pkg::BlockRef b;
  std::string why;
  CountingSink sink;
  for (int i = 0; walk.Next(&b, &why) == pkg::WalkStatus::Ok && i < 10000; ++i) {
    if (i < t.headerBlocks) continue;
    if (pkg::ReadRecord(src, b, sink, &why) == pkg::RecordResult::Damaged) break;
  }
  return 0;
}
