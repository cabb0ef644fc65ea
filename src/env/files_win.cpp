// File and disk utilities over the Win32 file API.
#include <windows.h>
#include <winioctl.h>

#include <new>
#include <string>
#include <vector>

#include "env/files.h"
#include "util/debug.h"
#include "util/handle_win.h"
#include "util/sysinfo.h"
#include "util/text.h"

namespace {

constexpr DWORD kShareReadWrite = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr DWORD kNoAttributes = INVALID_FILE_ATTRIBUTES;

std::string WithoutTrailingBackslash(std::string p) {
  if (p.size() > 3 && p.back() == '\\') p.pop_back();
  return p;
}

bool IsFolder(DWORD attributes) { return attributes != kNoAttributes && (attributes & FILE_ATTRIBUTE_DIRECTORY); }

// Sets the last-write time from an MS-DOS stamp (date high, time low), read
// as local time. An invalid stamp leaves the time as it is.
void SetDosStamp(HANDLE file, uint32_t dosDateTime) {
  FILETIME local, utc;
  if (!DosDateTimeToFileTime(WORD(dosDateTime >> 16), WORD(dosDateTime & 0xFFFF), &local)) return;
  if (!LocalFileTimeToFileTime(&local, &utc)) return;
  SetFileTime(file, nullptr, nullptr, &utc);
}

UniqueHandle OpenForAppend(const std::string& path) {
  UniqueHandle file(NullIfInvalid(CreateFileA(path.c_str(), GENERIC_WRITE, kShareReadWrite, nullptr, OPEN_ALWAYS,
                                              FILE_ATTRIBUTE_NORMAL, nullptr)));
  if (file) {
    LARGE_INTEGER zero = {};
    if (!SetFilePointerEx(file.get(), zero, nullptr, FILE_END)) file.reset();
  }
  return file;
}

// Writes n bytes in one call; the number of bytes the system took.
size_t WriteOnce(HANDLE file, const char* data, size_t n) {
  DWORD written = 0;
  if (!WriteFile(file, data, DWORD(n), &written, nullptr)) return 0;
  return written;
}

// The files (not folders) and the folders of one directory listing.
struct Listing {
  std::vector<WIN32_FIND_DATAA> files;
  std::vector<WIN32_FIND_DATAA> folders;
};

Listing List(const std::string& mask) {
  Listing result;
  WIN32_FIND_DATAA data;
  UniqueFind find(NullIfInvalid(FindFirstFileA(mask.c_str(), &data)));
  if (!find) return result;
  do {
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (lstrcmpA(data.cFileName, ".") != 0 && lstrcmpA(data.cFileName, "..") != 0) result.folders.push_back(data);
    } else {
      result.files.push_back(data);
    }
  } while (FindNextFileA(find.get(), &data));
  return result;
}

std::string FolderOfMask(const std::string& mask) {
  const size_t at = mask.find_last_of("\\/:");
  return at == std::string::npos ? std::string() : mask.substr(0, at + 1);
}

using GetDiskFreeSpaceExAFn = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);

// GetDiskFreeSpaceExA is missing on the first release of Windows 95; it is
// looked up once per process.
GetDiskFreeSpaceExAFn DiskFreeSpaceEx() {
  static const GetDiskFreeSpaceExAFn fn =
      reinterpret_cast<GetDiskFreeSpaceExAFn>(LoadProc("kernel32.dll", "GetDiskFreeSpaceExA"));
  return fn;
}

bool FreeBytesEx(GetDiskFreeSpaceExAFn fn, const std::string& path, double* bytes) {
  ULARGE_INTEGER available, total, free;
  if (!fn(path.empty() ? nullptr : path.c_str(), &available, &total, &free)) return false;
  *bytes = double(available.QuadPart);
  return true;
}

}  // namespace

// ------------------------------------------------------------- open files

int64_t FileSeek64(void* file, int64_t distance, SeekOrigin origin) {
  LARGE_INTEGER move, now;
  move.QuadPart = distance;
  const DWORD method = origin == SeekOrigin::Begin     ? FILE_BEGIN
                       : origin == SeekOrigin::Current ? FILE_CURRENT
                                                       : FILE_END;
  if (!SetFilePointerEx(static_cast<HANDLE>(file), move, &now, method)) return -1;
  return now.QuadPart;
}

uint64_t FileSize64(void* file) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(static_cast<HANDLE>(file), &size)) return 0;
  return uint64_t(size.QuadPart);
}

