// File and disk operations shared by the package, setup, update and download
// code: 64-bit positioning and sizes, reading a range of a file, writing and
// appending byte strings with a modification time, free space of a drive,
// deleting files and folder trees, ejecting a CD, and deleting the running
// executable after it has exited.
//
// Paths are ANSI paths of the Windows file system; contents are byte
// strings. Nothing here throws or shows a message: every operation reports
// failure by its result (false, 0 or empty bytes).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

enum class SeekOrigin { Begin = 0, Current = 1, End = 2 };

// ---- Open files (the handle is a Win32 file HANDLE) --------------------

// Moves the file pointer; the new position, or -1 when the system refuses.
int64_t FileSeek64(void* file, int64_t distance, SeekOrigin origin);
// The size of the open file; 0 when the system cannot tell.
uint64_t FileSize64(void* file);

// ---- Named files ----------------------------------------------------------

// The size of the first directory entry that matches path (any attributes);
// 0 when nothing matches.
uint64_t FileSizeByName(const std::string& path);

// count bytes (0: up to the end) from offset. Empty when the file does not
// exist or cannot be opened, when offset is negative or not below the size,
// or when fewer bytes arrive than the range holds.
std::string ReadFilePart(const std::string& path, uint64_t count, int64_t offset);

// Writes bytes to path: with append, at the end of the file (created when
// missing), else into a new or truncated file. Contents above 1 MiB go out in
// pieces (SavePieceSize); a write that fails or writes nothing ends the
// writing and leaves what was written. When every byte was written and
// dosDateTime is not 0, the last-write time is set from it (MS-DOS date in
// the high 16 bits, time in the low 16 bits, read as local time). True when
// the file could be opened and every byte was written, so empty contents
// succeed only when the file can be created.
bool SaveFile(const std::string& path, const std::string& bytes, uint32_t dosDateTime, bool append);
// Appends bytes in one write call (the file is created when missing) and sets
// the modification time as SaveFile does. True when every byte was written.
bool AppendFile(const std::string& path, const std::string& bytes, uint32_t dosDateTime);

// Bytes free to the calling user on the drive that holds path ("/" is read
// as "\"; an empty path means the current directory's drive). The path is
// asked about as FreeSpaceQueryPath gives it, then, when that fails (a folder
// that does not exist yet), as FreeSpaceRoot gives it. 0 when both fail.
double FreeSpace(const std::string& path);

// Deletes every file (not folder) that matches mask, read-only, hidden and
// system files included; clearAttributes clears their attributes first
// (except on links, whose attributes could belong to the target). Errors are
// ignored. True when at least one file matched.
bool DeleteFiles(const std::string& mask, bool clearAttributes);

// Deletes folder with everything in it. A link (junction or symbolic link)
// is never entered: the link itself is removed and its target is left alone,
// also when folder itself is one. Hidden and system subfolders are entered
// only with clearAttributes, which also clears the attributes of files and
// folders before removing them. Errors are ignored. True when the folder
// existed before and does not exist now; false for an empty name.
bool DeleteFolderTree(const std::string& folder, bool clearAttributes);

// Ejects the medium of the CD-ROM drive that holds path. False without
// touching any device when the path does not start with a drive letter or
// the drive is not a CD-ROM drive; otherwise whether the eject succeeded.
bool EjectCD(const std::string& path);

// How many times the self-delete script tries to delete the executable, and
// how many seconds it waits between tries: it gives up after about a minute.
constexpr int kSelfDeleteTries = 60;
constexpr int kSelfDeleteWaitSeconds = 1;

// Lets the running executable (and with removeFolder its folder, when that
// is empty by then) be deleted after this process has ended: writes a batch
// file into the user's temp folder and starts it hidden. The script deletes
// itself at the end. Gives no result.
void DeleteMySelf(bool removeFolder);
// DeleteMySelf with the number of tries and the wait between them chosen by
// the caller (tries below 1 count as 1, waits below 1 as 1). True when the
// script was written and started.
bool StartSelfDelete(bool removeFolder, int tries, int waitSeconds);

// ---- Portable pieces, tested on the host -------------------------------

// Contents larger than this are written in pieces.
constexpr size_t kSaveOneCallLimit = 1048576;
// The size of the pieces SaveFile writes length bytes in; 0 when they go out
// in one call. A tenth of the length, at most 1 MiB (the last piece holds
// the rest).
size_t SavePieceSize(size_t length);

// The path FreeSpace asks about first: "/" turned into "\", cut after its
// fourth "\" (for a share path that keeps \\server\share\); a path with fewer
// backslashes is used whole, a share path then gets a trailing "\".
std::string FreeSpaceQueryPath(const std::string& path);
// The path FreeSpace falls back to: the drive root ("C:\", letter upper-
// cased) of a path that starts with a drive letter; the share root
// (\\server\share\) of a share path; the empty text (the current directory's
// drive) for a relative path.
std::string FreeSpaceRoot(const std::string& path);

// The self-delete script's file name for a process id: _DEL_ME_<pid>.BAT.
std::string SelfDeleteScriptName(uint32_t processId);
// The self-delete script, lines ended by CR LF, every path in double quotes
// and every "%" in a path doubled so the batch reads it literally. It tries
// to delete exe up to tries times, running `pingExe` (the system's ping, by
// full path) to wait waitSeconds between tries; then, with removeFolder,
// removes folder (only when empty); finally deletes script.
std::string SelfDeleteScript(const std::string& exe, const std::string& folder, const std::string& script,
                             const std::string& pingExe, bool removeFolder, int tries, int waitSeconds);
