// Host file helpers for stubpack: whole-file reads and writes, sizes and
// modification times, path joining, and an output file that is written
// under a temporary name and only renamed into place once it is complete
// (a failed build never leaves a half-written setup.exe behind).
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>

namespace stubpack {

struct FileFacts {
  uint64_t size = 0;
  time_t mtime = 0;
};

// Size and modification time of a regular file; false (with a reason) when
// it does not exist, is no regular file or cannot be examined.
bool StatFile(const std::string& path, FileFacts* facts, std::string* error);
// The whole file; false (with a reason) when it cannot be read. Refuses
// files above `limit` bytes.
bool ReadWholeFile(const std::string& path, std::string* out, std::string* error, uint64_t limit = uint64_t(1) << 31);
// Reads n bytes at offset from a file into out.
bool ReadFileRange(const std::string& path, uint64_t offset, size_t n, std::string* out, std::string* error);
// Writes data to path (replacing it) through a temporary file.
bool WriteWholeFile(const std::string& path, const std::string& data, std::string* error);

// Creates a folder and its missing parents.
bool MakeFolders(const std::string& folder, std::string* error);

bool IsAbsolutePath(const std::string& path);
// The folder part of a path ("." for a bare name).
std::string DirName(const std::string& path);
// The last component of a path (after the last "/" or "\").
std::string BaseName(const std::string& path);
// base/rel, or rel itself when it is absolute.
std::string JoinPath(const std::string& base, const std::string& rel);

// The DOS stamp (local time) of a modification time, clamped to the years a
// DOS stamp can hold (1980 to 2107).
uint32_t DosStampFromTime(time_t t);

// An output file written under "<path>.tmp-stubpack" and renamed onto path
// by Commit; missing folders of the path are created. Destroying it without Commit removes the temporary file.
class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool Open(const std::string& path, std::string* error);
  bool Write(const void* data, size_t n, std::string* error);
  bool Write(const std::string& s, std::string* error) { return Write(s.data(), s.size(), error); }
  // Overwrites bytes already written.
  bool WriteAt(uint64_t offset, const void* data, size_t n, std::string* error);
  uint64_t Size() const { return size_; }
  // Flushes and closes the temporary file (it can then be read back through
  // TempPath) without renaming it yet.
  bool Close(std::string* error);
  // Reopens a closed file for patching.
  bool Reopen(std::string* error);
  // Closes (if needed) and renames the temporary file onto the path.
  bool Commit(std::string* error);
  const std::string& Path() const { return path_; }
  const std::string& TempPath() const { return temp_; }

 private:
  std::string path_;
  std::string temp_;
  FILE* f_ = nullptr;
  uint64_t size_ = 0;
  bool committed_ = false;
};

}  // namespace stubpack
