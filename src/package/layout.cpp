#include "package/layout.h"

#include <cstring>
#include <vector>

#include "util/scramble.h"
#include "util/sub.h"
#include "util/text.h"

namespace pkg {

uint32_t GetU32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void PutU32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}

void ParseTrailer(const uint8_t* bytes, uint32_t L, Trailer* out) {
  *out = Trailer();
  // Only the first min(74, L) - 4 bytes are fields; the rest reads as 0.
  uint8_t b[kTrailerSize] = {};
  uint32_t n = (L < kTrailerSize ? L : kTrailerSize);
  n = n >= 4 ? n - 4 : 0;
  std::memcpy(b, bytes, n);
  out->format = b[kTrFormat];
  out->headerBlocks = b[kTrHeaderBlocks];
  out->packageStart = GetU32(b + kTrPackageStart);
  out->recordCount = GetU32(b + kTrRecordCount);
  out->magic = GetU32(b + kTrMagic);
  out->checksum = GetU32(b + kTrChecksum);
  std::memcpy(out->reserved20, b + 20, 8);
  for (int i = 0; i < kSpaceEntries; ++i) out->space[i] = GetU32(b + kTrSpace + 4 * i);
  out->reserved64 = b[kTrReserved64];
  out->options = b[kTrOptions];
  out->webStub = b[kTrWebStub];
  out->confirmDownload = b[kTrConfirmDownload];
  out->installsAgent = b[kTrInstallsAgent];
  out->isAgent = b[kTrIsAgent];
  out->length = L;
  if (out->headerBlocks == 0) out->headerBlocks = 2;
}

void SerializeTrailer(const Trailer& t, uint8_t out[kTrailerSize]) {
  std::memset(out, 0, kTrailerSize);
  out[kTrFormat] = t.format;
  out[kTrHeaderBlocks] = t.headerBlocks;
  PutU32(out + kTrPackageStart, t.packageStart);
  PutU32(out + kTrRecordCount, t.recordCount);
  PutU32(out + kTrMagic, t.magic);
  PutU32(out + kTrChecksum, t.checksum);
  std::memcpy(out + 20, t.reserved20, 8);
  for (int i = 0; i < kSpaceEntries; ++i) PutU32(out + kTrSpace + 4 * i, t.space[i]);
  out[kTrReserved64] = t.reserved64;
  out[kTrOptions] = t.options;
  out[kTrWebStub] = t.webStub;
  out[kTrConfirmDownload] = t.confirmDownload;
  out[kTrInstallsAgent] = t.installsAgent;
  out[kTrIsAgent] = t.isAgent;
  PutU32(out + kTrLength, t.length);
}

size_t MemorySource::ReadAt(uint64_t offset, void* buf, size_t n) {
  if (offset >= size_) return 0;
  size_t avail = size_t(size_ - offset);
  if (n > avail) n = avail;
  std::memcpy(buf, data_ + offset, n);
  return n;
}

bool IsStubImage(ByteSource& f) {
  uint8_t mz[2], pe[2];
  return f.ReadExact(0, mz, 2) && f.ReadExact(kPeHeaderOffset, pe, 2) && mz[0] == 0x4D && mz[1] == 0x5A &&
         pe[0] == 0x50 && pe[1] == 0x45;
}

uint64_t GetPackageEnd(ByteSource& f) {
  uint8_t b[8];
  if (!f.ReadExact(kEndPointerOffset, b, 8)) return 0;
  return uint64_t(GetU32(b)) << 32 | GetU32(b + 4);
}

uint64_t GetPackageEnd(const uint8_t* image, size_t size) {
  if (size < kEndPointerOffset + 8) return 0;
  return uint64_t(GetU32(image + kEndPointerOffset)) << 32 | GetU32(image + kEndPointerOffset + 4);
}

uint64_t PackageEndOf(ByteSource& f) {
  uint64_t size = f.Size();
  if (!IsStubImage(f)) return size;
  uint64_t e = GetPackageEnd(f);
  if (e == 0 || e > size) return size;
  return e;
}

