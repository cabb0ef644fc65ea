// Hand-made package files for the reader tests: small enough to see every
// byte, independent of the builder so the two can check each other.
#pragma once

#include <zlib.h>

#include <cstring>
#include <string>
#include <vector>

#include "package/layout.h"

namespace fixture {

inline void AppendI32(std::string& s, int32_t v) {
  uint8_t b[4];
  pkg::PutU32(b, uint32_t(v));
  s.append(reinterpret_cast<char*>(b), 4);
}

inline std::string Block(const std::string& bytes) {
  std::string s;
  AppendI32(s, int32_t(bytes.size()));
  return s + bytes;
}

inline std::string Deflate(const std::string& raw) {
  uLongf n = compressBound(uLong(raw.size()));
  std::string out(n, '\0');
  compress2(reinterpret_cast<Bytef*>(&out[0]), &n, reinterpret_cast<const Bytef*>(raw.data()), uLong(raw.size()), 9);
  out.resize(n);
  return out;
}

// A record block: compressed (positive length) or stored (negative).
inline std::string Record(const std::string& name, uint32_t stamp, const std::string& data, bool stored = false) {
  std::string content = pkg::MakeRecordHeader(name, stamp);
  content.push_back('\0');
  content += data;
  std::string s;
  if (stored) {
    AppendI32(s, -int32_t(content.size()));
    return s + content;
  }
  std::string z = Deflate(content);
  AppendI32(s, int32_t(z.size()));
  return s + z;
}

// A minimal stub image: "MZ" at 0, "PE" at 256, `size` bytes in all.
inline std::string StubImage(size_t size = 1024) {
  std::string s(size, '\0');
  s[0] = 'M';
  s[1] = 'Z';
  s[256] = 'P';
  s[257] = 'E';
  return s;
}

inline std::string Section(const std::string& name, const std::vector<std::string>& entries) {
  std::string s = "\x01" + name + "\x01";
  for (const auto& e : entries) s += e + "\x01";
  return s;
}

struct Package {
  std::string image = StubImage();
  std::string language = "\x02" + Section("English", {"s0=Demo Setup"}) + "\x02";
  std::string config = "|http://127.0.0.1/u|demo.info|agent.exe||0|";
  std::string download;  // a third header block when not empty
  std::vector<std::string> records;
  pkg::Trailer trailer;
  std::string after;  // bytes after the package end (a signature, say)
  bool setEndPointer = true;

  Package() {
    trailer.format = 1;
    trailer.magic = pkg::kMagic;
    trailer.checksum = pkg::kChecksumOff;
    trailer.length = pkg::kTrailerSize;
    trailer.reserved64 = 1;
  }

  std::string Bytes() const {
    std::string s = image;
    pkg::Trailer t = trailer;
    t.packageStart = uint32_t(s.size());
    t.headerBlocks = download.empty() ? 2 : 3;
    if (trailer.headerBlocks) t.headerBlocks = trailer.headerBlocks;
    s += Block(language) + Block(config);
    if (!download.empty()) s += Block(download);
    for (const auto& r : records) s += r;
    t.recordCount = uint32_t(records.size());
    uint8_t tb[pkg::kTrailerSize];
    pkg::SerializeTrailer(t, tb);
    s.append(reinterpret_cast<char*>(tb), sizeof tb);
    if (setEndPointer && s.size() >= 256) pkg::PutU32(reinterpret_cast<uint8_t*>(&s[252]), uint32_t(s.size()));
    return s + after;
  }
};

}  // namespace fixture
