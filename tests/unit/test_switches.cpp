#include "util/switches.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const char kExe[] = "C:\\Program Files\\App\\setup.exe";

class Switches : public ::testing::Test {
 protected:
  // Starts "the program" the usual way: its quoted full path, then args.
  static void StartedWith(const std::string& args) {
    SetCommandLineSource("\"" + std::string(kExe) + "\" " + args, kExe);
  }
  void TearDown() override { SetCommandLineSource("", ""); }
};

TEST_F(Switches, ParamsLineIsTheCommandLineWithoutTheProgram) {
  struct Case { std::string commandLine, program, params; };
  const Case cases[] = {
      {"\"C:\\Program Files\\App\\setup.exe\" /A=1", kExe, "/A=1"},
      {"\"C:\\Program Files\\App\\setup.exe\"", kExe, ""},
      {"\"c:\\program files\\app\\SETUP.EXE\"   /x  ", kExe, "/x"},       // case ignored
      {"C:\\App\\setup.exe /A=1 /B", "C:\\App\\setup.exe", "/A=1 /B"},   // unquoted
      {"C:\\PROGRA~1\\App\\setup.exe /A=1", kExe, "/A=1"},               // short path typed
      {"\"C:\\App\\setup.exe\"x", "C:\\App\\setup.exe", ""},             // one character left: none
      {"setup /A=1", "C:\\App\\setup.exe", "setup /A=1"},                // not found: the whole line
      {" \"C:\\App\\setup.exe\" /A=1 ", "", "\"C:\\App\\setup.exe\" /A=1"},
      {"", kExe, ""},
  };
  for (const Case& c : cases) {
    SetCommandLineSource(c.commandLine, c.program);
    EXPECT_EQ(c.params, GetParamsLine()) << c.commandLine;
  }
}

TEST_F(Switches, NoArgumentsGiveEveryDefault) {
  StartedWith("");
  EXPECT_EQ("def", GetParamStr("/SpanDiskFName1=", "def"));
  EXPECT_EQ(1, GetParamInt("/SpanCdLvl=", 1));
  EXPECT_FALSE(HasParam("/hide"));
}

TEST_F(Switches, LookupsOnOneCommandLine) {
  StartedWith(
      "/spancdlvl=2 /WAIT = 5 /Delay= 7 /EMPTY= /A=1 /A=2 "
      "/OriginExe=\"C:\\Program Files\\My App\\app.exe\" /TRANSIENT=|1|2| /TRANSIENTx=|3| "
      "/hide /Cut=\"C:\\a /b\" /q=\"x\"y -dash=d");
  struct Case { std::string name, def, value; };
  const Case cases[] = {
      {"/SpanCdLvl=", "1", "2"},
      {"/WAIT=", "0", "5"},
      {"/wait", "0", "5"},                                        // '=' may be left off
      {"/DELAY=", "", "7"},
      {"/EMPTY=", "d", ""},                                       // present and empty: not the default
      {"/A=", "", "1"},                                           // first occurrence wins
      {"/OriginExe", "", "C:\\Program Files\\My App\\app.exe"},
      {"/TRANSIENT=", "", "|1|2|"},
      {"/TRANSIENTx=", "", "|3|"},                                // the '=' is part of the key
      {"/Cut=", "", "C:\\a"},                                     // a value ends at " /"
      {"/q=", "", "xy -dash=d"},                                  // quotes go; " -" does not split
      {" /A= ", "", "1"},
      {"-dash=", "", "d"},                                        // '-' switches split at " -"
      {"dash=", "none", "none"},                                  // no switch character: '/'
      {"/hide=", "none", "none"},                                 // a bare word has no value
      {"/missing=", "  dflt ", "dflt"},                           // the default is trimmed too
      {"  ", " d ", " d "},                                       // empty name: the default as given
  };
  for (const Case& c : cases) EXPECT_EQ(c.value, GetParamStr(c.name, c.def)) << c.name;
}

TEST_F(Switches, SpacingAroundTheEqualsSign) {
  struct Case { std::string args; std::string value; };
  const Case cases[] = {
      {"/WAIT = 5", "5"}, {"/WAIT= 5", "5"}, {"/WAIT=5 ", "5"}, {"/WAIT  =  5", "5"},
      {"/WAIT=", ""}, {"/wait=5 /WAIT=6", "5"},
      {"/NOWAIT=1", "?"},       // a key starts right after the switch character
      {"/X=1/WAIT=3", "?"},     // no space before '/': part of /X's value
      {"x /WAIT=4", "4"},
  };
  for (const Case& c : cases) {
    StartedWith(c.args);
    EXPECT_EQ(c.value, GetParamStr("/WAIT=", "?")) << c.args;
  }
}

TEST_F(Switches, IntegerSwitches) {
  StartedWith("/spancdlvl=2 /W= /N=abc /H=$10 /X=0x1f /NEG=-5 /BIG=99999999999999999999 /SP= 42 /F=1.5");
  const struct { const char* name; int64_t value; } cases[] = {
      {"/SpanCdLvl=", 2}, {"/W=", -9}, {"/N=", -9}, {"/H=", 16}, {"/X=", 31}, {"/NEG=", -5},
      {"/BIG=", -9}, {"/SP=", 42}, {"/F=", -9}, {"/NONE=", -9},
  };
  for (const auto& c : cases) EXPECT_EQ(c.value, GetParamInt(c.name, -9)) << c.name;
}

TEST_F(Switches, HasParamNeedsTheWordFollowedByASpace) {
  struct Case { std::string args, word; bool present; };
  const Case cases[] = {
      {"/hide", "/hide", true},
      {"/hide /X=1", "/hide", true},
      {"/X=1 /HIDE", "/hide", true},
      {"/hidden", "/hide", false},
      {"/hide=1", "/hide", false},
      {"/x/hide", "/hide", true},      // nothing is required in front
      {"/hide", " /hide ", true},
      {"/hide", "", false},
      {"", "/hide", false},
  };
  for (const Case& c : cases) {
    StartedWith(c.args);
    EXPECT_EQ(c.present, HasParam(c.word)) << c.args << " / " << c.word;
  }
}

TEST(SwitchRemove, TakesOutTheFirstSwitchAndItsValue) {
  struct Case { std::string line, name, out; };
  const Case cases[] = {
      {"x /SpanCdLvl=2 /B=1", "/SpanCdLvl=", "x  /B=1"},
      {"x /SpanCdLvl=2", "/SpanCdLvl=", "x "},
      {"/A=1 /SpanDiskFName1=\"C:\\My Disk\\s.exe.001\" /B", "/SpanDiskFName1=", "/A=1  /B"},
      {"x /A=1 /A=2", "/A=", "x  /A=2"},
      {"x /spancdlvl=2", "/SpanCdLvl=", "x /spancdlvl=2"},   // matched with case
      {"x /B=1", "/A=", "x /B=1"},
      {"x /B=1", "", "x /B=1"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.out, RemoveParam(c.line, c.name)) << c.line;
}

}  // namespace