// ------------------------------------------------------------ named files

uint64_t FileSizeByName(const std::string& path) {
  WIN32_FIND_DATAA data;
  UniqueFind find(NullIfInvalid(FindFirstFileA(path.c_str(), &data)));
  if (!find) return 0;
  return (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::string ReadFilePart(const std::string& path, uint64_t count, int64_t offset) {
  std::string result;
  if (GetFileAttributesA(path.c_str()) == kNoAttributes) return result;
  UniqueHandle file(NullIfInvalid(CreateFileA(path.c_str(), GENERIC_READ, kShareReadWrite, nullptr, OPEN_EXISTING,
                                              FILE_ATTRIBUTE_NORMAL, nullptr)));
  if (!file) return result;
  const uint64_t size = FileSize64(file.get());
  if (offset < 0 || uint64_t(offset) >= size) return result;
  uint64_t n = size - uint64_t(offset);
  if (count != 0 && count < n) n = count;
  if (n > result.max_size() || FileSeek64(file.get(), offset, SeekOrigin::Begin) != offset) return result;
  try {
    result.resize(size_t(n));
  } catch (const std::bad_alloc&) {
    return std::string();
  }
  // ReadFile takes 32-bit counts; read in pieces of at most 64 MiB.
  size_t done = 0;
  while (done < result.size()) {
    const DWORD want = DWORD(result.size() - done < (64u << 20) ? result.size() - done : (64u << 20));
    DWORD got = 0;
    if (!ReadFile(file.get(), &result[done], want, &got, nullptr) || got == 0) break;
    done += got;
  }
  if (done != result.size()) result.clear();
  return result;
}

bool SaveFile(const std::string& path, const std::string& bytes, uint32_t dosDateTime, bool append) {
  UniqueHandle file = append ? OpenForAppend(path)
                             : UniqueHandle(NullIfInvalid(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                                                      nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                                                      nullptr)));
  if (!file) return false;
  size_t written = 0;
  if (const size_t piece = SavePieceSize(bytes.size())) {
    while (written < bytes.size()) {
      const size_t n = bytes.size() - written < piece ? bytes.size() - written : piece;
      const size_t took = WriteOnce(file.get(), bytes.data() + written, n);
      if (took == 0) break;
      written += took;
    }
  } else if (!bytes.empty()) {
    written = WriteOnce(file.get(), bytes.data(), bytes.size());
  }
  const bool complete = written == bytes.size();
  if (complete && dosDateTime != 0) SetDosStamp(file.get(), dosDateTime);
  return complete;
}

bool AppendFile(const std::string& path, const std::string& bytes, uint32_t dosDateTime) {
  UniqueHandle file = OpenForAppend(path);
  if (!file) return false;
  const size_t written = bytes.empty() ? 0 : WriteOnce(file.get(), bytes.data(), bytes.size());
  if (dosDateTime != 0) SetDosStamp(file.get(), dosDateTime);
  return written == bytes.size();
}

double FreeSpace(const std::string& path) {
  const std::string p = ReplaceChar(path, '/', '\\');
  double bytes = 0;
  if (GetDiskFreeSpaceExAFn ex = DiskFreeSpaceEx()) {
    if (FreeBytesEx(ex, FreeSpaceQueryPath(p), &bytes)) return bytes;
    // A folder that does not exist yet: ask about its drive (or share).
    if (!p.empty() && FreeBytesEx(ex, FreeSpaceRoot(p), &bytes)) return bytes;
    return 0;
  }
  const std::string root = FreeSpaceRoot(p);
  DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
  if (!GetDiskFreeSpaceA(root.empty() ? nullptr : root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters,
                         &totalClusters))
    return 0;
  return double(freeClusters) * double(sectorsPerCluster) * double(bytesPerSector);
}

bool DeleteFiles(const std::string& mask, bool clearAttributes) {
  const std::string folder = FolderOfMask(mask);
  const Listing listing = List(mask);
  for (const WIN32_FIND_DATAA& f : listing.files) {
    const std::string path = folder + f.cFileName;
    if (clearAttributes && !(f.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
      SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path.c_str());
  }
  return !listing.files.empty();
}

bool DeleteFolderTree(const std::string& folder, bool clearAttributes) {
  if (folder.empty()) return false;
  const std::string dir = WithoutTrailingBackslash(folder);
  const DWORD attributes = GetFileAttributesA(dir.c_str());
  const bool existed = IsFolder(attributes);
  if (existed && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    // A junction or a symbolic link to a folder: removing it removes the
    // link, never anything behind it.
    RemoveDirectoryA(dir.c_str());
    return !IsFolder(GetFileAttributesA(dir.c_str()));
  }
  DeleteFiles(dir + "\\*.*", clearAttributes);
  const Listing listing = List(dir + "\\*.*");
  for (const WIN32_FIND_DATAA& sub : listing.folders) {
    const bool hidden = (sub.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
    if (hidden && !clearAttributes) continue;
    const std::string path = dir + "\\" + sub.cFileName;
    if (sub.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      RemoveDirectoryA(path.c_str());
      continue;
    }
    DeleteFolderTree(path, clearAttributes);
  }
  if (clearAttributes) SetFileAttributesA(dir.c_str(), FILE_ATTRIBUTE_NORMAL);
  RemoveDirectoryA(dir.c_str());
  return existed && GetFileAttributesA(dir.c_str()) == kNoAttributes;
}

bool EjectCD(const std::string& path) {
  if (path.empty()) return false;
  const char letter = char(path[0] & ~0x20);
  if (letter < 'A' || letter > 'Z') return false;
  const std::string root = std::string(1, letter) + ":\\";
  if (GetDriveTypeA(root.c_str()) != DRIVE_CDROM) return false;
  const std::string device = std::string("\\\\.\\") + letter + ":";
  HANDLE raw = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, kShareReadWrite, nullptr, OPEN_EXISTING, 0,
                           nullptr);
  DebugPidLine(Format("EjectCD-2: %s %ld", device.c_str(), long(reinterpret_cast<intptr_t>(raw))));
  // Without write access (a user without rights on the device) reading is
  // enough for the eject request.
  if (raw == INVALID_HANDLE_VALUE)
    raw = CreateFileA(device.c_str(), GENERIC_READ, kShareReadWrite, nullptr, OPEN_EXISTING, 0, nullptr);
  DebugPidLine(Format("EjectCD-3: %s %ld", device.c_str(), long(reinterpret_cast<intptr_t>(raw))));
  UniqueHandle drive(NullIfInvalid(raw));
  if (!drive) return false;
  DWORD returned = 0;
  return DeviceIoControl(drive.get(), IOCTL_STORAGE_EJECT_MEDIA, nullptr, 0, nullptr, 0, &returned, nullptr) != 0;
}

// ------------------------------------------------------------ self-delete

bool StartSelfDelete(bool removeFolder, int tries, int waitSeconds) {
  const std::string temp = GetTempDir(true);
  const std::string exe = GetExePath(false);
  if (temp.empty() || exe.empty()) return false;
  const std::string script = temp + SelfDeleteScriptName(GetCurrentProcessId());
  const std::string system = GetSystemDir(true);
  std::string text = SelfDeleteScript(exe, GetExeDir(false), script, system + "PING.EXE", removeFolder, tries,
                                      waitSeconds);
  // cmd reads a batch file in the OEM code page; the paths are ANSI.
  CharToOemBuffA(&text[0], &text[0], DWORD(text.size()));
  if (!SaveFile(script, text, 0, false)) return false;

  // cmd by its full path, so that no cmd.exe in the current folder runs; a
  // hidden console of its own, which ping shares; the temp folder as current
  // folder, so that the executable's folder is not held by the script.
  const std::string cmdExe = system + "cmd.exe";
  std::string commandLine = "\"" + cmdExe + "\" /D /C \"\"" + script + "\"\"";
  const std::string cwd = WithoutTrailingBackslash(temp);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION pi = {};
  // The script has to outlive this process: leave a job that would end it
  // with us where the job allows that, else start it inside the job.
  const DWORD flags[] = {CREATE_NEW_CONSOLE | CREATE_BREAKAWAY_FROM_JOB, CREATE_NEW_CONSOLE};
  for (DWORD f : flags) {
    if (CreateProcessA(cmdExe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, f, nullptr, cwd.c_str(), &si, &pi)) {
      UniqueHandle thread(pi.hThread), process(pi.hProcess);
      return true;
    }
  }
  DeleteFileA(script.c_str());
  return false;
}

void DeleteMySelf(bool removeFolder) { StartSelfDelete(removeFolder, kSelfDeleteTries, kSelfDeleteWaitSeconds); }
