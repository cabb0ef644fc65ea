// INI files and registry reads against the real private-profile and
// registry functions.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <string>

#include "util/handle_win.h"
#include "util/ini.h"
#include "util/registry.h"
#include "util/sysinfo.h"
#include "util/text.h"

using namespace std::string_literals;

namespace {

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string FileText(const std::string& path) {
  UniqueHandle h(NullIfInvalid(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)));
  if (!h) return std::string();
  std::string text(GetFileSize(h.get(), nullptr), '\0');
  DWORD got = 0;
  ReadFile(h.get(), &text[0], DWORD(text.size()), &got, nullptr);
  text.resize(got);
  return text;
}

// A fresh INI file path in a folder of its own, removed afterwards.
class IniTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = GetTempDir(true) + "stub_ini_" + IntToStr(GetCurrentProcessId());
    CreateDirectoryA(dir_.c_str(), nullptr);
    file_ = dir_ + "\\settings.ini";
    DeleteFileA(file_.c_str());
  }
  void TearDown() override {
    DeleteFileA(file_.c_str());
    RemoveDirectoryA(dir_.c_str());
  }
  std::string dir_, file_;
};

TEST_F(IniTest, StringsAndNumbersRoundTrip) {
  const std::string texts[] = {"plain", "inner  spaces here", "a=b=c", "semi;colon", "bytes \xE9\xFC", "1"};
  for (const std::string& t : texts) {
    ASSERT_TRUE(WriteIniString(file_, "Text", "Key", t)) << t;
    EXPECT_EQ(ReadIniString(file_, "Text", "Key", "def"), t);
  }
  const int64_t numbers[] = {0, -1, 4294967296LL, INT64_MAX, INT64_MIN};
  for (int64_t n : numbers) {
    ASSERT_TRUE(WriteIniInt(file_, "Numbers", "N", n));
    EXPECT_EQ(ReadIniInt(file_, "Numbers", "N", 7), n);
    EXPECT_EQ(ReadIniString(file_, "Numbers", "N", ""), IntToStr(n));
  }
  // Sections and keys are found ignoring case; other keys stay untouched.
  ASSERT_TRUE(WriteIniString(file_, "Text", "Other", "kept"));
  EXPECT_EQ(ReadIniString(file_, "TEXT", "other", ""), "kept");
  EXPECT_EQ(ReadIniString(file_, "Text", "Key", ""), "1");
}

TEST_F(IniTest, DefaultsForMissingEmptyAndNonNumericValues) {
  ASSERT_TRUE(WriteIniString(file_, "S", "Empty", ""));
  ASSERT_TRUE(WriteIniString(file_, "S", "Word", "12abc"));
  ASSERT_TRUE(WriteIniString(file_, "S", "Hex", "$1F"));
  ASSERT_TRUE(WriteIniString(file_, "S", "Hex2", "0x10"));
  EXPECT_EQ(ReadIniString(file_, "S", "Empty", "def"), "def");  // present but empty
  EXPECT_EQ(ReadIniString(file_, "S", "Missing", "def"), "def");
  EXPECT_EQ(ReadIniString(file_, "NoSection", "Word", "def"), "def");
  EXPECT_EQ(ReadIniString(dir_ + "\\no-such.ini", "S", "Word", "def"), "def");
  EXPECT_EQ(ReadIniString(file_, "S", "Missing", ""), "");
  EXPECT_EQ(ReadIniInt(file_, "S", "Word", 5), 5);
  EXPECT_EQ(ReadIniInt(file_, "S", "Empty", -5), -5);
  EXPECT_EQ(ReadIniInt(file_, "S", "Hex", 0), 31);
  EXPECT_EQ(ReadIniInt(file_, "S", "Hex2", 0), 16);
  EXPECT_EQ(ReadIniString(file_, "", "Word", "def"), "def");
  EXPECT_EQ(ReadIniString(file_, "S", "", "def"), "def");
  EXPECT_EQ(ReadIniString("", "S", "Word", "def"), "def");
}

TEST_F(IniTest, EmptyNamesWriteNothing) {
  EXPECT_FALSE(WriteIniString(file_, "", "Key", "v"));
  EXPECT_FALSE(WriteIniString(file_, "S", "", "v"));
  EXPECT_FALSE(WriteIniString("", "S", "Key", "v"));
  EXPECT_FALSE(WriteIniInt(file_, "", "Key", 1));
  EXPECT_FALSE(FileExists(file_));
}

TEST_F(IniTest, TextsThatWouldChangeTheFileAreRefused) {
  ASSERT_TRUE(WriteIniString(file_, "S", "Key", "before"));
  const std::string before = FileText(file_);
  struct Case {
    std::string section, key, value;
  };
  const Case cases[] = {
      {"S", "Key", "line\r\n[Evil]\r\nRun=1"},  // would add a section
      {"S", "Key", "cut\nhere"},
      {"S", "Key", "nul\0inside"s},
      {"S", "Run=1\r\nKey", "x"},
      {"S", "A=B", "x"},                        // reads back as key "A"
      {"S", "[Evil]", "x"},                     // reads back as a section
      {"S", ";hidden", "x"},                    // reads back as a comment
      {"S]\r\n[T", "Key", "x"},
      {"S]", "Key", "x"},
  };
  for (const Case& c : cases) EXPECT_FALSE(WriteIniString(file_, c.section, c.key, c.value)) << c.key << c.value;
  EXPECT_EQ(FileText(file_), before);
  EXPECT_EQ(ReadIniString(file_, "S", "Key", ""), "before");
}

