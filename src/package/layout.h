// The package file: one description shared by the builder (stubpack) and the
// stub's reader. All integers are little-endian.
//
//   offset 0        stub image (a PE executable whose PE header is at 256)
//     248..255        package end pointer E: u32 high half, u32 low half
//                     (0 = "the package ends at the end of the file")
//   S               header block 1: language block      i32 n, n bytes
//                   header block 2: configuration block i32 n, n bytes
//                   header block 3: download block      (only when the
//                                   trailer's header-block count >= 3)
//                   file records                        i32 n, |n| bytes
//                     n > 0: one zlib stream; n < 0: stored as is.
//                     Contents: "|name|stamp|" NUL file-bytes
//   E-L .. E-1      trailer (L = 74, its own last u32)
//   E .. EOF        ignored (alignment, code signature)
//
// Trailer (74 bytes):
//    0 u8  format (1)              1 u8  header-block count (0 reads as 2)
//    2 u8[2] reserved              4 u32 package start S
//    8 u32 record count           12 u32 magic 0x4A3B2C1D
//   16 u32 checksum (1234 = off)  20 u8[8] reserved
//   28 u32[9] space table: [0] plain total, [i] for clusters of 256*2^i
//   64 u8  reserved (1)           65 u8  option bits (kOpt*)
//   66 u8  web stub               67 u8  confirm download
//   68 u8  installs agent         69 u8  is agent
//   70 u32 trailer length L
//
// Every length, count and offset read from a file is checked against the
// file before it is used: bad input makes the package "damaged", never a
// crash, a hang or an allocation sized by an unchecked field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace pkg {

constexpr uint32_t kMagic = 0x4A3B2C1D;
constexpr uint32_t kTrailerSize = 74;
constexpr uint32_t kChecksumOff = 1234;
constexpr uint64_t kChecksumMaxFile = 51200;  // larger files get 1234
constexpr uint32_t kChunkSize = 5242880;      // the builder splits files above this
constexpr uint32_t kPeHeaderOffset = 256;
constexpr uint32_t kEndPointerOffset = 248;
constexpr size_t kMaxRecordHeader = 4096;     // "|name|stamp|" before the NUL
constexpr int kSpaceEntries = 9;

// Option bits of trailer byte 65.
enum : uint8_t {
  kOptConfirmExtraction = 1 << 0,
  kOptContinues = 1 << 1,
  kOptRelaunchFromTemp = 1 << 2,
  kOptShowActivityBar = 1 << 3,
  kOptAgentTrace = 1 << 4,
};

// Field offsets inside the 74-byte trailer.
enum : uint32_t {
  kTrFormat = 0, kTrHeaderBlocks = 1, kTrPackageStart = 4, kTrRecordCount = 8,
  kTrMagic = 12, kTrChecksum = 16, kTrSpace = 28, kTrReserved64 = 64,
  kTrOptions = 65, kTrWebStub = 66, kTrConfirmDownload = 67,
  kTrInstallsAgent = 68, kTrIsAgent = 69, kTrLength = 70,
};

struct Trailer {
  uint8_t format = 0;
  uint8_t headerBlocks = 0;
  uint32_t packageStart = 0;
  uint32_t recordCount = 0;
  uint32_t magic = 0;
  uint32_t checksum = 0;
  uint8_t reserved20[8] = {};
  uint32_t space[kSpaceEntries] = {};
  uint8_t reserved64 = 0;
  uint8_t options = 0;
  uint8_t webStub = 0;
  uint8_t confirmDownload = 0;
  uint8_t installsAgent = 0;
  uint8_t isAgent = 0;
  uint32_t length = 0;

  bool HasMagic() const { return magic == kMagic; }
  bool Option(uint8_t bit) const { return (options & bit) != 0; }
};

uint32_t GetU32(const uint8_t* p);
void PutU32(uint8_t* p, uint32_t v);

// Fills a trailer from the first min(74, L) - 4 bytes at `bytes`; the fields
// beyond stay 0, the length field becomes L and a header-block count of 0
// becomes 2.
void ParseTrailer(const uint8_t* bytes, uint32_t L, Trailer* out);
// The 74 stored bytes of a trailer (its length field written as given).
void SerializeTrailer(const Trailer& t, uint8_t out[kTrailerSize]);

// ---------------------------------------------------------------- sources
// Random-access bytes of one file (or of memory). ReadAt returns how many
// bytes it read; fewer than asked means the end or a read error.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual uint64_t Size() const = 0;
  virtual size_t ReadAt(uint64_t offset, void* buf, size_t n) = 0;
  bool ReadExact(uint64_t offset, void* buf, size_t n) { return ReadAt(offset, buf, n) == n; }
};

