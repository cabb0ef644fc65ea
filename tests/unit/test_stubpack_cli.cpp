// The stubpack command line, driven through RunStubpack as main() drives it.
#include <gtest/gtest.h>

#include "commands.h"
#include "test_stubpack_util.h"
#include "util/scramble.h"

using sptest::GetFile;
using sptest::PutFile;
using sptest::TempDir;

namespace {

struct CliRun {
  int rc = -1;
  std::string out, err;
};

CliRun Stubpack(const std::vector<std::string>& args) {
  CliRun r;
  r.rc = stubpack::RunStubpack(args, &r.out, &r.err);
  return r;
}

// A manifest in dir over a fake stub, with ${NAME} references left to -D.
void WriteProduct(const TempDir& dir) {
  PutFile(dir / "stub.exe", sptest::FakeStub());
  PutFile(dir / "engine.exe", "MZ engine");
  PutFile(dir / "readme.txt", "read me");
  PutFile(dir / "product.ini",
          "[Package]\n"
          "Stub = stub.exe\n"
          "Output = ${OUT}/setup.exe\n"
          "[Options]\nInstallsAgent = 1\n"
          "[Config]\nUpdateURL = http://127.0.0.1/updates\nInfoFile = P.info\nAgentName = PA.exe\n"
          "UpdateToken = ${TOKEN}\n"
          "[Language English]\ns0 = P Setup\n"
          "[File]\nSource = engine.exe\nName = Engine.exe*\n"
          "[File]\nSource = readme.txt\n");
}

}  // namespace

