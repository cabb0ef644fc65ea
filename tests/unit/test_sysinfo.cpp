// Path text rules, the version record and the small arithmetic of the
// system-information unit.
#include "util/sysinfo.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Shift-JIS: lead bytes 0x81-0x9F and 0xE0-0xFC; the second byte of a
// character may be 0x5C, the backslash.
bool ShiftJisLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
bool NoLead(unsigned char) { return false; }

// "\x95\\" is one double-byte character in Shift-JIS whose second byte is "\".
const std::string kSjisChar = "\x95\\";

TEST(PathText, CollapseBackslashes) {
  struct Case {
    std::string in;
    bool strip;
    LeadByteTest lead;
    std::string out;
  };
  const Case cases[] = {
      {"", false, NoLead, ""},
      {"\\\\", false, NoLead, "\\\\"},                     // too short to touch
      {"C:\\a\\\\b", false, NoLead, "C:\\a\\b"},
      {"C:\\a\\\\\\\\b\\\\\\c", false, NoLead, "C:\\a\\b\\c"},  // runs shrink to one
      {"\\\\server\\share\\\\x", false, NoLead, "\\\\server\\share\\x"},  // network path kept
      {"\\\\\\server", false, NoLead, "\\\\server"},
      {"C:\\a\\\\", false, NoLead, "C:\\a\\\\"},          // a pair at the end stays
      {"C:\\a\\\\", true, NoLead, "C:\\a\\"},             // then one trailing "\" goes
      {"C:\\a\\", true, NoLead, "C:\\a"},
      {"|\\\\srv\\a|\\\\srv\\b|", false, NoLead, "|\\\\srv\\a|\\\\srv\\b|"},  // network paths in a list
      {"|C:\\x\\\\y|D:\\\\z|", false, NoLead, "|C:\\x\\y|D:\\z|"},
      // The first "\" of the pair is the second byte of a character.
      {"C:\\" + kSjisChar + "\\x", false, ShiftJisLead, "C:\\" + kSjisChar + "\\x"},
      {"C:\\" + kSjisChar + "\\x", false, NoLead, "C:\\\x95\\x"},
      // 0x95 after a lead byte is a second byte itself, so the pair is real.
      {"C:\\\x81\x95\\\\x", false, ShiftJisLead, "C:\\\x81\x95\\x"},
  };
  for (const Case& c : cases) EXPECT_EQ(CollapseBackslashes(c.in, c.strip, c.lead), c.out) << c.in;
}

TEST(PathText, RemoveTrailingBackslashAndFolderRule) {
  struct Case {
    std::string in;
    LeadByteTest lead;
    std::string removed;     // RemoveTrailingBackslash
    std::string without;     // FolderWithBackslash(in, false)
    std::string with;        // FolderWithBackslash(in, true)
  };
  const Case cases[] = {
      {"", NoLead, "", "", ""},
      {"\\", NoLead, "", "\\", "\\"},
      {"C:\\", NoLead, "C:", "C:", "C:\\"},
      {"C:", NoLead, "C:", "C:", "C:\\"},
      {"C:\\Windows", NoLead, "C:\\Windows", "C:\\Windows", "C:\\Windows\\"},
      {"C:\\Windows\\", NoLead, "C:\\Windows", "C:\\Windows", "C:\\Windows\\"},
      {"C:\\a\\\\", NoLead, "C:\\a\\", "C:\\a\\", "C:\\a\\"},
      {"ab\\", NoLead, "ab", "ab", "ab\\"},
      // A final 0x5C that is the second byte of a character is no separator.
      {"C:\\" + kSjisChar, ShiftJisLead, "C:\\" + kSjisChar, "C:\\" + kSjisChar, "C:\\" + kSjisChar + "\\"},
      {"C:\\" + kSjisChar, NoLead, "C:\\\x95", "C:\\\x95", "C:\\" + kSjisChar},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RemoveTrailingBackslash(c.in, c.lead), c.removed) << c.in;
    EXPECT_EQ(FolderWithBackslash(c.in, false, c.lead), c.without) << c.in;
    EXPECT_EQ(FolderWithBackslash(c.in, true, c.lead), c.with) << c.in;
  }
}

TEST(PathText, ParentFolder) {
  struct Case {
    std::string in;
    LeadByteTest lead;
    std::string out;
  };
  const Case cases[] = {
      {"C:\\Users\\name\\Documents", NoLead, "C:\\Users\\name"},
      {"C:\\Users\\name\\Documents\\", NoLead, "C:\\Users\\name"},
      {"C:\\ProgramData", NoLead, "C:\\"},  // the root keeps its "\"
      {"\\\\srv\\share", NoLead, "\\\\srv"},
      {"name", NoLead, ""},
      {"", NoLead, ""},
      {"C:\\dir" + kSjisChar + "b", ShiftJisLead, "C:\\"},
      {"C:\\dir" + kSjisChar + "b", NoLead, "C:\\dir\x95"},
  };
  for (const Case& c : cases) EXPECT_EQ(ParentFolder(c.in, c.lead), c.out) << c.in;
}

