// Records and the package reader over hand-made packages, good and bad.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <random>

#include "package/lang.h"
#include "package/reader.h"
#include "package/records.h"
#include "package_fixture.h"
#include "util/scramble.h"

using fixture::Package;

namespace {

struct CollectSink : pkg::RecordSink {
  std::vector<pkg::RecordHeader> headers;
  std::vector<std::string> data;
  bool Begin(const pkg::RecordHeader& h) override {
    headers.push_back(h);
    data.emplace_back();
    return true;
  }
  bool Write(const uint8_t* p, size_t n) override {
    data.back().append(reinterpret_cast<const char*>(p), n);
    return true;
  }
};

// Walks every block of a package file and reads the records into a sink.
struct Walked {
  std::vector<pkg::RecordResult> results;
  std::string why;
  bool damaged = false;
  CollectSink sink;
};

Walked WalkAll(const std::string& bytes) {
  Walked w;
  pkg::MemorySource src(bytes.data(), bytes.size());
  pkg::Trailer t;
  if (!pkg::ReadTrailer(src, &t) || !t.HasMagic()) {
    w.damaged = true;
    return w;
  }
  pkg::BlockWalker walk(src, t.packageStart, pkg::PackageEndOf(src) - t.length);
  pkg::BlockRef b;
  for (int i = 0;; ++i) {
    pkg::WalkStatus s = walk.Next(&b, &w.why);
    if (s == pkg::WalkStatus::End) break;
    if (s == pkg::WalkStatus::Damaged) {
      w.damaged = true;
      break;
    }
    if (i < t.headerBlocks) continue;
    w.results.push_back(pkg::ReadRecord(src, b, w.sink, &w.why));
    if (w.results.back() == pkg::RecordResult::Damaged) {
      w.damaged = true;
      break;
    }
  }
  return w;
}

std::string Noise(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::string s(n, '\0');
  for (auto& c : s) c = char(rng());
  return s;
}

TEST(Records, CompressedAndStoredRecordsStreamTheirBytes) {
  Package p;
  std::string big = Noise(3 * 65536 + 17, 1) + std::string(200000, 'z');
  p.records = {fixture::Record("Engine.exe* /x", 5, "MZengine"), fixture::Record("a.txt", 6, "hello", true),
               fixture::Record("big.bin", 7, big), fixture::Record("empty.txt", 8, "")};
  Walked w = WalkAll(p.Bytes());
  ASSERT_FALSE(w.damaged) << w.why;
  ASSERT_EQ(w.sink.headers.size(), 4u);
  EXPECT_EQ(w.sink.headers[0].launchName, "Engine.exe* /x");
  EXPECT_EQ(w.sink.headers[0].name, "Engine.exe");
  EXPECT_EQ(w.sink.data[0], "MZengine");
  EXPECT_EQ(w.sink.data[1], "hello");
  EXPECT_EQ(w.sink.data[2], big);
  EXPECT_EQ(w.sink.headers[3].stamp, 8u);
  EXPECT_EQ(w.sink.data[3], "");
}

TEST(Records, HeaderBlockCountThreeSkipsThreeBlocks) {
  Package p;
  p.download = "|http://x/setup.exe|setup.exe|0||123|";
  p.records = {fixture::Record("Engine.exe*", 0, "e")};
  Walked w = WalkAll(p.Bytes());
  ASSERT_FALSE(w.damaged) << w.why;
  ASSERT_EQ(w.sink.headers.size(), 1u);
  EXPECT_EQ(w.sink.headers[0].name, "Engine.exe");
}

TEST(Records, RecordsWithoutAHeaderAreSkipped) {
  Package p;
  std::string noNul;
  fixture::AppendI32(noNul, -5);
  noNul += "abcde";
  std::string emptyHeader;
  fixture::AppendI32(emptyHeader, -3);
  emptyHeader += std::string("\0xy", 3);
  p.records = {noNul, emptyHeader, fixture::Record("ok.txt", 0, "ok")};
  Walked w = WalkAll(p.Bytes());
  ASSERT_FALSE(w.damaged) << w.why;
  ASSERT_EQ(w.results.size(), 3u);
  EXPECT_EQ(w.results[0], pkg::RecordResult::Skipped);
  EXPECT_EQ(w.results[1], pkg::RecordResult::Skipped);
  EXPECT_EQ(w.results[2], pkg::RecordResult::Ok);
  EXPECT_EQ(w.sink.data.size(), 1u);
}

TEST(Records, DamageIsReportedWithAReason) {
  struct Case {
    const char* what;
    std::function<void(Package&, std::string&)> spoil;
    const char* reason;
  };
  const Case cases[] = {
      {"flipped byte inside a compressed record",
       [](Package& p, std::string&) {
         p.records = {fixture::Record("a.txt", 0, std::string(1000, 'a') + "tail")};
         p.records[0][20] ^= 0x40;
       },
       ""},
      {"record claims more than remains",
       [](Package& p, std::string&) {
         std::string r;
         fixture::AppendI32(r, 1 << 30);
         p.records = {r + "xx"};
       },
       "remain"},
      {"most negative length",
       [](Package& p, std::string&) {
         std::string r;
         fixture::AppendI32(r, INT32_MIN);
         p.records = {r};
       },
       "impossible"},
      {"truncated compressed stream",
       [](Package& p, std::string&) {
         std::string r = fixture::Record("a.txt", 0, Noise(5000, 3));
         std::string cut = r.substr(0, r.size() - 100);
         pkg::PutU32(reinterpret_cast<uint8_t*>(&cut[0]), uint32_t(cut.size() - 4));
         p.records = {cut};
       },
       ""},
      {"header longer than 4096 bytes",
       [](Package& p, std::string&) { p.records = {fixture::Record(std::string(5000, 'n'), 0, "x")}; },
       "header"},
      {"two bytes left that cannot hold a length",
       [](Package& p, std::string&) { p.records = {fixture::Record("a", 0, "x"), "zz"}; }, "truncated"},
  };
  for (const Case& c : cases) {
    Package p;
    std::string unused;
    c.spoil(p, unused);
    Walked w = WalkAll(p.Bytes());
    EXPECT_TRUE(w.damaged) << c.what;
    EXPECT_FALSE(w.why.empty()) << c.what;
    EXPECT_NE(w.why.find(c.reason), std::string::npos) << c.what << ": " << w.why;
  }
}

TEST(Reader, ReadsBlocksFlagsAndFields) {
  Package p;
  p.config = "|http://127.0.0.1/upd|C:\\x\\Product.setup.info|agent.exe|" + pkg::EncodeToken("upd-token", 3) + "|1|";
  p.download = "|http://h/real.exe|real.exe|1|" + pkg::EncodeToken("web", 4) + "|1048576|";
  p.trailer.options = pkg::kOptAgentTrace | pkg::kOptShowActivityBar;
  p.trailer.installsAgent = 1;
  p.trailer.webStub = 1;
  p.records = {fixture::Record("Engine.exe*", 0, "e")};
  std::string bytes = p.Bytes();
  pkg::MemorySource src(bytes.data(), bytes.size());
  TGFileInfo info(src);
  ASSERT_TRUE(info.HasPackage());
  EXPECT_EQ(info.Damage(), "");
  EXPECT_EQ(info.UpdateUrl(), "http://127.0.0.1/upd");
  EXPECT_EQ(info.InfoFileName(), "Product.setup.info");
  EXPECT_EQ(info.OriginalFileName(), "Product.original");
  EXPECT_EQ(info.AgentFileName(), "agent.exe");
  EXPECT_EQ(info.UpdateToken(true), "upd-token");
  EXPECT_TRUE(info.RunHidden());
  EXPECT_EQ(info.WebUrl(), "http://h/real.exe");
  EXPECT_EQ(info.WebFileName(), "real.exe");
  EXPECT_TRUE(info.AlwaysDownload());
  EXPECT_EQ(info.WebToken(true), "web");
  EXPECT_EQ(info.WebSizeText(), "1048576");
  EXPECT_TRUE(info.AgentTraceOn());
  EXPECT_TRUE(info.ShowActivityBar());
  EXPECT_FALSE(info.ConfirmExtraction());
  EXPECT_FALSE(info.RelaunchFromTempCopy());
  EXPECT_TRUE(info.InstallsAgent());
  EXPECT_TRUE(info.IsWebStub());
  EXPECT_FALSE(info.IsAgent());
  // After construction the start points at the first record.
  size_t firstRecord = 1024 + 8 + p.language.size() + p.config.size() + 4 + p.download.size();
  EXPECT_EQ(info.Trailer().packageStart, firstRecord);
  EXPECT_TRUE(info.SameWebToken(info));
}

TEST(Reader, OnlyAPlainOneIsHidden) {
  for (const char* v : {" 1", "01", "true", "", "1 "}) {
    Package p;
    p.config = std::string("|u|i|a|t|") + v + "|";
    std::string bytes = p.Bytes();
    pkg::MemorySource src(bytes.data(), bytes.size());
    EXPECT_FALSE(TGFileInfo(src).RunHidden()) << '"' << v << '"';
  }
}

TEST(Reader, TwoBlocksMeanNoDownloadFields) {
  Package p;
  std::string bytes = p.Bytes();
  pkg::MemorySource src(bytes.data(), bytes.size());
  TGFileInfo info(src);
  EXPECT_EQ(info.DownloadText(), "");
  EXPECT_EQ(info.WebUrl(), "");
  EXPECT_FALSE(info.AlwaysDownload());
  EXPECT_FALSE(info.SameWebToken(info));  // no token: never the same
}

TEST(Reader, RequiredSpaceFollowsTheClusterSize) {
  Package p;
  for (int i = 0; i < 9; ++i) p.trailer.space[i] = 1000u + uint32_t(i);
  std::string bytes = p.Bytes();
  pkg::MemorySource src(bytes.data(), bytes.size());
  TGFileInfo info(src);
  struct Case {
    uint32_t cluster;
    double want;
  } cases[] = {{0, 1000}, {256, 1000}, {511, 1000}, {512, 1001}, {2048, 1003}, {4096, 1004},
               {65536, 1008}, {1u << 20, 1008}};
  for (const Case& c : cases) EXPECT_EQ(info.RequiredSpaceFor(c.cluster), c.want) << c.cluster;
}

TEST(Reader, DamagedHeaderBlocksGiveAPartialReader) {
  Package p;
  std::string bytes = p.Bytes();
  // Make the configuration block's length negative.
  size_t cfgAt = 1024 + 4 + p.language.size();
  pkg::PutU32(reinterpret_cast<uint8_t*>(&bytes[cfgAt]), uint32_t(-5));
  pkg::MemorySource src(bytes.data(), bytes.size());
  TGFileInfo info(src);
  EXPECT_NE(info.Damage(), "");
  EXPECT_EQ(info.LanguageText(), p.language);
  EXPECT_EQ(info.ConfigText(), "");
}

TEST(Reader, NoMagicMeansNoPackageAndNoFlags) {
  Package p;
  p.trailer.magic = 0x12345678;
  p.trailer.isAgent = 1;
  std::string bytes = p.Bytes();
  pkg::MemorySource src(bytes.data(), bytes.size());
  TGFileInfo info(src);
  EXPECT_FALSE(info.HasPackage());
  EXPECT_FALSE(info.IsAgent());
  EXPECT_EQ(info.LanguageText(), "");
}

// Every prefix of a package, and random bytes, must read without a crash
// (ASan watches the build) and never yield more than the file holds.
TEST(Reader, AnyTruncationOrNoiseIsHarmless) {
  Package p;
  p.download = "|u|f|0|t|1|";
  p.records = {fixture::Record("Engine.exe*", 1, "engine"), fixture::Record("b.bin", 2, Noise(3000, 9))};
  std::string full = p.Bytes();
  for (size_t n = 0; n <= full.size(); ++n) {
    std::string cut = full.substr(0, n);
    pkg::MemorySource src(cut.data(), cut.size());
    TGFileInfo info(src);
    EXPECT_LE(info.LanguageText().size() + info.ConfigText().size() + info.DownloadText().size(), n);
    WalkAll(cut);
  }
  for (uint32_t seed = 0; seed < 300; ++seed) {
    std::string noise = Noise(seed * 7, seed);
    if (seed % 3 == 0 && noise.size() > 300) {
      noise[0] = 'M';
      noise[1] = 'Z';
      noise[256] = 'P';
      noise[257] = 'E';
    }
    pkg::MemorySource src(noise.data(), noise.size());
    TGFileInfo info(src);
    WalkAll(noise);
  }
}

TEST(Reader, MissingFileIsAnEmptyReader) {
  TGFileInfo info(std::string("/nonexistent/dir/setup.exe"));
  EXPECT_FALSE(info.HasPackage());
  EXPECT_EQ(info.AgentFileName(), "");
  EXPECT_EQ(info.RequiredSpaceFor(4096), 0.0);
}

TEST(Reader, CheckDownloadedTokenKinds) {
  Package mine;
  mine.config = "|u|i.info|a.exe|" + pkg::EncodeToken("product-1", 1) + "|0|";
  std::string mineBytes = mine.Bytes();
  pkg::MemorySource src(mineBytes.data(), mineBytes.size());
  TGFileInfo info(src);

  std::string dir = ::testing::TempDir();
  auto write = [&](const std::string& name, const std::string& data) {
    std::string path = dir + "/" + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(data.data(), 1, data.size(), f);
    std::fclose(f);
    return path;
  };
  Package same;
  same.config = "|u|i.info|a.exe|" + pkg::EncodeToken("product-1", 99) + "|0|";
  Package other;
  other.config = "|u|i.info|a.exe|" + pkg::EncodeToken("product-2", 1) + "|0|";
  std::string samePath = write("same.exe", same.Bytes());
  std::string otherPath = write("other.exe", other.Bytes());
  std::string inform = "x|" + pkg::EncodeToken("product-1", 5) + "|a|b|Text";
  std::string informPlain = write("inform.txt", inform);
  std::string informScrambled = write("inform2.txt", ScrambleText(inform, true));
  std::string informOther = write("inform3.txt", "x|" + pkg::EncodeToken("product-2", 5) + "|a|b|Text");

  EXPECT_TRUE(info.CheckDownloadedToken(samePath, 2));
  EXPECT_FALSE(info.CheckDownloadedToken(otherPath, 2));
  EXPECT_FALSE(info.CheckDownloadedToken(samePath, 3));
  EXPECT_TRUE(info.CheckDownloadedToken(informPlain, 3));
  EXPECT_TRUE(info.CheckDownloadedToken(informScrambled, 3));
  EXPECT_FALSE(info.CheckDownloadedToken(informOther, 3));
  EXPECT_FALSE(info.CheckDownloadedToken(informPlain, 2));
  EXPECT_FALSE(info.CheckDownloadedToken(samePath, 1));
  EXPECT_FALSE(info.CheckDownloadedToken(dir + "/missing", 3));
}

}  // namespace