class MemorySource final : public ByteSource {
 public:
  MemorySource(const void* data, size_t size) : data_(static_cast<const uint8_t*>(data)), size_(size) {}
  uint64_t Size() const override { return size_; }
  size_t ReadAt(uint64_t offset, void* buf, size_t n) override;

 private:
  const uint8_t* data_;
  size_t size_;
};

// Opens a file for reading, other readers and writers allowed; null when it
// cannot be opened. Implemented per platform.
std::unique_ptr<ByteSource> OpenFileSource(const std::string& path);
bool FileExists(const std::string& path);

// ------------------------------------------------------------ locating E
bool IsStubImage(ByteSource& f);
// The raw package end pointer (u32 at 248 << 32 | u32 at 252); 0 when the
// file is too short to hold one.
uint64_t GetPackageEnd(ByteSource& f);
uint64_t GetPackageEnd(const uint8_t* image, size_t size);
// Where the package ends: the pointer of a stub image when it is nonzero,
// otherwise the file size. A pointer beyond the file end is clamped to it.
uint64_t PackageEndOf(ByteSource& f);

// Locates and reads the trailer (zero-filled first). Returns false when the
// file cannot hold the trailer it announces (L < 4 or L > E), leaving it
// zero; a trailer without the magic still returns true.
bool ReadTrailer(ByteSource& f, Trailer* out);

// ---------------------------------------------------------------- checksum
// The package checksum of one file, given its trailer length L, exactly as
// the stub has always computed it (1234 for files above 51,200 bytes).
uint32_t ComputeChecksum(ByteSource& f, uint32_t L);
inline bool ChecksumPasses(uint32_t computed, uint32_t stored) {
  return computed == stored || computed == kChecksumOff || stored == kChecksumOff;
}

// ------------------------------------------------------------------ tokens
// Decodes a stored package token. A token that does not decode gives ok =
// false and an empty text; such a token never matches anything.
std::string DecodeToken(const std::string& stored, bool* ok = nullptr);
// Whether two stored tokens decode, both, to the same text.
bool TokensMatch(const std::string& storedA, const std::string& storedB);
// The inverse of DecodeToken. `fillers` picks the random bytes (mask, filler
// counts, filler bytes); the same seed gives the same stored text.
std::string EncodeToken(const std::string& plain, uint32_t seed);
// Splits an inform text: unscrambles it when it starts with "Scrambled=01",
// then takes the token between its first and second "|" and the text after
// its fourth "|". Returns false (both outputs empty) without four "|".
bool SplitTokenText(const std::string& text, std::string* storedToken, std::string* rest);

// ----------------------------------------------------------------- records
// Splits a record header "|name|stamp|" (the text before the first NUL): the
// launch name is the whole header or the name when either holds "*"; the
// name is cut before its first "*". Stamp 0 when it is no number.
struct RecordHeader {
  std::string name;
  uint32_t stamp = 0;
  std::string launchName;  // empty unless this is the launch record
};
RecordHeader SplitRecordHeader(const std::string& header);
// The header text the builder writes for a record.
std::string MakeRecordHeader(const std::string& name, uint32_t stamp);

// Whether a record name (the part before any "*") may be created inside the
// target folder: a plain file name, no folder parts, no device name.
bool IsSafeRecordName(const std::string& name);

// Name of chunk i (0-based) of a file split into 5 MiB chunks: the name for
// chunk 0, then name.00002, name.00003, ...
std::string ChunkName(const std::string& name, uint32_t index);

// Part files of a spanned package: the base name drops a final ".001"; part
// j (1-based, j >= 2) is base + "." + three digits.
std::string PartBaseName(const std::string& firstPartPath);
std::string PartFileName(const std::string& base, uint32_t j);

// MS-DOS date and time stamps (local time, 2-second resolution).
uint32_t EncodeDosStamp(int year, int month, int day, int hour, int minute, int second);
bool DecodeDosStamp(uint32_t stamp, int* year, int* month, int* day, int* hour, int* minute, int* second);

// ------------------------------------------------------------- agent copy
// Builds an agent copy from the first part's bytes up to its first record:
// the u32 at 252 cleared, then the trailer with byte 69 set and length 74.
std::string BuildAgentCopy(const std::string& imageAndHeaders, const Trailer& trailer);

}  // namespace pkg
