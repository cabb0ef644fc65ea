#include "fsutil.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "package/layout.h"

namespace stubpack {

namespace {

std::string Errno() { return std::strerror(errno); }

}  // namespace

bool StatFile(const std::string& path, FileFacts* facts, std::string* error) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) {
    *error = "cannot open " + path + ": " + Errno();
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    *error = path + " is not a regular file";
    return false;
  }
  facts->size = uint64_t(st.st_size);
  facts->mtime = st.st_mtime;
  return true;
}

bool ReadWholeFile(const std::string& path, std::string* out, std::string* error, uint64_t limit) {
  out->clear();
  FileFacts facts;
  if (!StatFile(path, &facts, error)) return false;
  if (facts.size > limit) {
    *error = path + " is too large (" + std::to_string(facts.size) + " bytes, at most " + std::to_string(limit) +
             " expected)";
    return false;
  }
  return ReadFileRange(path, 0, size_t(facts.size), out, error);
}

bool ReadFileRange(const std::string& path, uint64_t offset, size_t n, std::string* out, std::string* error) {
  out->assign(n, '\0');
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    *error = "cannot open " + path + ": " + Errno();
    return false;
  }
  bool ok = fseeko(f, off_t(offset), SEEK_SET) == 0 && (n == 0 || std::fread(&(*out)[0], 1, n, f) == n);
  std::fclose(f);
  if (!ok) *error = "cannot read " + std::to_string(n) + " bytes at offset " + std::to_string(offset) + " of " + path;
  return ok;
}

bool WriteWholeFile(const std::string& path, const std::string& data, std::string* error) {
  OutputFile out;
  return out.Open(path, error) && out.Write(data, error) && out.Commit(error);
}

bool IsAbsolutePath(const std::string& path) { return !path.empty() && path[0] == '/'; }

std::string DirName(const std::string& path) {
  size_t at = path.find_last_of('/');
  if (at == std::string::npos) return ".";
  if (at == 0) return "/";
  return path.substr(0, at);
}

std::string BaseName(const std::string& path) {
  size_t at = path.find_last_of("/\\");
  return at == std::string::npos ? path : path.substr(at + 1);
}

std::string JoinPath(const std::string& base, const std::string& rel) {
  if (IsAbsolutePath(rel) || base.empty() || base == ".") return rel;
  if (base.back() == '/') return base + rel;
  return base + "/" + rel;
}

uint32_t DosStampFromTime(time_t t) {
  struct tm tm;
  if (!localtime_r(&t, &tm)) return pkg::EncodeDosStamp(1980, 1, 1, 0, 0, 0);
  int year = tm.tm_year + 1900;
  if (year < 1980) return pkg::EncodeDosStamp(1980, 1, 1, 0, 0, 0);
  if (year > 2107) return pkg::EncodeDosStamp(2107, 12, 31, 23, 59, 58);
  // A leap second (tm_sec 60) is kept inside the field's range.
  int sec = tm.tm_sec > 59 ? 59 : tm.tm_sec;
  return pkg::EncodeDosStamp(year, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, sec);
}

// ---------------------------------------------------------------- OutputFile

OutputFile::~OutputFile() {
  if (f_) std::fclose(f_);
  if (!committed_ && !temp_.empty()) unlink(temp_.c_str());
}

bool MakeFolders(const std::string& folder, std::string* error) {
  if (folder.empty() || folder == "." || folder == "/") return true;
  struct stat st;
  if (stat(folder.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return true;
    *error = folder + " exists and is not a folder";
    return false;
  }
  if (!MakeFolders(DirName(folder), error)) return false;
  if (mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
    *error = "cannot create the folder " + folder + ": " + Errno();
    return false;
  }
  return true;
}

bool OutputFile::Open(const std::string& path, std::string* error) {
  path_ = path;
  if (!MakeFolders(DirName(path), error)) return false;
  temp_ = path + ".tmp-stubpack";
  f_ = std::fopen(temp_.c_str(), "wb");
  if (!f_) {
    *error = "cannot create " + temp_ + ": " + Errno() + " (does the output folder exist and is it writable?)";
    temp_.clear();
    return false;
  }
  size_ = 0;
  return true;
}

bool OutputFile::Write(const void* data, size_t n, std::string* error) {
  if (!f_) {
    *error = "internal error: write to a closed output file";
    return false;
  }
  if (n != 0 && std::fwrite(data, 1, n, f_) != n) {
    *error = "cannot write " + temp_ + ": " + Errno() + " (is the disk full?)";
    return false;
  }
  size_ += n;
  return true;
}

bool OutputFile::WriteAt(uint64_t offset, const void* data, size_t n, std::string* error) {
  if (!f_ || offset + n > size_) {
    *error = "internal error: patch outside the output file";
    return false;
  }
  if (fseeko(f_, off_t(offset), SEEK_SET) != 0 || std::fwrite(data, 1, n, f_) != n ||
      fseeko(f_, 0, SEEK_END) != 0) {
    *error = "cannot write " + temp_ + ": " + Errno();
    return false;
  }
  return true;
}

bool OutputFile::Close(std::string* error) {
  if (!f_) return true;
  bool ok = std::fflush(f_) == 0;
  ok = std::fclose(f_) == 0 && ok;
  f_ = nullptr;
  if (!ok) *error = "cannot write " + temp_ + ": " + Errno() + " (is the disk full?)";
  return ok;
}

bool OutputFile::Reopen(std::string* error) {
  if (f_) return true;
  f_ = std::fopen(temp_.c_str(), "r+b");
  if (!f_) {
    *error = "cannot reopen " + temp_ + ": " + Errno();
    return false;
  }
  return true;
}

bool OutputFile::Commit(std::string* error) {
  if (!Close(error)) return false;
  if (std::rename(temp_.c_str(), path_.c_str()) != 0) {
    *error = "cannot rename " + temp_ + " to " + path_ + ": " + Errno();
    return false;
  }
  committed_ = true;
  return true;
}

}  // namespace stubpack
