// File and disk utilities on the real file system (under Wine in CI).
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "env/files.h"
#include "util/handle_win.h"
#include "util/sysinfo.h"

namespace {

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ReadAll(const std::string& path) { return ReadFilePart(path, 0, 0); }

void WriteRaw(const std::string& path, const std::string& bytes) {
  UniqueHandle f(NullIfInvalid(
      CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)));
  ASSERT_TRUE(f) << path;
  DWORD n = 0;
  ASSERT_TRUE(WriteFile(f.get(), bytes.data(), DWORD(bytes.size()), &n, nullptr));
}

// Polls until done() holds or about limitMs have passed; whether it held.
bool WaitFor(const std::function<bool()>& done, DWORD limitMs) {
  for (DWORD waited = 0; waited < limitMs; waited += 100) {
    if (done()) return true;
    Sleep(100);
  }
  return done();
}

// The folder of the test program, where the helper programs are built.
std::string ProgramDir() { return GetExeDir(true); }

// A fresh folder under the temp folder for each test, removed afterwards.
class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static int counter = 0;
    // Wine hands out the same process ids run after run: the tick count
    // keeps a folder left by an earlier run out of the way.
    dir_ = GetTempDir(true) + "stub_files_" + std::to_string(GetCurrentProcessId()) + "_" +
           std::to_string(GetTickCount()) + "_" + std::to_string(++counter);
    ASSERT_TRUE(CreateDirectoryA(dir_.c_str(), nullptr)) << dir_;
  }
  void TearDown() override { DeleteFolderTree(dir_, true); }
  std::string Path(const std::string& name) const { return dir_ + "\\" + name; }

  std::string dir_;
};

// ------------------------------------------------------ reading and writing