TEST_F(IniTest, LongValues) {
  // Non-ASCII bytes at both ends: the whole text passes the code-page
  // conversion. Values this long defeat the system's ANSI entry points.
  std::string full(kIniValueMax, 'v');
  full.front() = '\xE9';
  full.back() = '\xFC';
  ASSERT_TRUE(WriteIniString(file_, "Long", "Full", full));
  EXPECT_EQ(ReadIniString(file_, "Long", "Full", ""), full);
  // One more character than the buffer holds is cut by the system.
  ASSERT_TRUE(WriteIniString(file_, "Long", "Over", full + "w"));
  EXPECT_EQ(ReadIniString(file_, "Long", "Over", ""), full);
}

// A key of its own under HKCU\Software\StubTests, removed afterwards.
class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sub_ = "Software\\StubTests\\" + IntToStr(GetCurrentProcessId());
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, sub_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key_.put(),
                              nullptr),
              ERROR_SUCCESS);
  }
  void TearDown() override {
    key_.reset();
    RegDeleteKeyA(HKEY_CURRENT_USER, sub_.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\StubTests");  // only when no other run uses it
  }
  void Set(const char* name, DWORD type, const std::string& bytes) {
    ASSERT_EQ(RegSetValueExA(key_.get(), name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()), DWORD(bytes.size())),
              ERROR_SUCCESS);
  }
  std::string Read(const char* name, const std::string& def = "DEF") {
    return ReadRegString("HKEY_CURRENT_USER\\" + sub_, name, def);
  }
  std::string sub_;
  UniqueKey key_;
};

TEST_F(RegistryTest, ValuesOfEveryType) {
  Set("Sz", REG_SZ, "hello\0"s);
  Set("EmptySz", REG_SZ, "\0"s);
  Set("Expand", REG_EXPAND_SZ, "%TEMP%\\x\0"s);
  Set("Multi", REG_MULTI_SZ, "a\0b\0\0"s);
  Set("MultiGap", REG_MULTI_SZ, "one\0\0two\0\0"s);
  Set("DwordMax", REG_DWORD, "\xFF\xFF\xFF\xFF"s);
  Set("DwordSmall", REG_DWORD, "\x2A\x00\x00\x00"s);
  Set("Binary", REG_BINARY, "ab\0cd"s);
  Set("", REG_SZ, "default value\0"s);
  struct Case {
    const char* name;
    const char* text;
  };
  const Case cases[] = {
      {"Sz", "hello"},           {"EmptySz", ""},      {"Expand", "%TEMP%\\x"},   // not expanded
      {"Multi", "a<0>b"},        {"MultiGap", "one<0><0>two"},
      {"DwordMax", "4294967295"}, {"DwordSmall", "42"}, {"Binary", "ab"},
      {"", "default value"},     {"Missing", "DEF"},
  };
  for (const Case& c : cases) EXPECT_EQ(Read(c.name), c.text) << c.name;
}

TEST_F(RegistryTest, PathForms) {
  Set("V", REG_SZ, "found\0"s);
  const std::string forms[] = {
      "HKEY_CURRENT_USER\\" + sub_, "HKCU\\" + sub_, "hkcu\\" + sub_, sub_, "  HKCU\\" + sub_ + "  ",
      "HKXX\\" + sub_,  // an unknown root is the current user
  };
  for (const std::string& p : forms) EXPECT_EQ(ReadRegString(p, "V", "DEF"), "found") << p;
  EXPECT_EQ(ReadRegString("HKLM\\" + sub_, "V", "DEF"), "DEF");
  EXPECT_EQ(ReadRegString(sub_ + "\\NoSuchKey", "V", "DEF"), "DEF");
  // The root alone opens the root key.
  EXPECT_EQ(ReadRegString("HKEY_CURRENT_USER", "NoSuchValue-7f3a", "DEF"), "DEF");
}

TEST_F(RegistryTest, ValueLongerThanTheBufferGivesTheDefault) {
  Set("Fits", REG_SZ, std::string(kRegValueBufferSize - 1, 'x') + '\0');
  Set("TooLong", REG_SZ, std::string(kRegValueBufferSize, 'x') + '\0');
  EXPECT_EQ(Read("Fits"), std::string(kRegValueBufferSize - 1, 'x'));
  EXPECT_EQ(Read("TooLong"), "DEF");
}

TEST(Registry, SixtyFourBitView) {
  // HKLM\Software is redirected for a 32-bit process on 64-bit Windows: a
  // value written in the 64-bit view is seen only when that view is asked for.
  const std::string sub = "Software\\StubTests64_" + IntToStr(GetCurrentProcessId());
  {
    UniqueKey key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, sub.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr,
                              key.put(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key.get(), "V", 0, REG_SZ, reinterpret_cast<const BYTE*>("native"), 7), ERROR_SUCCESS);
  }
  EXPECT_EQ(ReadRegString("HKLM\\" + sub, "V", "DEF", true), "native");
  EXPECT_EQ(ReadRegString("HKLM\\" + sub, "V", "DEF", false), Is64BitWindows() ? "DEF" : "native");
  using RegDeleteKeyExAFn = LONG(WINAPI*)(HKEY, LPCSTR, REGSAM, DWORD);
  auto del = reinterpret_cast<RegDeleteKeyExAFn>(LoadProc("advapi32.dll", "RegDeleteKeyExA"));
  if (del) {
    EXPECT_EQ(del(HKEY_LOCAL_MACHINE, sub.c_str(), KEY_WOW64_64KEY, 0), ERROR_SUCCESS);
  } else {
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, sub.c_str());
  }
}

}  // namespace
