// The run-mode decision and the names it rests on.
#include <gtest/gtest.h>

#include "stub/run_mode.h"
#include "util/version.h"

namespace {

using runmode::Branch;

TEST(RunMode, InstanceClassNames) {
  EXPECT_EQ(runmode::InstanceClassName(false, "C:\\Downloads\\setup.exe"), "C:\\Downloads\\setup.exe");
  EXPECT_EQ(runmode::InstanceClassName(true, "C:\\P\\agent.exe"), ".AutoUpdate.agent");
  EXPECT_EQ(runmode::InstanceClassName(true, "C:\\P\\X_agent.exe"), ".AutoUpdate.X_agent");
  EXPECT_EQ(runmode::InstanceClassName(true, "C:\\P\\my.agent.exe"), ".AutoUpdate.my");
  EXPECT_EQ(runmode::XAgentClassName("Agent.exe"), ".AutoUpdate.X_Agent");
}

TEST(RunMode, AgentNamesCompareTrimmedIgnoringCase) {
  struct Case {
    bool flag;
    const char* file;
    const char* agent;
    bool plain, x;
  } cases[] = {
      {true, "agent.exe", "agent.exe", true, false},   {true, "AGENT.EXE", " agent.exe ", true, false},
      {true, "X_agent.exe", "agent.exe", false, true}, {true, "x_Agent.exe", "agent.exe ", false, true},
      {true, "setup.exe", "agent.exe", false, false},  {false, "agent.exe", "agent.exe", false, false},
      {false, "X_agent.exe", "agent.exe", false, false}, {true, "agent.exe", "", false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(runmode::IsPlainAgent(c.flag, c.file, c.agent), c.plain) << c.file;
    EXPECT_EQ(runmode::IsXAgent(c.flag, c.file, c.agent), c.x) << c.file;
  }
}

TEST(RunMode, FirstApplicableBranchWins) {
  struct Case {
    runmode::Facts f;
    Branch want;
  } cases[] = {
      {{true, true, false, true, 1}, Branch::AlreadyRunning},
      {{false, true, false, true, 1}, Branch::PlainAgent},
      {{false, false, true, true, 1}, Branch::XAgent},
      {{false, false, false, true, 1}, Branch::SpannedStart},
      {{false, false, false, true, 2}, Branch::Setup},
      {{false, false, false, false, 1}, Branch::Setup},
  };
  for (const Case& c : cases) EXPECT_STREQ(runmode::BranchName(runmode::Decide(c.f)), runmode::BranchName(c.want));
}

TEST(Version, FormatVersion) {
  struct Case {
    const char* in;
    int width, parts;
    const char* out;
  } cases[] = {{"1.2.3.4", 2, 3, "01.02.03"}, {"12,0,0,1", 1, 2, "12.0"}, {"v1.5 beta", 1, 4, "1.5.0.0"},
               {"", 1, 2, "0.0"},             {"7", 3, 1, "007"}};
  for (const Case& c : cases) EXPECT_EQ(FormatVersion(c.in, c.width, c.parts), c.out) << c.in;
}

}  // namespace