TEST_F(FilesTest, ReadFilePartTakesTheRangeThatExistsAndNothingOutsideIt) {
  const std::string file = Path("ten.bin");
  WriteRaw(file, "0123456789");
  struct Case {
    uint64_t count;
    int64_t offset;
    const char* bytes;
  };
  const Case cases[] = {
      {0, 0, "0123456789"}, {0, 7, "789"},  {3, 2, "234"}, {50, 8, "89"},
      {1, 9, "9"},          {0, 10, ""},    {1, 10, ""},   {0, 11, ""},
      {0, -1, ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ReadFilePart(file, c.count, c.offset), c.bytes) << "count " << c.count << " offset " << c.offset;
  EXPECT_EQ(ReadFilePart(Path("missing.bin"), 0, 0), "");
}

TEST_F(FilesTest, ReadFilePartReadsAFileThatAnotherProgramHoldsOpenForWriting) {
  const std::string file = Path("held.log");
  WriteRaw(file, "line 1\r\n");
  UniqueHandle writer(NullIfInvalid(CreateFileA(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)));
  ASSERT_TRUE(writer);
  EXPECT_EQ(ReadAll(file), "line 1\r\n");
}

TEST_F(FilesTest, SaveFileCreatesTruncatesOrAppends) {
  const std::string file = Path("save.txt");
  // Append to a new path creates the file.
  EXPECT_TRUE(SaveFile(file, "abc", 0, true));
  EXPECT_EQ(ReadAll(file), "abc");
  EXPECT_TRUE(SaveFile(file, "def", 0, true));
  EXPECT_EQ(ReadAll(file), "abcdef");
  // Without append the old contents go.
  EXPECT_TRUE(SaveFile(file, "xy", 0, false));
  EXPECT_EQ(ReadAll(file), "xy");
  EXPECT_TRUE(AppendFile(file, "z", 0));
  EXPECT_TRUE(AppendFile(Path("new.txt"), "first", 0));
  EXPECT_EQ(ReadAll(file), "xyz");
  EXPECT_EQ(ReadAll(Path("new.txt")), "first");
}

TEST_F(FilesTest, EmptyContentsSucceedOnlyWhereTheFileCanBeCreated) {
  EXPECT_TRUE(SaveFile(Path("empty.bin"), "", 0, false));
  EXPECT_TRUE(Exists(Path("empty.bin")));
  EXPECT_EQ(FileSizeByName(Path("empty.bin")), 0u);
  const std::string nowhere = Path("no such folder\\empty.bin");
  EXPECT_FALSE(SaveFile(nowhere, "", 0, false));
  EXPECT_FALSE(SaveFile(nowhere, "", 0, true));
  EXPECT_FALSE(AppendFile(nowhere, "", 0));
  EXPECT_FALSE(SaveFile(nowhere, "data", 0, false));
}

TEST_F(FilesTest, LargeContentsArriveWholeAndAppendedAfterWhatWasThere) {
  std::string big(3 * 1048576 + 5, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = char(i * 7 + i / 1000);
  const std::string file = Path("big.bin");
  ASSERT_TRUE(SaveFile(file, "head", 0, false));
  ASSERT_TRUE(SaveFile(file, big, 0, true));
  EXPECT_EQ(FileSizeByName(file), big.size() + 4);
  EXPECT_TRUE(ReadAll(file) == "head" + big);
}

TEST_F(FilesTest, ModificationTimeComesFromTheDosStampAsLocalTime) {
  // 1212889512: 11 February 2016, 07:13:16.
  const uint32_t stamp = 1212889512u;
  const std::string saved = Path("stamped.bin"), appended = Path("appended.log"), plain = Path("plain.bin");
  ASSERT_TRUE(SaveFile(saved, "x", stamp, false));
  ASSERT_TRUE(AppendFile(appended, "y", stamp));
  ASSERT_TRUE(SaveFile(plain, "z", 0, false));
  auto localWriteTime = [](const std::string& path) {
    SYSTEMTIME st = {};
    WIN32_FILE_ATTRIBUTE_DATA data;
    FILETIME local;
    if (GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) &&
        FileTimeToLocalFileTime(&data.ftLastWriteTime, &local))
      FileTimeToSystemTime(&local, &st);
    return st;
  };
  for (const std::string& path : {saved, appended}) {
    const SYSTEMTIME st = localWriteTime(path);
    EXPECT_EQ(st.wYear, 2016) << path;
    EXPECT_EQ(st.wMonth, 2) << path;
    EXPECT_EQ(st.wDay, 11) << path;
    EXPECT_EQ(st.wHour, 7) << path;
    EXPECT_EQ(st.wMinute, 13) << path;
    EXPECT_EQ(st.wSecond, 16) << path;
  }
  // Stamp 0 leaves the time of the write.
  SYSTEMTIME now;
  GetLocalTime(&now);
  EXPECT_EQ(localWriteTime(plain).wYear, now.wYear);
}

// Writes through a message-mode pipe keep their boundaries, so the reading
// end sees every single write call SaveFile makes.
std::vector<size_t> WriteSizesOfSaveFile(const std::string& bytes) {
  const std::string name = "\\\\.\\pipe\\stub_save_pieces_" + std::to_string(GetCurrentProcessId());
  UniqueHandle server(NullIfInvalid(CreateNamedPipeA(name.c_str(), PIPE_ACCESS_INBOUND,
                                                     PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, 0,
                                                     4 << 20, 0, nullptr)));
  std::vector<size_t> sizes;
  if (!server) {
    ADD_FAILURE() << "no pipe: " << GetLastError();
    return sizes;
  }
  bool saved = false;
  std::thread writer([&] { saved = SaveFile(name, bytes, 0, false); });
  ConnectNamedPipe(server.get(), nullptr);
  std::vector<char> buffer(4 << 20);
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(server.get(), buffer.data(), DWORD(buffer.size()), &got, nullptr)) break;
    sizes.push_back(got);
  }
  writer.join();
  EXPECT_TRUE(saved);
  return sizes;
}

TEST(SaveFilePieces, AboveOneMebibyteTheWritesAreTenthsOfTheContents) {
  std::vector<size_t> expected(10, 104857);
  expected.push_back(7);
  EXPECT_EQ(WriteSizesOfSaveFile(std::string(1048577, 'p')), expected);
  EXPECT_EQ(WriteSizesOfSaveFile(std::string(1048576, 'p')), std::vector<size_t>{1048576});
}

