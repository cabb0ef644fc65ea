// The package writer: turns a PackageDef into a setup executable (a copy of
// stub.exe with the package appended) or, for a spanned package, into its
// part files. The layout itself (trailer, checksum, tokens, record headers,
// chunk and part names, DOS stamps) comes from package/layout.h, the same
// description the stub reads with.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "manifest.h"
#include "package/layout.h"

namespace stubpack {

// Whether image is a stub executable a package can be written onto: "MZ",
// e_lfanew (u32 at 0x3C) = 256 and "PE\0\0" at 256, and no package end
// pointer yet (bytes 248..255 zero).
bool CheckStubImage(const std::string& image, std::string* error);

// i32 length n (negative when stored is set) followed by the bytes.
std::string LengthPrefixed(const std::string& bytes, bool stored = false);

// The stored form of a token: pkg::EncodeToken with a seed taken from the
// text and its purpose, so that a build is reproducible.
std::string StoredToken(const std::string& plain, const std::string& purpose);

// Header blocks. Each checks its texts (no byte that would break the
// field list) and says what is wrong in error.
bool BuildLanguageBlock(const PackageDef& def, std::string* block, std::vector<std::string>* warnings,
                        std::string* error);
bool BuildConfigBlock(const PackageDef& def, std::string* block, std::string* error);
bool BuildDownloadBlock(const PackageDef& def, std::string* block, std::string* error);

// One file record as it is stored: the i32 length and the bytes of
// header + NUL + data, deflated at `level` (a zlib stream) or stored as is
// (level kStored, negative length).
bool MakeRecordBlock(const std::string& header, const std::string& data, int level, std::string* block,
                     std::string* error);

// Space table from the sizes of the files the stub will write: entry 0 the
// plain total, entry i every file rounded up to clusters of 256 * 2^i
// bytes; `extra` is added to every entry. An entry above 4 GiB - 1 is cut
// to 4294967295 and *clamped set.
void ComputeSpaceTable(const std::vector<uint64_t>& fileSizes, uint64_t extra, uint32_t out[pkg::kSpaceEntries],
                       bool* clamped);

struct WrittenFile {
  std::string path;
  uint64_t size = 0;          // file size, padding included
  uint64_t packageEnd = 0;    // E
  uint32_t records = 0;
  uint32_t checksum = 0;      // as stored
  bool stubImage = false;
  bool continues = false;
};

struct BuildReport {
  std::vector<WrittenFile> files;  // in order: the setup file first
  std::vector<std::string> warnings;
  uint32_t space[pkg::kSpaceEntries] = {};
  uint32_t totalRecords = 0;
};

// Checks the definition, then writes every output file. On failure nothing
// is left at the output paths that was not there before.
bool BuildPackage(const PackageDef& def, BuildReport* report, std::string* error);

}  // namespace stubpack
