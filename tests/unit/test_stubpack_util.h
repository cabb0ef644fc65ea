// Shared helpers of the stubpack tests: a temporary folder, a fake stub
// image, small files with chosen modification times, and reading a package
// back record by record with the stub's own reader.
#pragma once

#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "fsutil.h"
#include "manifest.h"
#include "package/layout.h"
#include "package/reader.h"
#include "package/records.h"
#include "writer.h"

namespace sptest {

// A fresh folder under the system's temporary folder, removed with its
// files at the end of the test.
class TempDir {
 public:
  TempDir() {
    std::error_code ec;
    std::string tmpl = std::filesystem::temp_directory_path(ec).string() + "/stubpack-test-XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data())) path_ = buf.data();
  }
  ~TempDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline void PutFile(const std::string& path, const std::string& data) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return;
  std::fwrite(data.data(), 1, data.size(), f);
  std::fclose(f);
}

inline std::string GetFile(const std::string& path) {
  std::string out, error;
  stubpack::ReadWholeFile(path, &out, &error);
  return out;
}

inline void SetMtime(const std::string& path, time_t t) {
  struct utimbuf u;
  u.actime = t;
  u.modtime = t;
  utime(path.c_str(), &u);
}

// A fake stub image: "MZ", e_lfanew = 256, "PE\0\0" at 256, `size` bytes.
inline std::string FakeStub(size_t size = 1024) {
  std::string s(size, '\0');
  s[0] = 'M';
  s[1] = 'Z';
  s[0x3C] = 0x00;
  s[0x3D] = 0x01;  // 256
  std::memcpy(&s[256], "PE\0\0", 4);
  for (size_t i = 512; i < size; ++i) s[i] = char(i * 7);  // some code bytes
  return s;
}

// Deterministic bytes that deflate poorly.
inline std::string NoiseBytes(size_t n, uint32_t seed = 1) {
  std::string s(n, '\0');
  uint32_t x = seed * 2654435761u + 1;
  for (size_t i = 0; i < n; ++i) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    s[i] = char(x);
  }
  return s;
}

// One record as the stub sees it.
struct ReadBack {
  pkg::RecordHeader header;
  std::string data;
  bool compressed = false;
  uint32_t storedLength = 0;
  uint64_t offset = 0;  // of the i32 length
};

class CollectSink final : public pkg::RecordSink {
 public:
  bool Begin(const pkg::RecordHeader& h) override {
    header = h;
    return true;
  }
  bool Write(const uint8_t* p, size_t n) override {
    data.append(reinterpret_cast<const char*>(p), n);
    return true;
  }
  pkg::RecordHeader header;
  std::string data;
};

// Reads one part file the way extraction does: the trailer, then the
// header blocks its trailer counts, then every record. `why` gets the first
// failure; an empty `why` means every record inflated.
struct PartRead {
  pkg::Trailer trailer;
  std::vector<std::string> headerBlocks;
  std::vector<ReadBack> records;
  std::string why;
};

inline PartRead ReadPart(const std::string& path) {
  PartRead r;
  auto f = pkg::OpenFileSource(path);
  if (!f) {
    r.why = "cannot open";
    return r;
  }
  if (!pkg::ReadTrailer(*f, &r.trailer) || !r.trailer.HasMagic()) {
    r.why = "no trailer";
    return r;
  }
  uint64_t end = pkg::PackageEndOf(*f) - r.trailer.length;
  pkg::BlockWalker walk(*f, r.trailer.packageStart, end);
  for (int i = 0;; ++i) {
    pkg::BlockRef b;
    uint64_t at = walk.Position();
    pkg::WalkStatus s = walk.Next(&b, &r.why);
    if (s == pkg::WalkStatus::End) break;
    if (s == pkg::WalkStatus::Damaged) return r;
    if (i < r.trailer.headerBlocks) {
      std::string text;
      pkg::ReadHeaderBlock(*f, b, &text, 1 << 20);
      r.headerBlocks.push_back(text);
      continue;
    }
    CollectSink sink;
    if (pkg::ReadRecord(*f, b, sink, &r.why) != pkg::RecordResult::Ok) {
      if (r.why.empty()) r.why = "record skipped";
      return r;
    }
    ReadBack rb;
    rb.header = sink.header;
    rb.data = sink.data;
    rb.compressed = b.compressed;
    rb.storedLength = b.length;
    rb.offset = at;
    r.records.push_back(rb);
  }
  r.why.clear();
  return r;
}

// A package definition over a fake stub in dir, with one launch record.
struct Builder {
  explicit Builder(const TempDir& d) : dir(d) {
    PutFile(dir / "stub.exe", FakeStub());
    def.stubPath = dir / "stub.exe";
    def.output = dir / "setup.exe";
    def.updateUrl = "http://127.0.0.1/updates";
    def.infoFile = "Product.info";
    def.agentName = "ProductAgent.exe";
    def.updateToken = "update-token-1";
    stubpack::LanguageSection en;
    en.name = "English";
    en.entries = {{"s0", "Product Setup"}, {"Charset", "0"}};
    def.languages.push_back(en);
    AddFile("Engine.exe*", "engine bytes");
  }

  // Adds a file with the given contents and returns its entry.
  stubpack::FileEntry& AddFile(const std::string& name, const std::string& data, int level = 9) {
    static int counter = 0;  // unique across builders sharing a folder
    std::string src = dir / ("src" + std::to_string(counter++));
    PutFile(src, data);
    SetMtime(src, 1455174796);  // 2016-02-11 07:13:16 UTC
    stubpack::FileEntry e;
    e.source = src;
    e.name = name;
    e.level = level;
    def.files.push_back(e);
    return def.files.back();
  }

  bool Build(std::string* error = nullptr) {
    std::string why;
    bool ok = stubpack::BuildPackage(def, &report, &why);
    if (error) *error = why;
    return ok;
  }

  const TempDir& dir;
  stubpack::PackageDef def;
  stubpack::BuildReport report;
};

}  // namespace sptest
