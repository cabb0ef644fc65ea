// Placeholder expansion over a played system.
#include "env/macros.h"

#include <gtest/gtest.h>

#include <iterator>
#include <map>
#include <string>

namespace {

class FakeSource : public MacroSource {
 public:
  std::map<MacroValue, std::string> values = {
      {MacroValue::LoggedUserName, "jo"},
      {MacroValue::UserName, "Jo Owner"},
      {MacroValue::CompanyName, "ACME"},
      {MacroValue::ComputerName, "PC1"},
      {MacroValue::DomainName, "WORK"},
      {MacroValue::InstallDir, "C:\\Program Files\\App\\"},
      {MacroValue::CommonDir, "C:\\Common"},
      {MacroValue::AuxDir, ""},
      {MacroValue::WindowsDir, "C:\\Windows"},
      {MacroValue::SystemDir, "C:\\Windows\\System32"},
      {MacroValue::System16Dir, "C:\\Windows\\System"},
      {MacroValue::ProgramFilesDir, "C:\\Program Files (x86)"},
      {MacroValue::SrcDir, "D:\\Setup"},
      {MacroValue::OriginDir, "E:\\"},
      {MacroValue::TempDir, "C:\\Temp\\"},
      {MacroValue::UserDir, "C:\\Users\\jo"},
      {MacroValue::AllUsersDesktopDir, "C:\\Users\\Public\\Desktop"},
  };
  std::map<MacroValue, int> asked;
  int clockAsked = 0;
  MacroClock clock;

  FakeSource() {
    clock.year = 2026;
    clock.month = 12;
    clock.day = 9;
    clock.hour = 7;
    clock.minute = 5;
    clock.second = 3;
    clock.dateSeparator = ".";
    const char* names[12] = {"Januar", "Februar", "Maerz",     "April",   "Mai",      "Juni",
                             "Juli",   "August",  "September", "Oktober", "November", "Dezember"};
    for (int i = 0; i < 12; ++i) clock.monthNames[i] = names[i];
  }