bool ReadTrailer(ByteSource& f, Trailer* out) {
  *out = Trailer();
  uint64_t e = PackageEndOf(f);
  uint8_t lb[4];
  if (e < 4 || !f.ReadExact(e - 4, lb, 4)) return false;
  uint32_t L = GetU32(lb);
  if (L < 4 || L > e) return false;
  uint8_t b[kTrailerSize] = {};
  uint32_t want = (L < kTrailerSize ? L : kTrailerSize) - 4;
  if (!f.ReadExact(e - L, b, want)) return false;
  ParseTrailer(b, L, out);
  return true;
}

uint32_t ComputeChecksum(ByteSource& f, uint32_t L) {
  uint64_t size = f.Size();
  if (size > kChecksumMaxFile) return kChecksumOff;
  // Arithmetic as the stub has always done it, on a signed count.
  int64_t n = int64_t(size);
  uint8_t p252[4] = {};
  uint32_t at252 = f.ReadExact(252, p252, 4) ? GetU32(p252) : 0;
  if (IsStubImage(f) && at252 != 0) n = at252;
  n -= L;
  uint64_t offset = 0;
  if (at252 != 0) {
    n -= 512;
    offset = 512;
  }
  uint32_t sum = 0;
  std::vector<uint8_t> block(4096);
  for (;;) {
    size_t got = f.ReadAt(offset, block.data(), block.size());
    offset += got;
    for (size_t i = 0; i + 4 <= got; i += 4) {
      n -= 4;
      if (n > 4) sum += GetU32(&block[i]);
    }
    if (n > 4) sum += kChecksumOff;
    if (got < block.size()) break;
  }
  return sum;
}

// ------------------------------------------------------------------ tokens

namespace {

int HexValue(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// A small deterministic generator for the builder's filler bytes.
struct Rng {
  uint32_t s;
  uint32_t Next() {
    s ^= s << 13;
    s ^= s >> 17;
    s ^= s << 5;
    return s;
  }
};

}  // namespace

std::string DecodeToken(const std::string& stored, bool* ok) {
  if (ok) *ok = false;
  std::string b;
  for (size_t i = 0; i < stored.size(); i += 2) {
    // Each character was raised by 50; each pair is then one hex byte.
    int v = 0;
    bool good = true;
    for (size_t j = i; j < i + 2 && j < stored.size(); ++j) {
      int d = HexValue(uint8_t(uint8_t(stored[j]) - 50));
      if (d < 0) good = false;
      v = v * 16 + (d < 0 ? 0 : d);
    }
    b.push_back(char(good ? v : 255));
  }
  size_t n = b.size();
  if (n <= 4) return std::string();
  uint8_t sum = 0;
  for (size_t i = 0; i < n; ++i)
    if (i != n - 2) sum = uint8_t(sum + uint8_t(b[i]));
  if (sum != uint8_t(b[n - 2])) return std::string();
  uint8_t k = uint8_t(b[0]) ^ uint8_t(b[n - 1]);
  for (size_t i = 1; i <= n - 2; ++i) b[i] = char(uint8_t(b[i]) ^ k);
  size_t p = uint8_t(b[1]), q = uint8_t(b[2]);
  // The counts must leave a token inside the decoded bytes.
  if (p + q + 4 > n) return std::string();
  if (ok) *ok = true;
  return b.substr(3 + p, n - p - q - 4);
}

bool TokensMatch(const std::string& storedA, const std::string& storedB) {
  bool okA = false, okB = false;
  std::string a = DecodeToken(storedA, &okA);
  std::string b = DecodeToken(storedB, &okB);
  return okA && okB && a == b;
}

std::string EncodeToken(const std::string& plain, uint32_t seed) {
  Rng rng{seed ? seed : 0x9E3779B9u};
  size_t p = 1 + rng.Next() % 6;
  size_t fill = rng.Next() % 6;  // filler bytes after the token
  // The decoder takes n - p - q - 4 bytes: q counts the trailing fillers
  // plus one.
  size_t q = fill + 1;
  std::vector<uint8_t> b;
  uint8_t mask1 = uint8_t(rng.Next()), mask2 = uint8_t(rng.Next());
  uint8_t k = mask1 ^ mask2;
  b.push_back(mask1);
  b.push_back(uint8_t(p) ^ k);
  b.push_back(uint8_t(q) ^ k);
  for (size_t i = 0; i < p; ++i) b.push_back(uint8_t(rng.Next()) ^ k);
  for (unsigned char c : plain) b.push_back(c ^ k);
  for (size_t i = 0; i < fill; ++i) b.push_back(uint8_t(rng.Next()) ^ k);
  b.push_back(0);  // check byte, filled below
  b.push_back(mask2);
  size_t n = b.size();
  uint8_t sum = 0;
  for (size_t i = 0; i < n; ++i)
    if (i != n - 2) sum = uint8_t(sum + b[i]);
  b[n - 2] = sum;
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (uint8_t v : b) {
    out.push_back(char(kHex[v >> 4] + 50));
    out.push_back(char(kHex[v & 15] + 50));
  }
  return out;
}

bool SplitTokenText(const std::string& text, std::string* storedToken, std::string* rest) {
  storedToken->clear();
  rest->clear();
  std::string t = StartsWith("Scrambled=01", text, false) ? ScrambleText(text, false) : text;
  size_t bars[4];
  size_t from = 0;
  for (int i = 0; i < 4; ++i) {
    size_t at = t.find('|', from);
    if (at == std::string::npos) return false;
    bars[i] = at;
    from = at + 1;
  }
  *storedToken = t.substr(bars[0] + 1, bars[1] - bars[0] - 1);
  *rest = t.substr(bars[3] + 1);
  return true;
}

// ----------------------------------------------------------------- records

RecordHeader SplitRecordHeader(const std::string& header) {
  RecordHeader r;
  if (header.find('*') != std::string::npos) r.launchName = header;
  r.name = SUB::Item(header, 0, "");
  std::string stamp = SUB::Item(header, 1, "");
  int64_t v = 0;
  r.stamp = TextToInt64(stamp, &v) ? uint32_t(v) : 0;
  size_t star = r.name.find('*');
  if (star != std::string::npos) {
    r.launchName = r.name;
    r.name.resize(star);
  }
  return r;
}

std::string MakeRecordHeader(const std::string& name, uint32_t stamp) {
  return "|" + name + "|" + IntToStr(stamp) + "|";
}

bool IsSafeRecordName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (unsigned char c : name) {
    if (c < 32 || std::strchr("\\/:*?\"<>|", c)) return false;
  }
  char last = name.back();
  if (last == '.' || last == ' ') return false;
  // Device names stay devices whatever extension follows them.
  std::string stem = UpperCase(name.substr(0, name.find('.')));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const char* d : kDevices)
    if (stem == d) return false;
  if (stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) && stem[3] >= '0' &&
      stem[3] <= '9')
    return false;
  return true;
}