TEST(StubpackCli, UsageMistakesExitWithTwoAndSayWhatToDo) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"frobnicate"},
      {"build"},
      {"build", "a.ini", "b.ini"},
      {"build", "a.ini", "-D"},
      {"build", "a.ini", "-D", "=x"},
      {"build", "a.ini", "--fast"},
      {"inspect"},
      {"inspect", "--deep", "x"},
      {"token"},
      {"token", "encode"},
      {"token", "decode"},
      {"token", "rot13", "x"},
      {"token", "encode", "x", "--seed", "zero"},
      {"scramble"},
      {"scramble", "a", "-o"},
      {"scramble", "a", "--key", "5"},
      {"inform", "token-only"},
  };
  for (const auto& args : cases) {
    std::string joined;
    for (const auto& a : args) joined += a + " ";
    SCOPED_TRACE(joined);
    CliRun r = Stubpack(args);
    EXPECT_EQ(r.rc, stubpack::kExitUsage);
    EXPECT_EQ(r.err.rfind("stubpack: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("--help"), std::string::npos);
  }
  CliRun help = Stubpack({"--help"});
  EXPECT_EQ(help.rc, 0);
  EXPECT_NE(help.out.find("stubpack build MANIFEST"), std::string::npos);
  EXPECT_EQ(Stubpack({"inspect", "--help"}).rc, 0);
}

TEST(StubpackCli, BuildThenInspectAPackage) {
  TempDir dir;
  WriteProduct(dir);
  CliRun b = Stubpack({"build", dir / "product.ini", "-D", "OUT=" + dir.path(), "-DTOKEN=tok-1"});
  ASSERT_EQ(b.rc, 0) << b.err;
  EXPECT_NE(b.out.find("wrote " + dir.path() + "/setup.exe"), std::string::npos) << b.out;
  EXPECT_NE(b.out.find("2 records"), std::string::npos) << b.out;
  TGFileInfo info(dir / "setup.exe");
  EXPECT_EQ(info.UpdateToken(true), "tok-1");
  EXPECT_TRUE(info.InstallsAgent());

  CliRun i = Stubpack({"inspect", dir / "setup.exe"});
  EXPECT_EQ(i.rc, 0) << i.err;
  EXPECT_NE(i.out.find("Verdict: sound"), std::string::npos);
  EXPECT_NE(i.out.find("readme.txt"), std::string::npos);
  CliRun q = Stubpack({"inspect", "-q", dir / "setup.exe"});
  EXPECT_EQ(q.rc, 0);
  EXPECT_EQ(q.out.find("Trailer"), std::string::npos);

  // Damage: a flipped byte in the last record.
  std::string bytes = GetFile(dir / "setup.exe");
  bytes[bytes.size() - 80] ^= 0x40;
  PutFile(dir / "bad.exe", bytes);
  CliRun d = Stubpack({"inspect", dir / "bad.exe"});
  EXPECT_EQ(d.rc, stubpack::kExitFailure);
  EXPECT_NE(d.err.find("stubpack: damage: "), std::string::npos) << d.err;
  EXPECT_NE(d.err.find("is damaged"), std::string::npos) << d.err;

  CliRun missing = Stubpack({"inspect", dir / "nothing.exe"});
  EXPECT_EQ(missing.rc, stubpack::kExitFailure);

  // An undefined name fails the build with the line and the remedy.
  CliRun u = Stubpack({"build", dir / "product.ini", "-D", "OUT=" + dir.path()});
  EXPECT_EQ(u.rc, stubpack::kExitFailure);
  EXPECT_NE(u.err.find("product.ini:10: ${TOKEN} is not defined: pass -D TOKEN=VALUE"), std::string::npos) << u.err;
}

TEST(StubpackCli, TokensEncodeAndDecode) {
  CliRun e = Stubpack({"token", "encode", "My Product 2.0"});
  ASSERT_EQ(e.rc, 0);
  std::string stored = e.out.substr(0, e.out.size() - 1);
  CliRun d = Stubpack({"token", "decode", stored});
  EXPECT_EQ(d.rc, 0);
  EXPECT_EQ(d.out, "My Product 2.0\n");
  EXPECT_EQ(Stubpack({"token", "encode", "x", "--seed", "7"}).out, Stubpack({"token", "encode", "x", "--seed", "7"}).out);
  EXPECT_NE(Stubpack({"token", "encode", "x", "--seed", "7"}).out, Stubpack({"token", "encode", "x", "--seed", "8"}).out);
  for (const char* bad : {"", "abc", "hello world", "zzzzzzzzzz"}) {
    SCOPED_TRACE(bad);
    CliRun r = Stubpack({"token", "decode", bad});
    EXPECT_EQ(r.rc, stubpack::kExitFailure);
    EXPECT_NE(r.err.find("does not decode"), std::string::npos);
  }
}

TEST(StubpackCli, ScrambleAndUnscrambleFiles) {
  TempDir dir;
  std::string text = "Inform|x|||{\\rtf1 New version 2.0 is out!}\r\n";
  PutFile(dir / "plain.txt", text);
  CliRun s = Stubpack({"scramble", dir / "plain.txt", "-o", dir / "s.txt"});
  ASSERT_EQ(s.rc, 0) << s.err;
  std::string scrambled = GetFile(dir / "s.txt");
  EXPECT_EQ(scrambled.rfind("Scrambled=01", 0), 0u);
  EXPECT_EQ(ScrambleText(scrambled, false), text);
  CliRun u = Stubpack({"unscramble", dir / "s.txt"});
  EXPECT_EQ(u.rc, 0);
  EXPECT_EQ(u.out, text);  // to standard output without -o
  CliRun k = Stubpack({"scramble", dir / "plain.txt", "--key", "65"});
  EXPECT_EQ(k.out, ScrambleTextWithKey(text, 65));

  CliRun again = Stubpack({"scramble", dir / "s.txt"});
  EXPECT_EQ(again.out, scrambled);
  EXPECT_NE(again.err.find("already scrambled"), std::string::npos);
  CliRun notScrambled = Stubpack({"unscramble", dir / "plain.txt"});
  EXPECT_EQ(notScrambled.out, text);
  EXPECT_NE(notScrambled.err.find("not scrambled"), std::string::npos);
  EXPECT_EQ(Stubpack({"scramble", dir / "none.txt"}).rc, stubpack::kExitFailure);
}

TEST(StubpackCli, InformFilesCarryTheProductsToken) {
  TempDir dir;
  sptest::Builder b(dir);
  b.def.updateToken = "release-token";
  ASSERT_TRUE(b.Build());
  TGFileInfo agent(b.def.output);
  PutFile(dir / "text.rtf", "{\\rtf1 Version 3 is here}");
  for (bool plain : {false, true}) {
    SCOPED_TRACE(plain);
    std::vector<std::string> args = {"inform", "release-token", dir / "text.rtf", "-o", dir / "p.inform"};
    if (plain) args.push_back("--plain");
    CliRun r = Stubpack(args);
    ASSERT_EQ(r.rc, 0) << r.err;
    std::string file = GetFile(dir / "p.inform");
    EXPECT_EQ(file.rfind("Scrambled=01", 0) == 0, !plain);
    EXPECT_TRUE(agent.CheckDownloadedToken(dir / "p.inform", 3));
    std::string token, rest;
    ASSERT_TRUE(pkg::SplitTokenText(file, &token, &rest));
    EXPECT_EQ(rest, "{\\rtf1 Version 3 is here}");
  }
  ASSERT_EQ(Stubpack({"inform", "another-product", dir / "text.rtf", "-o", dir / "o.inform"}).rc, 0);
  EXPECT_FALSE(agent.CheckDownloadedToken(dir / "o.inform", 3));
}
