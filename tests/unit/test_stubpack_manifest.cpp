// The manifest reader: INI sections, ${NAME} expansion, relative paths and
// the messages for mistakes.
#include <gtest/gtest.h>

#include <cstdlib>

#include "test_stubpack_util.h"

using stubpack::Definitions;
using stubpack::PackageDef;

namespace {

bool Parse(const std::string& text, PackageDef* def, std::string* error, const Definitions& defs = {}) {
  return stubpack::ParseManifestText(text, "m.ini", "/base/dir", defs, def, error);
}

const char kMinimal[] = "[Package]\nStub = stub.exe\nOutput = out/setup.exe\n";

}  // namespace

TEST(StubpackManifest, ReadsEverySectionIntoThePackageDefinition) {
  const char text[] =
      "\xEF\xBB\xBF; a comment\r\n"
      "[Package]\r\n"
      "Stub = ${WIN}/stub.exe\n"
      "Output = /abs/setup.exe\n"
      "Compression = 6\n"
      "Padding = 2K\n"
      "TextEncoding = utf-8\n"
      "[Options]\n"
      "ConfirmExtraction = yes\nRelaunchFromTemp = 0\nShowActivityBar = 1\nAgentTrace = true\n"
      "WebStub = 0\nConfirmDownload = 1\nInstallsAgent = on\nIsAgent = 0\n"
      "[Config]\n"
      "UpdateURL = http://127.0.0.1/updates\nInfoFile = P.info\nAgentName = PA.exe\n"
      "UpdateToken = \"  spaced token  \"\nHidden = 1\n"
      "[Download]\n"
      "URL = http://127.0.0.1/pkg\nFileName = real.exe\nAlwaysDownload = 1\nWebTokenStored = abcd\nSize = 5M\n"
      "[Space]\nExtra = 1M\n"
      "[Span]\nPartSize = 650M\nLayout = relaunch\n"
      "[Language English]\ns0 = Setup of ${PRODUCT}\nBtnText = |&OK|&Cancel|\n"
      "[Language German]\ns0 = Installation\n"
      "[File Engine]\nSource = ${WIN}/testengine.exe\nName = Engine.exe* /x\n"
      "[File]\nSource = files/readme.txt\nCompression = stored\nStamp = 2016-02-11 07:13:16\n"
      "[File big]\nSource = /data/manual.bin\nStamp = 1212889512\n";
  setenv("STUBPACK_TEST_PRODUCT", "unused", 1);
  PackageDef d;
  std::string error;
  ASSERT_TRUE(Parse(text, &d, &error, {{"WIN", "build/win"}, {"PRODUCT", "Lumen"}})) << error;
  EXPECT_EQ(d.stubPath, "/base/dir/build/win/stub.exe");  // relative to the manifest's folder
  EXPECT_EQ(d.output, "/abs/setup.exe");
  EXPECT_EQ(d.padding, 2048u);
  EXPECT_TRUE(d.textIsUtf8);
  EXPECT_TRUE(d.confirmExtraction);
  EXPECT_EQ(d.relaunchFromTemp, 0);
  EXPECT_TRUE(d.showActivityBar && d.agentTrace && d.confirmDownload && d.installsAgent);
  EXPECT_FALSE(d.webStub || d.isAgent);
  EXPECT_EQ(d.updateUrl, "http://127.0.0.1/updates");
  EXPECT_EQ(d.infoFile, "P.info");
  EXPECT_EQ(d.agentName, "PA.exe");
  EXPECT_EQ(d.updateToken, "  spaced token  ");  // quotes keep the spaces
  EXPECT_FALSE(d.updateTokenIsStored);
  EXPECT_TRUE(d.hidden);
  EXPECT_TRUE(d.hasDownload);
  EXPECT_EQ(d.webUrl, "http://127.0.0.1/pkg");
  EXPECT_EQ(d.webFileName, "real.exe");
  EXPECT_TRUE(d.alwaysDownload);
  EXPECT_EQ(d.webToken, "abcd");
  EXPECT_TRUE(d.webTokenIsStored);
  EXPECT_EQ(d.webSizeText, "5242880");
  EXPECT_EQ(d.extraSpace, 1048576u);
  EXPECT_EQ(d.partSize, 650ull << 20);
  EXPECT_EQ(d.layout, stubpack::SpanLayout::Relaunch);
  ASSERT_EQ(d.languages.size(), 2u);
  EXPECT_EQ(d.languages[0].name, "English");
  ASSERT_EQ(d.languages[0].entries.size(), 2u);
  EXPECT_EQ(d.languages[0].entries[0].second, "Setup of Lumen");  // -D wins over the environment
  EXPECT_EQ(d.languages[0].entries[1].second, "|&OK|&Cancel|");
  EXPECT_EQ(d.languages[1].name, "German");
  ASSERT_EQ(d.files.size(), 3u);
  EXPECT_EQ(d.files[0].source, "/base/dir/build/win/testengine.exe");
  EXPECT_EQ(d.files[0].name, "Engine.exe* /x");
  EXPECT_EQ(d.files[0].level, 6);  // the package's default
  EXPECT_FALSE(d.files[0].hasStamp);
  EXPECT_EQ(d.files[1].source, "/base/dir/files/readme.txt");
  EXPECT_EQ(d.files[1].name, "readme.txt");  // the source's file name by default
  EXPECT_EQ(d.files[1].level, stubpack::kStored);
  EXPECT_TRUE(d.files[1].hasStamp);
  EXPECT_EQ(d.files[1].stamp, 1212889512u);
  EXPECT_EQ(d.files[2].stamp, 1212889512u);
  EXPECT_EQ(d.files[2].origin, "m.ini:46");
}