TEST_F(FilesTest, SizesAndPositionsBeyondFourGibibytes) {
  const std::string file = Path("sparse.bin");
  const int64_t size = (int64_t(5) << 30) + 3;
  {
    UniqueHandle f(NullIfInvalid(CreateFileA(file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                             FILE_ATTRIBUTE_NORMAL, nullptr)));
    ASSERT_TRUE(f);
    ASSERT_EQ(FileSeek64(f.get(), size - 4, SeekOrigin::Begin), size - 4);
    DWORD n = 0;
    ASSERT_TRUE(WriteFile(f.get(), "tail", 4, &n, nullptr));
    EXPECT_EQ(FileSize64(f.get()), uint64_t(size));
    EXPECT_EQ(FileSeek64(f.get(), 0, SeekOrigin::Current), size);
    EXPECT_EQ(FileSeek64(f.get(), -6, SeekOrigin::End), size - 6);
    EXPECT_EQ(FileSeek64(f.get(), -1, SeekOrigin::Begin), -1);
  }
  EXPECT_EQ(FileSizeByName(file), uint64_t(size));
  EXPECT_EQ(ReadFilePart(file, 0, size - 6), std::string("\0\0tail", 6));
  EXPECT_EQ(ReadFilePart(file, 2, size - 2), "il");
  EXPECT_EQ(FileSizeByName(Path("nothing.*")), 0u);
}

// -------------------------------------------------------------- free space

TEST_F(FilesTest, FreeSpaceAnswersForFoldersThatDoNotExistYetThroughTheirDrive) {
  ULARGE_INTEGER available, total, free;
  ASSERT_TRUE(GetDiskFreeSpaceExA(dir_.c_str(), &available, &total, &free));
  const double expected = double(available.QuadPart);
  // Other programs write to the same disk meanwhile.
  const double slack = 256.0 * 1048576;
  std::string slashed = dir_;
  for (char& c : slashed)
    if (c == '\\') c = '/';
  for (const std::string& path : {dir_, dir_ + "\\", slashed, dir_ + "\\not\\there\\yet\\at\\all",
                                  dir_.substr(0, 3) + "no such folder\\a\\b\\c"}) {
    const double got = FreeSpace(path);
    EXPECT_GT(got, 0) << path;
    EXPECT_NEAR(got, expected, slack) << path;
  }
}

TEST(FreeSpace, ADriveThatDoesNotExistHasNone) {
  // The first letter from Z backwards that names no drive.
  const DWORD drives = GetLogicalDrives();
  int letter = 25;
  while (letter >= 0 && (drives & (1u << letter))) --letter;
  ASSERT_GE(letter, 0);
  EXPECT_EQ(FreeSpace(std::string(1, char('A' + letter)) + ":\\x\\y"), 0);
  EXPECT_EQ(FreeSpace("\\\\no-such-server.invalid\\share\\dir"), 0);
}

// --------------------------------------------------------------- deleting

TEST_F(FilesTest, DeleteFilesTakesFilesOfEveryAttributeButNoFolders) {
  const struct {
    const char* name;
    DWORD attributes;
  } files[] = {{"a.tmp", FILE_ATTRIBUTE_NORMAL},
               {"b.tmp", FILE_ATTRIBUTE_READONLY},
               {"c.tmp", FILE_ATTRIBUTE_HIDDEN},
               {"d.tmp", FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE}};
  for (const auto& f : files) {
    WriteRaw(Path(f.name), "x");
    SetFileAttributesA(Path(f.name).c_str(), f.attributes);
  }
  WriteRaw(Path("keep.txt"), "x");
  ASSERT_TRUE(CreateDirectoryA(Path("folder.tmp").c_str(), nullptr));

  EXPECT_TRUE(DeleteFiles(Path("*.tmp"), true));
  for (const auto& f : files) EXPECT_FALSE(Exists(Path(f.name))) << f.name;
  EXPECT_TRUE(Exists(Path("keep.txt")));
  EXPECT_TRUE(Exists(Path("folder.tmp")));
  // Only a folder matches: no file matched.
  EXPECT_FALSE(DeleteFiles(Path("*.tmp"), true));
  EXPECT_FALSE(DeleteFiles(Path("*.none"), true));
}

