// Process control against real processes: copies of testproduct.exe, the
// stand-in installed product, each under its own name and folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "env/files.h"
#include "stub/entry_points.h"
#include "util/handle_win.h"
#include "util/process.h"
#include "util/sub.h"
#include "util/sysinfo.h"

namespace {

bool WaitFor(const std::function<bool()>& done, DWORD limitMs) {
  for (DWORD waited = 0; waited < limitMs; waited += 100) {
    if (done()) return true;
    Sleep(100);
  }
  return done();
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// One running copy of testproduct.exe in a folder of its own.
class Product {
 public:
  // Copies the product to <temp>\stub_proc_<pid>_<n>\<name> and starts it with
  // the switches; waits until it has logged "ready".
  Product(const std::string& name, const std::string& switches) {
    static int counter = 0;
    folder_ = GetTempDir(true) + "stub_proc_" + std::to_string(GetCurrentProcessId()) + "_" +
              std::to_string(GetTickCount()) + "_" + std::to_string(++counter);
    CreateDirectoryA(folder_.c_str(), nullptr);
    path_ = folder_ + "\\" + name;
    log_ = folder_ + "\\product.log";
    const std::string source = GetExeDir(true) + "testproduct.exe";
    if (!CopyFileA(source.c_str(), path_.c_str(), FALSE)) {
      ADD_FAILURE() << "build testproduct.exe beside the tests: " << source;
      return;
    }
    className_ = "OTestProduct" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(counter);
    std::string command = "\"" + path_ + "\" /log=\"" + log_ + "\" /class=" + className_ + " " + switches;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(path_.c_str(), &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si,
                        &pi)) {
      ADD_FAILURE() << "cannot start " << path_ << ": " << GetLastError();
      return;
    }
    process_.reset(pi.hProcess);
    UniqueHandle thread(pi.hThread);
    id_ = pi.dwProcessId;
    EXPECT_TRUE(WaitFor([&] { return Contains(Log(), "ready\r\n"); }, 20000)) << Log();
  }
  ~Product() {
    if (process_ && Running()) {
      TerminateProcess(process_.get(), 9);
      WaitForSingleObject(process_.get(), 10000);
    }
    process_.reset();
    DeleteFolderTree(folder_, true);
  }

  const std::string& Path() const { return path_; }
  std::string Name() const { return path_.substr(path_.rfind('\\') + 1); }
  const std::string& ClassName() const { return className_; }
  DWORD Id() const { return id_; }
  std::string Log() const { return ReadFilePart(log_, 0, 0); }
  bool Running() const { return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }
  // Whether the process ended within about limitMs.
  bool Ends(DWORD limitMs = 15000) const {
    return process_ && WaitForSingleObject(process_.get(), limitMs) == WAIT_OBJECT_0;
  }
  DWORD ExitCode() const {
    DWORD code = 0;
    GetExitCodeProcess(process_.get(), &code);
    return code;
  }
  HWND MainWindow() const { return FindWindowA(className_.c_str(), nullptr); }
  HWND OwnedWindow() const { return FindWindowA((className_ + "Owned").c_str(), nullptr); }

 private:
  std::string folder_, path_, log_, className_;
  UniqueHandle process_;
  DWORD id_ = 0;
};

// ----------------------------------------------------------- finding it

TEST(FindProcess, ByNameAndByFullPathEveryWay) {
  Product p("tp_find.exe", "");
  ASSERT_TRUE(p.Running());
  const std::string quoted = "\"" + p.Path() + "\"";
  EXPECT_EQ(FindProcessId(p.Name(), false), p.Id());
  EXPECT_EQ(FindProcessId(p.Path(), true), p.Id());
  EXPECT_EQ(FindProcessId(quoted, true), p.Id());
  EXPECT_EQ(FindProcessId(p.Name(), true), 0u) << "a bare name is no full path";
  EXPECT_EQ(FindProcessIdByStatus(" TP_FIND.EXE ", false), p.Id());
  // On NT the snapshot holds file names only.
  EXPECT_EQ(FindProcessIdBySnapshot(p.Name(), false), p.Id());
  EXPECT_EQ(FindProcessIdInTable(p.Name(), false), p.Id());
  EXPECT_EQ(FindProcessIdInTable(p.Path(), false), p.Id()) << "reduced to its file name";
  EXPECT_EQ(FindProcessIdInTable(p.Path(), true), p.Id());
  EXPECT_TRUE(IsProcessRunning(quoted));
  EXPECT_TRUE(IsProcessRunning(p.Name()));
  EXPECT_NE(SUB::IndexOf(GetProcessTable(true), p.Path() + "=" + std::to_string(p.Id())), -1);
  EXPECT_NE(SUB::IndexOf(GetProcessTable(false), p.Name() + "=" + std::to_string(p.Id())), -1);

  EXPECT_EQ(FindProcessId("tp_nobody.exe", false), 0u);
  EXPECT_FALSE(IsProcessRunning("tp_nobody.exe"));
  EXPECT_FALSE(KillProcess("tp_nobody.exe", false));
}

TEST(FindProcess, TwoCopiesOfOneNameAreToldApartByTheirPaths) {
  Product a("tp_same.exe", "");
  Product b("tp_same.exe", "");
  ASSERT_TRUE(a.Running() && b.Running());
  EXPECT_EQ(FindProcessId(a.Path(), true), a.Id());
  EXPECT_EQ(FindProcessId(b.Path(), true), b.Id());
  EXPECT_EQ(FindProcessIdInTable(a.Path(), true), a.Id());
  EXPECT_EQ(FindProcessIdInTable(b.Path(), true), b.Id());
  // Terminating by full path ends that copy only.
  EXPECT_TRUE(KillProcess(b.Path(), true));
  EXPECT_TRUE(b.Ends());
  EXPECT_TRUE(a.Running());
  EXPECT_EQ(FindProcessIdInTable(b.Path(), true), 0u);
}

TEST(FindProcess, AProgramWithoutWindowsIsMissingFromTheWindowTableButFoundByPath) {
  Product p("tp_nowin.exe", "/nowindow");
  ASSERT_TRUE(p.Running());
  EXPECT_FALSE(IsProcessRunning(p.Path()));
  EXPECT_EQ(FindProcessIdInTable(p.Path(), true), p.Id());
  EXPECT_EQ(FindProcessId(p.Path(), true), p.Id());
  EXPECT_EQ(FindMainWindow(p.Path(), true), 0u);
  EXPECT_FALSE(CloseProcess(p.Path(), true, 0));
  EXPECT_TRUE(KillProcess(p.Path(), true));
  EXPECT_TRUE(p.Ends());
}

// ------------------------------------------------------------- its windows

TEST(MainWindow, TheOwnerWinsOverItsOwnedWindow) {
  Product p("tp_owned.exe", "/owned /title=\"Owner Window\"");
  ASSERT_TRUE(p.MainWindow() && p.OwnedWindow());
  EXPECT_EQ(FindMainWindow(p.Path(), true), reinterpret_cast<uintptr_t>(p.MainWindow()));
  EXPECT_EQ(FindMainWindow(p.Name(), false), reinterpret_cast<uintptr_t>(p.MainWindow()));
  EXPECT_EQ(GetProcessNameOfWindow(reinterpret_cast<uintptr_t>(p.OwnedWindow())), p.Name());

  TProcessData all;
  GetProcessWindows(all, true, "*", -1);
  int mine = 0;
  for (const ProcessWindow& w : all.windows) {
    // Besides the system's input-method window.
    if (w.processId != p.Id() || IsInputMethodWindowClass(w.className)) continue;
    ++mine;
    EXPECT_EQ(w.exeName, p.Name());
    if (w.handle == reinterpret_cast<uintptr_t>(p.MainWindow())) {
      EXPECT_EQ(w.className, p.ClassName());
      EXPECT_EQ(w.title, "Owner Window");
      EXPECT_TRUE(w.visible);
    }
  }
  EXPECT_EQ(mine, 2) << "both top-level windows of the product";

  // Without the all flag a process is collected once, and the walk stops at
  // the id filter.
  TProcessData once;
  GetProcessWindows(once, false, "", p.Id());
  ASSERT_FALSE(once.windows.empty());
  EXPECT_EQ(once.windows.back().processId, p.Id());
  int count = 0;
  for (const ProcessWindow& w : once.windows) count += w.processId == p.Id();
  EXPECT_EQ(count, 1);
}

TEST(MainWindow, AHiddenUntitledWindowIsStillTheMainWindow) {
  Product p("tp_hidden.exe", "/hidden");
  ASSERT_TRUE(p.MainWindow());
  EXPECT_FALSE(IsWindowVisible(p.MainWindow()));
  EXPECT_EQ(FindMainWindow(p.Path(), true), reinterpret_cast<uintptr_t>(p.MainWindow()));
}

TEST(MainWindow, MessagesArriveWithTheirParameters) {
  Product p("tp_msg.exe", "");
  EXPECT_TRUE(PostProcessMessage(p.Path(), true, 1124, 12, 34));
  // The start-up's forwarding goes through the same call.
  EXPECT_TRUE(stub::PostProcessMessage(p.Path(), 1, 1123, 0, 0));
  EXPECT_TRUE(WaitFor([&] { return Contains(p.Log(), "message 1123 wParam=0 lParam=0\r\n"); }, 10000)) << p.Log();
  EXPECT_TRUE(Contains(p.Log(), "message 1124 wParam=12 lParam=34\r\n")) << p.Log();
  EXPECT_FALSE(PostProcessMessage("tp_nobody.exe", false, 1124, 1, 2));
}

// --------------------------------------------------------------- ending it

TEST(ShutDown, EachMethodEndsAnObedientProduct) {
  struct Method {
    const char* name;
    std::function<bool(const std::string&)> run;
    const char* logged;  // what the product saw; "" when it saw nothing
    bool endsNormally;
  };
  const Method methods[] = {
      {"close", [](const std::string& exe) { return CloseProcess(exe, true, 10000); },
       "WM_CLOSE wParam=15 lParam=255\r\n", true},
      {"quit", [](const std::string& exe) { return PostQuitToProcess(exe, true); }, "WM_QUIT wParam=15 lParam=255\r\n",
       true},
      {"terminate", [](const std::string& exe) { return KillProcess(exe, true); }, "", false},
  };
  for (const Method& m : methods) {
    Product p(std::string("tp_") + m.name + ".exe", "/exit=7");
    ASSERT_TRUE(p.Running()) << m.name;
    EXPECT_TRUE(m.run(p.Path())) << m.name;
    ASSERT_TRUE(p.Ends()) << m.name;
    const std::string log = p.Log();
    if (*m.logged) {
      EXPECT_TRUE(Contains(log, m.logged)) << m.name << "\n" << log;
    }
    // A terminated product writes no end line and exits with 0.
    EXPECT_EQ(Contains(log, "end exit=7"), m.endsNormally) << m.name << "\n" << log;
    EXPECT_EQ(p.ExitCode(), m.endsNormally ? 7u : 0u) << m.name;
    EXPECT_FALSE(IsProcessRunning(p.Path())) << m.name;
  }
}

TEST(ShutDown, AStubbornProductSurvivesThePoliteWaysButNotTermination) {
  Product p("tp_stubborn.exe", "/ignoreclose /ignorequit");
  ASSERT_TRUE(p.Running());
  EXPECT_TRUE(CloseProcess(p.Path(), true, 1500));
  EXPECT_TRUE(PostQuitToProcess(p.Path(), true));
  EXPECT_TRUE(WaitFor([&] { return Contains(p.Log(), "WM_QUIT wParam=15 lParam=255 ignored\r\n"); }, 10000))
      << p.Log();
  EXPECT_TRUE(Contains(p.Log(), "WM_CLOSE wParam=15 lParam=255 ignored\r\n")) << p.Log();
  WaitProcessEnd(p.Path(), 0);
  EXPECT_TRUE(p.Running());
  EXPECT_TRUE(IsProcessRunning(p.Path()));
  EXPECT_TRUE(KillProcess(p.Path(), true));
  EXPECT_TRUE(p.Ends());
}

TEST(ShutDown, WaitProcessEndReturnsOnceTheProcessHasGone) {
  Product p("tp_wait.exe", "");
  ASSERT_TRUE(PostQuitToProcess(p.Path(), true));
  // Up to a minute: the process goes much sooner, and the wait must notice.
  WaitProcessEnd(p.Path(), 60000);
  EXPECT_FALSE(IsProcessRunning(p.Path()));
  EXPECT_TRUE(p.Ends(0));
}

TEST(ShutDown, WaitWindowGoneWaitsForTheWindowOfThatClass) {
  Product p("tp_gone.exe", "/lifetime=1500 /title=Leaving");
  ASSERT_TRUE(p.MainWindow());
  WaitWindowGone(p.ClassName(), "");
  EXPECT_EQ(FindWindowA(p.ClassName().c_str(), nullptr), nullptr);
  EXPECT_TRUE(WaitFor([&] { return Contains(p.Log(), "lifetime over"); }, 10000));
}

}  // namespace