TEST(StubpackManifest, ExpandsFromDefinitionsThenTheEnvironment) {
  setenv("STUBPACK_TEST_ENV", "from-env", 1);
  struct Case {
    const char* in;
    const char* out;  // nullptr: an error naming `err`
    const char* err;
  };
  const Case cases[] = {
      {"plain", "plain", nullptr},
      {"${A}/x", "a-value/x", nullptr},
      {"${STUBPACK_TEST_ENV}", "from-env", nullptr},
      {"${SHADOW}", "from-defs", nullptr},
      {"cost $$5 and $x", "cost $5 and $x", nullptr},
      {"trailing $", "trailing $", nullptr},
      {"${A}${A}", "a-valuea-value", nullptr},
      {"${STUBPACK_TEST_UNDEFINED}", nullptr, "${STUBPACK_TEST_UNDEFINED} is not defined: pass -D"},
      {"${A", nullptr, "closing"},
      {"${}", nullptr, "not a valid name"},
      {"${A-B}", nullptr, "not a valid name"},
  };
  setenv("SHADOW", "from-env", 1);
  Definitions defs = {{"A", "a-value"}, {"SHADOW", "from-defs"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    std::string out, error;
    bool ok = stubpack::ExpandValue(c.in, defs, &out, &error);
    EXPECT_EQ(ok, c.out != nullptr);
    if (c.out) {
      EXPECT_EQ(out, c.out);
    } else {
      EXPECT_NE(error.find(c.err), std::string::npos) << error;
    }
  }
  unsetenv("SHADOW");
}

TEST(StubpackManifest, MistakesAreReportedWithTheirLine) {
  struct Case {
    const char* text;
    const char* expect;
  };
  const Case cases[] = {
      {"[Package]\nStub = s\nOutput = o\nStubb = x\n", "m.ini:4: unknown key \"Stubb\""},
      {"[Packages]\n", "m.ini:1: unknown section [Packages]"},
      {"[Package]\nStub = s\nStub = t\nOutput = o\n", "m.ini:3: key Stub is given twice"},
      {"[Package]\nOutput = o\n", "needs Stub"},
      {"[Package]\nStub = s\n", "needs Output"},
      {"[Options]\nWebStub = 1\n", "needs a [Package] section"},
      {"Stub = s\n", "m.ini:1: \"Stub = s\" stands before the first [Section]"},
      {"[Package\n", "m.ini:1: a section header must end"},
      {"[Package]\njust words\n", "m.ini:2: expected \"key = value\""},
      {"[Package]\nStub = s\nOutput = o\n[Options]\nWebStub = maybe\n", "m.ini:5: WebStub must be 0 or 1"},
      {"[Package]\nStub = s\nOutput = o\nCompression = 11\n", "m.ini:4: Compression must be a deflate level"},
      {"[Package]\nStub = ${NOPE_STUBPACK}\n", "m.ini:2: ${NOPE_STUBPACK} is not defined"},
      {"[Package]\nStub = s\nOutput = o\n[File]\nName = x\n", "m.ini:4: [File] needs Source"},
      {"[Package]\nStub = s\nOutput = o\n[File]\nSource = a\nStamp = 2016-02-30\n", "m.ini:6: Stamp must be"},
      {"[Package]\nStub = s\nOutput = o\n[Span]\nLayout = relaunch\n", "[Span] needs PartSize"},
      {"[Package]\nStub = s\nOutput = o\n[Span]\nPartSize = 1\nLayout = sideways\n", "Layout must be"},
      {"[Package]\nStub = s\nOutput = o\n[Space]\nTable = 1 2 3\n", "Table needs 9 numbers"},
      {"[Package]\nStub = s\nOutput = o\n[Language]\n", "name the language"},
      {"[Package]\nStub = s\nOutput = o\n[Language en]\n[Language EN]\n", "language EN is given twice"},
      {"[Package]\nStub = s\nOutput = o\n[Config]\nUpdateToken = a\nUpdateTokenStored = b\n", "not both"},
      {"[Package]\nStub = s\nOutput = o\n[Options]\n[Options]\n", "m.ini:5: section [Options] appears twice"},
      {"[Package]\nStub = s\nOutput = o\nTextEncoding = latin9\n", "TextEncoding must be"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    PackageDef d;
    std::string error;
    EXPECT_FALSE(Parse(c.text, &d, &error));
    EXPECT_NE(error.find(c.expect), std::string::npos) << error;
  }
  PackageDef d;
  std::string error;
  EXPECT_TRUE(Parse(kMinimal, &d, &error)) << error;
}

TEST(StubpackManifest, ValueParsers) {
  struct SizeCase {
    const char* in;
    bool ok;
    uint64_t v;
  };
  const SizeCase sizes[] = {{"0", true, 0},        {"1234", true, 1234},      {"4K", true, 4096},
                            {"2 MiB", true, 2097152}, {"1g", true, 1073741824}, {"", false, 0},
                            {"-1", false, 0},      {"1.5M", false, 0},        {"12T", false, 0},
                            {"99999999999999999999", false, 0}, {"20000000000G", false, 0}};
  for (const SizeCase& c : sizes) {
    SCOPED_TRACE(c.in);
    uint64_t v = 0;
    EXPECT_EQ(stubpack::ParseSize(c.in, &v), c.ok);
    if (c.ok) {
      EXPECT_EQ(v, c.v);
    }
  }
  struct StampCase {
    const char* in;
    bool ok;
    uint32_t v;
  };
  const StampCase stamps[] = {
      {"2016-02-11 07:13:16", true, 1212889512},
      {"2016-02-11T07:13:16", true, 1212889512},
      {"2016-02-11 07:13", true, pkg::EncodeDosStamp(2016, 2, 11, 7, 13, 0)},
      {"2016-02-11", true, pkg::EncodeDosStamp(2016, 2, 11, 0, 0, 0)},
      {"0", true, 0},
      {"2024-02-29", true, pkg::EncodeDosStamp(2024, 2, 29, 0, 0, 0)},
      {"2023-02-29", false, 0},
      {"1979-12-31", false, 0},
      {"2016-13-01", false, 0},
      {"2016-02-11x", false, 0},
      {"2016-02-11 24:00:00", false, 0},
      {"4294967296", false, 0},
  };
  for (const StampCase& c : stamps) {
    SCOPED_TRACE(c.in);
    uint32_t v = 7;
    EXPECT_EQ(stubpack::ParseStamp(c.in, &v), c.ok);
    if (c.ok) {
      EXPECT_EQ(v, c.v);
    }
  }
  int level = 0;
  EXPECT_TRUE(stubpack::ParseCompression("Stored", &level));
  EXPECT_EQ(level, stubpack::kStored);
  EXPECT_TRUE(stubpack::ParseCompression("0", &level));
  EXPECT_EQ(level, 0);
  EXPECT_FALSE(stubpack::ParseCompression("10", &level));
}

TEST(StubpackManifest, TheExampleProductParses) {
  PackageDef d;
  std::string error;
  std::string here = __FILE__;  // .../tests/unit/this file
  std::string root = stubpack::DirName(stubpack::DirName(stubpack::DirName(here)));
  std::string path = root + "/examples/product/product.ini";
  ASSERT_TRUE(stubpack::ParseManifest(path, {{"WINBUILD", "/w"}, {"PAYLOAD", "/p"}, {"OUT", "/o"}}, &d, &error))
      << error;
  EXPECT_EQ(d.stubPath, "/w/stub.exe");
  ASSERT_FALSE(d.files.empty());
  EXPECT_EQ(d.files[0].name.substr(0, 11), "Engine.exe*");
  EXPECT_EQ(d.files[0].source, "/w/testengine.exe");
  EXPECT_EQ(d.files.back().source, "/p/manual.bin");
  ASSERT_EQ(d.languages.size(), 2u);
  EXPECT_EQ(d.languages[0].name, "English");
  EXPECT_EQ(d.languages[1].name, "German");
  EXPECT_EQ(d.updateUrl, "http://127.0.0.1/updates");
}