TEST(PathText, BaseName) {
  struct Case {
    std::string in;
    bool all;
    std::string out;
  };
  const Case cases[] = {
      {"C:\\dir\\setup.tar.exe", false, "setup.tar"},
      {"C:\\dir\\setup.tar.exe", true, "setup"},
      {"C:\\dir.d\\noext", false, "noext"},
      {"D:file.txt", false, "file"},
      {"/unix/style.txt", false, "style"},
      {".profile", false, ""},
      {"", false, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(BaseName(c.in, c.all), c.out) << c.in;
}

OsVersion Version(uint32_t platform, uint32_t major, uint32_t minor, uint32_t build = 0) {
  OsVersion v;
  v.platformId = platform;
  v.major = major;
  v.minor = minor;
  v.build = build;
  return v;
}

TEST(OsVersionRules, KernelProductVersionReplacesACappedVersion) {
  struct Case {
    OsVersion reported;
    std::string kernel;
    uint32_t major, minor, build;
  };
  const Case cases[] = {
      {Version(2, 6, 3, 9600), "10.0.19041.1 (WinBuild.160101.0800)", 10, 0, 19041},
      {Version(2, 6, 3, 9600), "6,3,9600,17031", 6, 3, 9600},
      {Version(2, 6, 2, 9200), "10.0.19041.1", 6, 2, 9200},  // minor not above 2
      {Version(2, 5, 3, 3790), "10.0.19041.1", 5, 3, 3790},  // major not above 5
      {Version(2, 6, 3, 9600), "", 6, 3, 9600},              // unreadable: kept
      {Version(2, 6, 3, 9600), "garbage", 6, 3, 9600},
  };
  for (const Case& c : cases) {
    const OsVersion v = AdjustOsVersion(c.reported, c.kernel);
    EXPECT_EQ(v.major, c.major) << c.kernel;
    EXPECT_EQ(v.minor, c.minor) << c.kernel;
    EXPECT_EQ(v.build, c.build) << c.kernel;
    EXPECT_EQ(v.platformId, c.reported.platformId);
  }
}

TEST(OsVersionRules, FamilyTests) {
  struct Case {
    OsVersion v;
    bool nt, xp, win8;
  };
  const Case cases[] = {
      {Version(2, 5, 1), true, true, false},
      {Version(2, 5, 2), true, false, false},
      {Version(2, 6, 1), true, false, false},
      {Version(2, 6, 2), true, false, true},
      {Version(2, 6, 10), true, false, true},  // a pair of numbers, not 6.10 < 6.2
      {Version(2, 10, 0), true, false, true},
      {Version(1, 6, 2), false, false, false},  // the 9x family
  };
  for (const Case& c : cases) {
    EXPECT_EQ(OsIsNT(c.v), c.nt) << c.v.major << "." << c.v.minor;
    EXPECT_EQ(OsIsXP(c.v), c.xp) << c.v.major << "." << c.v.minor;
    EXPECT_EQ(OsIsWin8OrLater(c.v), c.win8) << c.v.major << "." << c.v.minor;
  }
}

TEST(SystemFacts, RegisteredInfoKeyAndDeveloperCode) {
  EXPECT_EQ(RegisteredInfoKey(true), "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion");
  EXPECT_EQ(RegisteredInfoKey(false), "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion");
  EXPECT_TRUE(IsDeveloperCode("417"));
  EXPECT_TRUE(IsDeveloperCode(" 417 "));
  for (const char* other : {"", "418", "4170", "41"}) EXPECT_FALSE(IsDeveloperCode(other)) << other;
}

TEST(SystemFacts, CenterInArea) {
  struct Case {
    int l, t, r, b, w, h;
    int left, top;
  };
  const Case cases[] = {
      {0, 0, 1000, 800, 200, 100, 400, 350},
      {100, 50, 1100, 850, 200, 100, 500, 400},  // work area below a top task bar
      {0, 0, 1001, 801, 200, 100, 400, 350},
      {0, 30, 800, 600, 1000, 700, 0, 30},  // larger than the area: title bar stays visible
  };
  for (const Case& c : cases) {
    const WindowOrigin o = CenterInArea(c.l, c.t, c.r, c.b, c.w, c.h);
    EXPECT_EQ(o.left, c.left);
    EXPECT_EQ(o.top, c.top);
  }
}

}  // namespace
