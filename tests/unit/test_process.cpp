// Portable pieces of process control and piped execution: the task list's
// CSV, process-table lookups, window collection and main-window scoring,
// and the piped command line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "util/pipe.h"
#include "util/process.h"

namespace {

// ---------------------------------------------------------------- task list

// What "tasklist.exe /FO csv" prints on an English Windows 10, shortened; the
// memory column holds a thousands comma inside its quotes.
const char kTaskList[] =
    "\r\n"
    "\"Image Name\",\"PID\",\"Session Name\",\"Session#\",\"Mem Usage\"\r\n"
    "\"System Idle Process\",\"0\",\"Services\",\"0\",\"8 K\"\r\n"
    "\"System\",\"4\",\"Services\",\"0\",\"5,432 K\"\r\n"
    "\"svchost.exe\",\"1012\",\"Services\",\"0\",\"21,640 K\"\r\n"
    "\"My Product.exe\",\"2222\",\"Console\",\"1\",\"1,024 K\"\r\n"
    "\"notepad.exe\",\"4711\",\"Console\",\"1\",\"14,208 K\"\r\n"
    "\"NOTEPAD.EXE\",\"4800\",\"Console\",\"1\",\"14,100 K\"\r\n"
    "\"odd,name.exe\",\"5150\",\"Console\",\"1\",\"900 K\"\r\n"
    "\"X_agent.exe\",\"6001\",\"Console\",\"1\",\"2,000 K\"\r\n";

TEST(TaskList, FindsTheFirstProcessOfTheExecutablesFileName) {
  struct Case {
    const char* exe;
    uint32_t id;
  };
  const Case cases[] = {
      {"notepad.exe", 4711},  // the first of two, whatever their case
      {"Notepad.EXE", 4711},
      {"C:\\Windows\\System32\\notepad.exe", 4711},  // only the file name counts
      {"\"C:\\Program Files\\My Product\\My Product.exe\"", 2222},
      {"  X_agent.exe ", 6001},
      {"odd,name.exe", 5150},  // a comma inside the quotes is part of the name
      {"System Idle Process", 0},  // id 0 is no result
      {"Image Name", 0},           // the heading line is no process
      {"calc.exe", 0},
      {"", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(FindInTaskList(kTaskList, c.exe).processId, c.id) << c.exe;
}

TEST(TaskList, CountsProcessLinesSoAnEmptyListCanBeTold) {
  EXPECT_EQ(FindInTaskList(kTaskList, "calc.exe").rows, 8);
  // Wine's task list prints nothing; an error text has no id column.
  EXPECT_EQ(FindInTaskList("", "notepad.exe").rows, 0);
  EXPECT_EQ(FindInTaskList("ERROR: Access denied.\r\n", "notepad.exe").rows, 0);
  EXPECT_EQ(FindInTaskList("INFO: No tasks are running which match the specified criteria.\r\n", "x.exe").rows, 0);
}

TEST(TaskList, LineEndsWithoutCarriageReturnAndUnquotedFieldsWork) {
  const char text[] = "\"Image Name\",\"PID\"\nexplorer.exe,1500,Console,1,\"50,000 K\"\nsetup.exe , 77 \n";
  EXPECT_EQ(FindInTaskList(text, "explorer.exe").processId, 1500u);
  EXPECT_EQ(FindInTaskList(text, "setup.exe").processId, 77u);
}

// ----------------------------------------------------------- process table

TEST(ProcessTable, TheEntryListedLastWins) {
  const std::string table = "|System Idle Process=0|app.exe=100|other.exe=200|APP.EXE=300|";
  EXPECT_EQ(FindIdInProcessTable(table, "app.exe"), 300u);
  EXPECT_EQ(FindIdInProcessTable(table, " other.exe "), 200u);
  EXPECT_EQ(FindIdInProcessTable(table, "missing.exe"), 0u);
  EXPECT_EQ(FindIdInProcessTable("", "app.exe"), 0u);
  EXPECT_EQ(FindIdInProcessTable("|", "app.exe"), 0u);
}

TEST(ProcessTable, AnEqualsSignInANameDoesNotCutIt) {
  const std::string table = "|C:\\a=b\\tool.exe=42|C:\\a\\tool.exe=43|";
  EXPECT_EQ(FindIdInProcessTable(table, "C:\\a=b\\tool.exe"), 42u);
  EXPECT_EQ(FindIdInProcessTable(table, "C:\\a"), 0u);
}

TEST(ProcessTable, ShortFormsMatchButANameWithoutOneNeverDoes) {
  // A stand-in for the system's short-name lookup.
  auto shortForm = [](const std::string& path) -> std::string {
    if (path == "C:\\Program Files\\App\\app.exe" || path == "C:\\PROGRA~1\\App\\app.exe")
      return "C:\\PROGRA~1\\App\\app.exe";
    return "";
  };
  const std::string table = "|C:\\Program Files\\App\\app.exe=10|C:\\nowhere\\x.exe=11|";
  EXPECT_EQ(FindIdInProcessTable(table, "C:\\PROGRA~1\\App\\app.exe", shortForm), 10u);
  // Neither name has a short form: "" must not equal "".
  EXPECT_EQ(FindIdInProcessTable(table, "C:\\other\\y.exe", shortForm), 0u);
  // Without a lookup only the names count.
  EXPECT_EQ(FindIdInProcessTable(table, "C:\\PROGRA~1\\App\\app.exe"), 0u);
}

// ------------------------------------------------------- window collection

ProcessWindow W(uint32_t pid, const char* name, uintptr_t handle, const char* title = "") {
  ProcessWindow w;
  w.processId = pid;
  w.exeName = name;
  w.className = "C" + std::to_string(handle);
  w.handle = handle;
  w.threadId = pid + 1;
  w.title = title;
  w.visible = handle % 2 == 1;
  return w;
}

TEST(ProcessWindows, WithoutTheAllFlagEachExecutableIsCollectedOnce) {
  TProcessData data;
  ResetProcessData(data, false, "*", -1);
  EXPECT_EQ(data.ProcessIds(), "|");
  EXPECT_EQ(data.ExeNames(), "|");
  for (const ProcessWindow& w : {W(10, "a.exe", 1), W(10, "a.exe", 2), W(20, "B.exe", 3), W(21, " b.EXE", 4)})
    EXPECT_TRUE(AddProcessWindow(data, w));
  EXPECT_EQ(data.ProcessIds(), "|10|20|");
  EXPECT_EQ(data.ExeNames(), "|a.exe|B.exe|");
  EXPECT_EQ(data.Handles(), "|1|3|");
  EXPECT_EQ(data.ThreadIds(), "|11|21|");
  EXPECT_EQ(data.ClassNames(), "|C1|C3|");
  EXPECT_EQ(data.VisibleFlags(), "|1|1|");
}

TEST(ProcessWindows, WithTheAllFlagEveryWindowIsCollectedAndTheTableHasOneEntryEach) {
  TProcessData data;
  ResetProcessData(data, true, "a.exe", 10);
  for (const ProcessWindow& w : {W(10, "a.exe", 1, "Main"), W(10, "a.exe", 2), W(20, "b.exe", 3, "x|y")})
    EXPECT_TRUE(AddProcessWindow(data, w)) << "the all flag never stops the walk";
  EXPECT_EQ(data.ProcessTable(), "|a.exe=10|a.exe=10|b.exe=20|");
  EXPECT_EQ(data.VisibleFlags(), "|1|0|1|");
  // A title holding "|" gets the list another separator.
  EXPECT_EQ(data.Titles(), "*Main**x|y*");
}

TEST(ProcessWindows, WithoutTheAllFlagTheWalkStopsAtTheNameFilterOrTheIdFilter) {
  struct Case {
    const char* filter;
    int64_t id;
    size_t stopsAfter;  // windows taken before the walk stops (4: never)
  };
  const Case cases[] = {
      {"b.exe", -1, 2},
      {"B.EXE", -1, 4},  // the name filter is compared exactly
      {"*", 30, 3},
      {"*", 10, 1},
      {"*", -1, 4},
  };
  const ProcessWindow windows[] = {W(10, "a.exe", 1), W(20, "b.exe", 2), W(30, "c.exe", 3), W(40, "d.exe", 4)};
  for (const Case& c : cases) {
    TProcessData data;
    ResetProcessData(data, false, c.filter, c.id);
    size_t taken = 0;
    for (const ProcessWindow& w : windows) {
      ++taken;
      if (!AddProcessWindow(data, w)) break;
    }
    EXPECT_EQ(taken, c.stopsAfter) << c.filter << " " << c.id;
    EXPECT_EQ(data.windows.size(), c.stopsAfter) << "the window that stops the walk is kept";
  }
}

// ----------------------------------------------------------- main window

struct Win {
  uintptr_t handle;
  uintptr_t owner;  // top-most owner; 0: none
  bool titled;
  bool visible;
};

struct ScoreCase {
  const char* what;
  std::vector<Win> windows;
  std::vector<uint32_t> scores;
  uintptr_t main;
};

TEST(MainWindowScore, OwnersCollectPointsTitleAndVisibilityBreakThem) {
  const ScoreCase cases[] = {
      {"nothing collected", {}, {}, 0},
      {"a lone hidden untitled window is still the main window", {{7, 0, false, false}}, {4}, 7},
      {"an owned dialog raises its owner's score, not its own",
       {{1, 0, true, true}, {2, 1, true, true}},
       {11, 3},
       1},
      {"the dialog is collected first and still loses",
       {{2, 1, true, true}, {1, 0, true, true}},
       {3, 11},
       1},
      {"a chain of owners counts for the top-most one",
       {{1, 0, false, false}, {2, 1, true, true}, {3, 1, true, true}},
       {12, 3, 3},
       1},
      {"a titled visible window beats a hidden untitled one",
       {{1, 0, false, false}, {2, 0, true, true}},
       {4, 7},
       2},
      {"on equal scores the one collected first wins",
       {{5, 0, true, false}, {6, 0, true, false}},
       {6, 6},
       5},
      {"an owner in another process gives nothing; 0 never wins",
       {{8, 99, false, false}, {9, 99, false, false}},
       {0, 0},
       0},
      {"an unowned window given as its own top-most owner",
       {{4, 4, false, true}},
       {5},
       4},
  };
  for (const ScoreCase& c : cases) {
    TAnalizer a(123);
    for (const Win& w : c.windows) a.Add({w.handle, w.owner, w.titled, w.visible});
    EXPECT_EQ(a.ProcessId(), 123u);
    EXPECT_EQ(a.Count(), c.windows.size()) << c.what;
    EXPECT_EQ(a.Scores(), c.scores) << c.what;
    EXPECT_EQ(a.MainWindow(), c.main) << c.what;
  }
}

TEST(MainWindowScore, ManyWindowsAreAllKeptAndScoresDoNotWrap) {
  // 20,000 owned windows of one main window: more than a 16-bit score holds.
  TAnalizer a(1);
  a.Add({1, 0, false, false});
  for (uintptr_t h = 2; h <= 20001; ++h) a.Add({h, 1, true, true});
  EXPECT_EQ(a.Count(), 20001u);
  EXPECT_EQ(a.Scores()[0], 20001u * 4);
  EXPECT_EQ(a.MainWindow(), 1u);
}

TEST(MainWindowScore, InputMethodWindowsAreNoCandidates) {
  for (const char* c : {"IME", "ime", "MSCTFIME UI"}) EXPECT_TRUE(IsInputMethodWindowClass(c)) << c;
  for (const char* c : {"", "IMEX", "OTestProduct", "#32770", "MSCTFIME"})
    EXPECT_FALSE(IsInputMethodWindowClass(c)) << c;
}

// -------------------------------------------------------------- piped runs

TEST(PipedCommandLine, QuotesAProgramWithASpaceUnlessItHoldsAQuote) {
  struct Case {
    const char* program;
    const char* params;
    const char* line;
  };
  const Case cases[] = {
      {"C:\\Windows\\system32\\tasklist.exe", "/FO csv", "C:\\Windows\\system32\\tasklist.exe /FO csv"},
      {"C:\\Program Files\\Tool\\t.exe", "/x", "\"C:\\Program Files\\Tool\\t.exe\" /x"},
      {"\"C:\\Program Files\\Tool\\t.exe\"", "/x", "\"C:\\Program Files\\Tool\\t.exe\" /x"},
      {"C:\\Program Files\\Tool\\t.exe", "", "\"C:\\Program Files\\Tool\\t.exe\""},
      {"t.exe", "", "t.exe"},
  };
  for (const Case& c : cases) EXPECT_EQ(PipedCommandLine(c.program, c.params), c.line) << c.program;
}

TEST(PipedCommandLine, StartErrorNamesTheCommandOrSaysItIsTooLong) {
  EXPECT_EQ(PipedStartError("x.exe /a", "The system cannot find the file specified."),
            "x.exe /a --- The system cannot find the file specified.");
  const std::string longer(300, 'a');
  EXPECT_EQ(PipedStartError(longer, "E"), std::string(256, 'a') + " --- E");
  EXPECT_EQ(PipedStartError(std::string(32766, 'a'), "E"), std::string(256, 'a') + " --- E");
  EXPECT_EQ(PipedStartError(std::string(32767, 'a'), "E"), "Command line is too long");
}

}  // namespace