TEST_F(FilesTest, DeleteFilesWithoutClearingLeavesReadOnlyFiles) {
  WriteRaw(Path("ro.tmp"), "x");
  WriteRaw(Path("rw.tmp"), "x");
  SetFileAttributesA(Path("ro.tmp").c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_TRUE(DeleteFiles(Path("*.tmp"), false));
  EXPECT_TRUE(Exists(Path("ro.tmp")));
  EXPECT_FALSE(Exists(Path("rw.tmp")));
  SetFileAttributesA(Path("ro.tmp").c_str(), FILE_ATTRIBUTE_NORMAL);
}

// Wine's name of a path on the Linux side; "" outside Wine.
std::string UnixName(const std::string& path) {
  using UnixNameFn = char*(CDECL*)(LPCWSTR);
  auto unixName = reinterpret_cast<UnixNameFn>(LoadProc("kernel32.dll", "wine_get_unix_file_name"));
  if (!unixName) return std::string();
  wchar_t wide[MAX_PATH];
  MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
  char* name = unixName(wide);
  std::string result = name ? name : "";
  if (name) HeapFree(GetProcessHeap(), 0, name);
  return result;
}

// Starts a Linux program under Wine. Its process handle cannot be waited
// for, so callers wait for its effect.
bool StartLinuxProgram(const std::string& program, std::string commandLine) {
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return false;
  UniqueHandle process(pi.hProcess), thread(pi.hThread);
  return true;
}

bool IsFolderLink(const std::string& path) {
  const DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT) && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// A link to a folder: a symbolic link where the system lets us make one;
// under Wine, whose CreateSymbolicLink makes nothing, a Linux symbolic link,
// which Wine shows as a folder reparse point. False when neither works.
bool MakeFolderLink(const std::string& link, const std::string& target) {
  using CreateSymbolicLinkAFn = BOOLEAN(WINAPI*)(LPCSTR, LPCSTR, DWORD);
  auto create = reinterpret_cast<CreateSymbolicLinkAFn>(LoadProc("kernel32.dll", "CreateSymbolicLinkA"));
  // 1: a folder link; 2: allowed without the privilege (developer mode).
  for (DWORD flags : {DWORD(1 | 2), DWORD(1)})
    if (create && create(link.c_str(), target.c_str(), flags) && IsFolderLink(link)) return true;
  const std::string from = UnixName(target), to = UnixName(link);
  if (from.empty() || to.empty() || !StartLinuxProgram("Z:\\bin\\ln", "ln -s \"" + from + "\" \"" + to + "\""))
    return false;
  return WaitFor([&] { return IsFolderLink(link); }, 10000);
}

// Removes a folder link without following it.
void RemoveFolderLink(const std::string& link) {
  if (!IsFolderLink(link) || RemoveDirectoryA(link.c_str())) return;
  // Wine cannot remove a Linux link through Win32; let Linux do it.
  const std::string name = UnixName(link);
  if (!name.empty() && StartLinuxProgram("Z:\\bin\\rm", "rm -f \"" + name + "\""))
    WaitFor([&] { return !Exists(link); }, 10000);
}

// tree\                       read-only files, a hidden and a read-only
//   ro.txt (read-only)        subfolder, nested folders, and a link to a
//   sub\deeper\file.txt       folder outside the tree whose contents must
//   hidden\h.txt (hidden)     survive
//   rosub\ (read-only) x.txt
//   link -> outside\ (keep.txt)
class FolderTreeTest : public FilesTest {
 protected:
  void SetUp() override {
    FilesTest::SetUp();
    tree_ = Path("tree");
    outside_ = Path("outside");
    for (const std::string& d : {tree_, tree_ + "\\sub", tree_ + "\\sub\\deeper", tree_ + "\\hidden",
                                 tree_ + "\\rosub", outside_})
      ASSERT_TRUE(CreateDirectoryA(d.c_str(), nullptr)) << d;
    WriteRaw(tree_ + "\\ro.txt", "r");
    WriteRaw(tree_ + "\\sub\\deeper\\file.txt", "f");
    WriteRaw(tree_ + "\\hidden\\h.txt", "h");
    WriteRaw(tree_ + "\\rosub\\x.txt", "x");
    WriteRaw(outside_ + "\\keep.txt", "precious");
    SetFileAttributesA((tree_ + "\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesA((outside_ + "\\keep.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesA((tree_ + "\\hidden").c_str(), FILE_ATTRIBUTE_HIDDEN);
    SetFileAttributesA((tree_ + "\\rosub").c_str(), FILE_ATTRIBUTE_READONLY);
  }
  void TearDown() override {
    // The tree may still hold the link (see below); it goes without being
    // followed before the fixture clears its folder.
    SetFileAttributesA((outside_ + "\\keep.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveFolderLink(tree_ + "\\link");
    RemoveFolderLink(Path("link"));
    FilesTest::TearDown();
  }
  bool OutsideIntact() const {
    return Exists(outside_) && ReadAll(outside_ + "\\keep.txt") == "precious" &&
           (GetFileAttributesA((outside_ + "\\keep.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
  }

  std::string tree_, outside_;
};

TEST_F(FolderTreeTest, ClearingAttributesRemovesEverythingOfTheTree) {
  EXPECT_TRUE(DeleteFolderTree(tree_ + "\\", true));
  EXPECT_FALSE(Exists(tree_));
}

TEST_F(FolderTreeTest, WithoutClearingReadOnlyFilesAndHiddenFoldersStayAndTheResultSaysSo) {
  EXPECT_FALSE(DeleteFolderTree(tree_, false));
  EXPECT_TRUE(Exists(tree_ + "\\ro.txt"));
  EXPECT_TRUE(Exists(tree_ + "\\hidden\\h.txt"));
  EXPECT_FALSE(Exists(tree_ + "\\sub"));
}

TEST_F(FolderTreeTest, ALinkInsideIsNeverFollowed) {
  if (!MakeFolderLink(tree_ + "\\link", outside_)) GTEST_SKIP() << "no way to make a folder link here";
  const bool result = DeleteFolderTree(tree_, true);
  EXPECT_TRUE(OutsideIntact());
  // Everything but the link is gone. Windows removes the link too; Wine 8
  // cannot remove a Linux link through Win32, and then the tree stays and
  // the result has to say so.
  EXPECT_FALSE(Exists(tree_ + "\\ro.txt"));
  EXPECT_FALSE(Exists(tree_ + "\\sub"));
  EXPECT_FALSE(Exists(tree_ + "\\hidden"));
  EXPECT_EQ(result, !Exists(tree_));
}

TEST_F(FolderTreeTest, AFolderThatIsItselfALinkLosesOnlyTheLink) {
  if (!MakeFolderLink(Path("link"), outside_)) GTEST_SKIP() << "no way to make a folder link here";
  const bool result = DeleteFolderTree(Path("link"), true);
  EXPECT_TRUE(OutsideIntact());
  EXPECT_EQ(result, !Exists(Path("link")));
}

TEST_F(FilesTest, DeleteFolderTreeOfNothingIsFalse) {
  EXPECT_FALSE(DeleteFolderTree("", true));
  EXPECT_FALSE(DeleteFolderTree(Path("never made"), true));
  // A file is not a folder.
  WriteRaw(Path("file"), "x");
  EXPECT_FALSE(DeleteFolderTree(Path("file"), true));
  EXPECT_TRUE(Exists(Path("file")));
}

TEST(EjectCD, RefusesEverythingButACdRomDrive) {
  std::vector<std::string> paths = {"", "1:\\", "\\\\server\\share\\x", "relative\\path"};
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    const std::string root = std::string(1, letter) + ":\\";
    if (GetDriveTypeA(root.c_str()) != DRIVE_CDROM) paths.push_back(std::string(1, char(letter | 0x20)) + ":\\x");
  }
  for (const std::string& p : paths) EXPECT_FALSE(EjectCD(p)) << p;
}

// ------------------------------------------------------------- self-delete

// Copies the finisher helper into folder (created) as name and runs it.
class SelfDeleteTest : public FilesTest {
 protected:
  std::string Place(const std::string& folder, const std::string& name) {
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string exe = folder + "\\" + name;
    const std::string helper = ProgramDir() + "finisher.exe";
    EXPECT_TRUE(CopyFileA(helper.c_str(), exe.c_str(), FALSE)) << "build the finisher helper: " << helper;
    return exe;
  }
  // Runs exe with args and waits for it to end; its process id.
  DWORD Run(const std::string& exe, const std::string& args) {
    std::string command = "\"" + exe + "\" " + args;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(exe.c_str(), &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si,
                        &pi)) {
      ADD_FAILURE() << "cannot start " << exe << ": " << GetLastError();
      return 0;
    }
    UniqueHandle process(pi.hProcess), thread(pi.hThread);
    EXPECT_EQ(WaitForSingleObject(process.get(), 20000), WAIT_OBJECT_0);
    DWORD code = 99;
    GetExitCodeProcess(process.get(), &code);
    EXPECT_EQ(code, 0u) << "the script was not started";
    return pi.dwProcessId;
  }
  static std::string ScriptOf(DWORD pid) { return GetTempDir(true) + SelfDeleteScriptName(pid); }
};

TEST_F(SelfDeleteTest, TheFinishedProgramGoesAndTheScriptWithIt) {
  const std::string exe = Place(Path("app"), "agent.exe");
  const DWORD pid = Run(exe, "");
  EXPECT_TRUE(WaitFor([&] { return !Exists(exe); }, 20000)) << exe;
  EXPECT_TRUE(WaitFor([&] { return !Exists(ScriptOf(pid)); }, 20000));
  EXPECT_TRUE(Exists(Path("app"))) << "the folder stays without the flag";
}

TEST_F(SelfDeleteTest, WithTheFolderFlagTheFolderGoesTooAlsoWithSpacesPercentAndAccents) {
  // A folder name with characters a batch file reads differently unless
  // they are written with care: spaces, "%", and a letter outside ASCII.
  const std::string folder = Path("My 100% Caf\xE9");
  const std::string exe = Place(folder, "Y_setup.exe");
  const DWORD pid = Run(exe, "/folder");
  EXPECT_TRUE(WaitFor([&] { return !Exists(folder); }, 20000)) << folder;
  EXPECT_TRUE(WaitFor([&] { return !Exists(ScriptOf(pid)); }, 20000));
}

TEST_F(SelfDeleteTest, AFileThatCannotBeDeletedIsGivenUpAndTheScriptStillEnds) {
  const std::string exe = Place(Path("stuck"), "stuck.exe");
  // Opened without delete sharing once the helper has ended: the script's
  // DEL can never succeed.
  UniqueHandle holder;
  std::string command = "\"" + exe + "\" /folder /tries=3 /wait=1";
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  ASSERT_TRUE(CreateProcessA(exe.c_str(), &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW | CREATE_SUSPENDED,
                             nullptr, nullptr, &si, &pi));
  UniqueHandle process(pi.hProcess), thread(pi.hThread);
  holder.reset(NullIfInvalid(CreateFileA(exe.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr)));
  ASSERT_TRUE(holder);
  ResumeThread(thread.get());
  ASSERT_EQ(WaitForSingleObject(process.get(), 20000), WAIT_OBJECT_0);
  // Three tries a second apart, then the script deletes itself.
  EXPECT_TRUE(WaitFor([&] { return !Exists(ScriptOf(pi.dwProcessId)); }, 30000));
  EXPECT_TRUE(Exists(exe));
  EXPECT_TRUE(Exists(Path("stuck"))) << "a folder that is not empty stays";
}

}  // namespace