std::string ChunkName(const std::string& name, uint32_t index) {
  if (index == 0) return name;
  return name + "." + ZeroPadInt(index + 1, 5);
}

std::string PartBaseName(const std::string& firstPartPath) {
  if (EndsWith(".001", firstPartPath, true)) return firstPartPath.substr(0, firstPartPath.size() - 4);
  return firstPartPath;
}

std::string PartFileName(const std::string& base, uint32_t j) { return base + "." + ZeroPadInt(j, 3); }

uint32_t EncodeDosStamp(int year, int month, int day, int hour, int minute, int second) {
  if (year < 1980) year = 1980;
  if (year > 2107) year = 2107;
  uint32_t date = uint32_t((year - 1980) << 9 | month << 5 | day);
  uint32_t time = uint32_t(hour << 11 | minute << 5 | second / 2);
  return date << 16 | time;
}

bool DecodeDosStamp(uint32_t stamp, int* year, int* month, int* day, int* hour, int* minute, int* second) {
  uint32_t date = stamp >> 16, time = stamp & 0xFFFF;
  *day = int(date & 31);
  *month = int(date >> 5 & 15);
  *year = int(date >> 9) + 1980;
  *second = int(time & 31) * 2;
  *minute = int(time >> 5 & 63);
  *hour = int(time >> 11);
  return *day >= 1 && *month >= 1 && *month <= 12 && *hour < 24 && *minute < 60 && *second < 60;
}

std::string BuildAgentCopy(const std::string& imageAndHeaders, const Trailer& trailer) {
  std::string out = imageAndHeaders;
  if (out.size() >= 256) PutU32(reinterpret_cast<uint8_t*>(&out[252]), 0);
  Trailer t = trailer;
  t.isAgent = 1;
  t.length = kTrailerSize;
  uint8_t b[kTrailerSize];
  SerializeTrailer(t, b);
  out.append(reinterpret_cast<const char*>(b), kTrailerSize);
  return out;
}

}  // namespace pkg