  std::string Value(MacroValue which) override {
    ++asked[which];
    auto it = values.find(which);
    return it == values.end() ? std::string() : it->second;
  }
  MacroClock Clock() override {
    ++clockAsked;
    return clock;
  }
  // Marks what was handed over, so the tests see which parts were resolved.
  std::string FullPath(const std::string& path) override { return "FULL(" + path + ")"; }
};

struct Case {
  const char* text;
  const char* out;
};

void ExpectAll(const Case* begin, const Case* end, bool full, bool dots = false) {
  for (const Case* c = begin; c != end; ++c) {
    FakeSource s;
    EXPECT_EQ(ExpandMacrosFrom(c->text, "\\", dots, full, s), c->out) << c->text;
  }
}

TEST(Macros, FolderPlaceholdersAndTheSeparatorRule) {
  const Case cases[] = {
      {"no placeholder here", "no placeholder here"},
      {"<TempDir>", "C:\\Temp"},                              // end of text: no separator
      {"<TempDir>file.txt", "C:\\Temp\\file.txt"},            // followed by text: separator
      {"<TempDir> file.txt", "C:\\Temp file.txt"},            // before a space: none
      {"|<TempDir>|<SrcDir>|", "|C:\\Temp|D:\\Setup|"},       // before the list separator: none
      {",<TempDir>,<SrcDir>,", ",C:\\Temp,D:\\Setup,"},
      {"a<TempDir>a", "aC:\\Temp\\a"},                        // a letter is no list separator
      {"<TempDir>x <TempDir>", "C:\\Temp\\x C:\\Temp\\"},     // decided at the first occurrence
      {"<InstallDir>\\app.exe", "C:\\Program Files\\App\\app.exe"},  // doubled, then collapsed
      {"<installdir>app.exe", "C:\\Program Files\\App\\app.exe"},    // any case
      {"<Application Folder>app.exe <InstallDir>", "C:\\Program Files\\App\\app.exe "},
      {"<InstallDrive>Data", "C:\\Data"},                     // drives take no separator
      {"<OriginDrive>x <OriginDisk>y <WinDisk>", "E:\\x E:y C:"},
      {"<WinSys32Dir>x.dll <WinSys16Dir>", "C:\\Windows\\System32\\x.dll C:\\Windows\\System"},
      {"<AbsoluteDir>C:\\x\\y.exe", "C:\\x\\y.exe"},
      {"<ProgramFilesDir>App\\<UserDir>", "C:\\Program Files (x86)\\App\\C:\\Users\\jo"},
      {"<AllUsersDesktopDir>link.lnk", "C:\\Users\\Public\\Desktop\\link.lnk"},
      // An empty folder takes no separator: "\app.exe" would name the drive root.
      {"<InstallAuxDir>app.exe", "app.exe"},
      {"<RunTimeDir_3>app.exe <UnInstallExePath>.", "app.exe ."},
      {"\\\\server\\<SrcDir>\\\\x", "\\\\server\\D:\\Setup\\x"},  // a leading pair stays
  };
  ExpectAll(std::begin(cases), std::end(cases), true);
}

TEST(Macros, NamesAlwaysFoldersOnlyWhenFull) {
  const Case partial[] = {
      {"<InstallDir>\\a.exe <UserName>", "<InstallDir>\\a.exe Jo Owner"},
      {"<LoggedUserName>@<ComputerName>.<CurrentDomainName> <CompanyName>", "jo@PC1.WORK ACME"},
      {"<LastExecutableExitCode>-<ReqFreeDiskSpaceMB>-<ProjectName><EnteredSerialNum>.", "0-0-."},
      // Nothing expanded by the full pass: no collapse either.
      {"a\\\\b <UserName>", "a\\\\b Jo Owner"},
  };
  ExpectAll(std::begin(partial), std::end(partial), false);
  FakeSource s;
  EXPECT_EQ(ExpandMacrosFrom("a\\\\b <UserName>", "\\", false, true, s), "a\\\\b Jo Owner");
}

TEST(Macros, DatePlaceholder) {
  // Clock: 9 December 2026 07:05:03, separator ".", German month names.
  const Case cases[] = {
      {"<Date=#>", "09.Dezember.2026"},
      {"<Date=0>", "9839"},  // 26 years with 7 leap days, then 342 days of 2026
      {"<Date=1>", "09-12-26"},
      {"<Date=2>", "12-09-26"},
      {"<Date=3>", "26-12-09"},
      {"<Date=4>", "09-12-2026"},
      {"<Date=5>", "12-09-2026"},
      {"log_<date=6>.txt", "log_2026-12-09.txt"},
      {"<Date=7>", "2026-12-09 07:05:03"},
      {"<Date=6><Date=1>", "2026-12-09<Date=1>"},  // only the first
      {"<Date=9>x", "<Date=9>x"},
      {"<Date=9><Date=6>", "<Date=9><Date=6>"},      // the first decides
      {"<Date=6x>", "<Date=6x>"},                    // not a placeholder
      {"<Date=6", "<Date=6"},
      {"<Date=", "<Date="},
  };
  ExpectAll(std::begin(cases), std::end(cases), false);
  ExpectAll(std::begin(cases), std::end(cases), true);
}

TEST(Macros, ResolveDots) {
  const Case cases[] = {
      {"C:\\a\\..\\b.exe", "FULL(C:\\a\\..\\b.exe)"},
      {"..\\b.exe", "FULL(..\\b.exe)"},
      {"C:\\a\\b.exe", "C:\\a\\b.exe"},
      {"<SrcDir>..\\x.exe", "FULL(D:\\Setup\\..\\x.exe)"},
      {"|C:\\a\\..\\b|C:\\c|", "|FULL(C:\\a\\..\\b)|C:\\c|"},
      {",..\\x,y,", ",FULL(..\\x),y,"},
  };
  ExpectAll(std::begin(cases), std::end(cases), true, true);
  FakeSource s;
  EXPECT_EQ(ExpandMacrosFrom("C:\\a\\..\\b.exe", "\\", false, true, s), "C:\\a\\..\\b.exe");
}

TEST(Macros, BadInput) {
  const Case cases[] = {
      {"<<<TempDir>", "<<C:\\Temp"},
      {"<TempDir", "<TempDir"},
      {"TempDir>", "TempDir>"},
      {"<NoSuchPlaceholder>\\x", "<NoSuchPlaceholder>\\x"},
      {"<>", "<>"},
      {"<", "<"},
      {"", ""},
  };
  ExpectAll(std::begin(cases), std::end(cases), true);
}

TEST(Macros, ValuesAreNeverExpandedAgain) {
  FakeSource s;
  s.values[MacroValue::UserName] = "<TempDir><Date=6>";
  s.values[MacroValue::TempDir] = "C:\\<WinDir>";
  EXPECT_EQ(ExpandMacrosFrom("<UserName>|<TempDir>x", "\\", false, true, s), "<TempDir><Date=6>|C:\\<WinDir>\\x");
  EXPECT_EQ(s.asked[MacroValue::WindowsDir], 0);
}

TEST(Macros, AThousandPlaceholders) {
  std::string text, expected;
  for (int i = 0; i < 1000; ++i) {
    text += "<TempDir><UserName><Unknown" + std::to_string(i) + ">";
    expected += "C:\\Temp\\Jo Owner<Unknown" + std::to_string(i) + ">";
  }
  FakeSource s;
  EXPECT_EQ(ExpandMacrosFrom(text, "\\", true, true, s), expected);
  // Each value is asked once, however often it occurs.
  EXPECT_EQ(s.asked[MacroValue::TempDir], 1);
  EXPECT_EQ(s.asked[MacroValue::UserName], 1);

  // A thousand date placeholders: the first is replaced, the rest stay.
  std::string dates;
  for (int i = 0; i < 1000; ++i) dates += "<Date=6>";
  FakeSource d;
  const std::string out = ExpandMacrosFrom(dates, "\\", false, true, d);
  EXPECT_EQ(out, "2026-12-09" + dates.substr(8));
  EXPECT_EQ(d.clockAsked, 1);
}

TEST(Macros, OnlyTheValuesATextNeedsAreGathered) {
  FakeSource s;
  ExpandMacrosFrom("<UserName>\\x", "\\", true, true, s);
  EXPECT_EQ(s.asked.size(), 1u);
  EXPECT_EQ(s.asked[MacroValue::UserName], 1);
  EXPECT_EQ(s.clockAsked, 0);
}

TEST(Macros, OriginFolderAndSystem16Candidate) {
  EXPECT_EQ(OriginFolderFor("C:\\dl\\setup.exe", "D:\\x"), "C:\\dl");
  EXPECT_EQ(OriginFolderFor("C:\\setup.exe", "D:\\x"), "C:");
  EXPECT_EQ(OriginFolderFor("setup.exe", "D:\\x\\"), "D:\\x");
  EXPECT_EQ(OriginFolderFor("", "D:\\x"), "D:\\x");
  EXPECT_EQ(System16Candidate("C:\\Windows\\System32"), "C:\\Windows\\System");
  EXPECT_EQ(System16Candidate("C:\\W32\\System32"), "C:\\W32\\System");
  EXPECT_EQ(System16Candidate("C:\\Windows\\System"), "C:\\Windows\\System");
}

TEST(Macros, InstallFoldersAreKeptForTheProcess) {
  SetInstallFolders("C:\\A", "C:\\B", "C:\\C");
  EXPECT_EQ(GetInstallFolders().install, "C:\\A");
  EXPECT_EQ(GetInstallFolders().common, "C:\\B");
  EXPECT_EQ(GetInstallFolders().auxiliary, "C:\\C");
  SetInstallFolders("", "", "");
  EXPECT_EQ(GetInstallFolders().install, "");
}

}  // namespace
