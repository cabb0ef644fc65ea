// The package writer, checked by reading its output back with the stub's
// own reader (TGFileInfo, BlockWalker, ReadRecord).
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "package/lang.h"
#include "test_stubpack_util.h"
#include "util/sub.h"

using sptest::Builder;
using sptest::GetFile;
using sptest::PartRead;
using sptest::PutFile;
using sptest::ReadPart;
using sptest::TempDir;

namespace {

// Runs a block with TZ set to UTC, so DOS stamps (local time) are fixed.
class UtcZone {
 public:
  UtcZone() {
    const char* tz = std::getenv("TZ");
    had_ = tz != nullptr;
    if (had_) old_ = tz;
    setenv("TZ", "UTC0", 1);
    tzset();
  }
  ~UtcZone() {
    if (had_)
      setenv("TZ", old_.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }

 private:
  bool had_ = false;
  std::string old_;
};

}  // namespace

TEST(StubpackWriter, PackageReadsBackThroughTheStubsReader) {
  TempDir dir;
  Builder b(dir);
  b.def.hidden = true;
  stubpack::LanguageSection de;
  de.name = "German";
  de.entries = {{"s0", "Produkt Installation"}, {"FontSize", "10"}};
  b.def.languages.push_back(de);
  b.AddFile("readme.txt", "hello readme");
  b.AddFile("00001#data.bin", std::string(3000, 'x'), stubpack::kStored);
  ASSERT_TRUE(b.Build());

  TGFileInfo info(b.def.output);
  ASSERT_TRUE(info.HasPackage()) << info.Damage();
  EXPECT_EQ(info.Damage(), "");
  EXPECT_EQ(info.UpdateUrl(), "http://127.0.0.1/updates");
  EXPECT_EQ(info.InfoFileName(), "Product.info");
  EXPECT_EQ(info.OriginalFileName(), "Product.original");
  EXPECT_EQ(info.AgentFileName(), "ProductAgent.exe");
  EXPECT_TRUE(info.RunHidden());
  bool ok = false;
  EXPECT_EQ(info.UpdateToken(true, &ok), "update-token-1");
  EXPECT_TRUE(ok);
  EXPECT_EQ(info.DownloadText(), "");
  // The language block is a 0x02 list of 0x01 lists, in manifest order.
  EXPECT_EQ(info.LanguageText(),
            "\x02\x01" "English\x01s0=Product Setup\x01" "Charset=0\x01\x02"
            "\x01German\x01s0=Produkt Installation\x01" "FontSize=10\x01\x02");
  EXPECT_EQ(lang::ChooseSection(info.LanguageText(), "GERMAN"),
            "\x01German\x01s0=Produkt Installation\x01" "FontSize=10\x01");

  const pkg::Trailer& t = info.Trailer();
  EXPECT_EQ(t.format, 1);
  EXPECT_EQ(t.headerBlocks, 2);
  EXPECT_EQ(t.reserved64, 1);
  EXPECT_EQ(t.length, pkg::kTrailerSize);
  EXPECT_EQ(t.recordCount, 3u);

  PartRead r = ReadPart(b.def.output);
  ASSERT_EQ(r.why, "");
  EXPECT_EQ(r.trailer.packageStart, 1024u);  // right after the stub image
  ASSERT_EQ(r.records.size(), 3u);
  EXPECT_EQ(r.records[0].header.name, "Engine.exe");
  EXPECT_EQ(r.records[0].header.launchName, "Engine.exe*");
  EXPECT_EQ(r.records[0].data, "engine bytes");
  EXPECT_TRUE(r.records[0].compressed);
  EXPECT_EQ(r.records[1].header.name, "readme.txt");
  EXPECT_EQ(r.records[1].header.launchName, "");
  EXPECT_EQ(r.records[1].data, "hello readme");
  EXPECT_EQ(r.records[2].header.name, "00001#data.bin");
  EXPECT_EQ(r.records[2].data, std::string(3000, 'x'));
  EXPECT_FALSE(r.records[2].compressed);
  // A stored record's length is its contents: header, NUL, data.
  EXPECT_EQ(r.records[2].storedLength, pkg::MakeRecordHeader("00001#data.bin", r.records[2].header.stamp).size() + 1 + 3000);
}

TEST(StubpackWriter, EveryTrailerOptionLandsInItsByteOrBit) {
  struct Case {
    const char* what;
    void (*set)(stubpack::PackageDef&);
    bool (*check)(const TGFileInfo&);
  };
  const Case cases[] = {
      {"confirm extraction", [](stubpack::PackageDef& d) { d.confirmExtraction = true; },
       [](const TGFileInfo& i) { return i.ConfirmExtraction(); }},
      {"show activity bar", [](stubpack::PackageDef& d) { d.showActivityBar = true; },
       [](const TGFileInfo& i) { return i.ShowActivityBar(); }},
      {"agent trace", [](stubpack::PackageDef& d) { d.agentTrace = true; },
       [](const TGFileInfo& i) { return i.AgentTraceOn(); }},
      {"relaunch (explicit)", [](stubpack::PackageDef& d) { d.relaunchFromTemp = 1; },
       [](const TGFileInfo& i) { return i.RelaunchFromTempCopy(); }},
      {"installs agent", [](stubpack::PackageDef& d) { d.installsAgent = true; },
       [](const TGFileInfo& i) { return i.InstallsAgent(); }},
      {"is agent", [](stubpack::PackageDef& d) { d.isAgent = true; },
       [](const TGFileInfo& i) { return i.IsAgent(); }},
      {"confirm download", [](stubpack::PackageDef& d) { d.confirmDownload = true; },
       [](const TGFileInfo& i) { return i.ConfirmDownload(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    Builder plain(dir);
    ASSERT_TRUE(plain.Build());
    TGFileInfo before(plain.def.output);
    EXPECT_FALSE(c.check(before));
    EXPECT_EQ(before.Trailer().options, 0);

    Builder b(dir);
    c.set(b.def);
    ASSERT_TRUE(b.Build());
    TGFileInfo after(b.def.output);
    EXPECT_TRUE(c.check(after));
    EXPECT_FALSE(after.Continues());  // set by spanning only
    EXPECT_EQ(after.Trailer().options & 0xE0, 0);
  }
}

TEST(StubpackWriter, WebStubCarriesTheDownloadBlockAndMatchesItsPackage) {
  TempDir dir;
  Builder real(dir);
  real.def.output = dir / "real.exe";
  real.def.hasDownload = true;
  real.def.webToken = "web secret 42";
  ASSERT_TRUE(real.Build());

  Builder web(dir);
  web.def.output = dir / "websetup.exe";
  web.def.files.clear();
  web.def.webStub = true;
  web.def.confirmDownload = true;
  web.def.hasDownload = true;
  web.def.webUrl = "http://127.0.0.1/pkg";
  web.def.webFileName = "real.exe";
  web.def.alwaysDownload = true;
  web.def.webToken = "web secret 42";
  web.def.webSizeOf = real.def.output;
  std::string error;
  ASSERT_TRUE(web.Build(&error)) << error;

  TGFileInfo w(web.def.output), p(real.def.output);
  EXPECT_TRUE(w.IsWebStub());
  EXPECT_TRUE(w.ConfirmDownload());
  EXPECT_EQ(w.Trailer().headerBlocks, 3);
  EXPECT_EQ(w.Trailer().recordCount, 0u);
  EXPECT_EQ(w.WebUrl(), "http://127.0.0.1/pkg");
  EXPECT_EQ(w.WebFileName(), "real.exe");
  EXPECT_TRUE(w.AlwaysDownload());
  EXPECT_EQ(w.WebSizeText(), std::to_string(GetFile(real.def.output).size()));
  bool ok = false;
  EXPECT_EQ(w.WebToken(true, &ok), "web secret 42");
  EXPECT_TRUE(ok);
  EXPECT_TRUE(w.SameWebToken(p));
  // The real package's records start after its three header blocks.
  PartRead r = ReadPart(real.def.output);
  ASSERT_EQ(r.why, "");
  EXPECT_EQ(r.headerBlocks.size(), 3u);
  ASSERT_EQ(r.records.size(), 1u);
  EXPECT_EQ(r.records[0].header.name, "Engine.exe");

  // A different token does not match.
  real.def.webToken = "another product";
  ASSERT_TRUE(real.Build());
  EXPECT_FALSE(w.SameWebToken(TGFileInfo(real.def.output)));
}

TEST(StubpackWriter, LargeFilesAreSplitIntoNamedChunks) {
  const uint32_t C = pkg::kChunkSize;
  struct Case {
    uint64_t size;
    std::vector<uint32_t> chunks;
  };
  const Case cases[] = {
      {0, {0}},
      {C, {C}},
      {uint64_t(C) + 1, {C, 1}},
      {uint64_t(C) * 2 + 777, {C, C, 777}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    TempDir dir;
    Builder b(dir);
    std::string data = sptest::NoiseBytes(size_t(c.size), uint32_t(c.size));
    b.AddFile("00003#big.bin", data, 1);
    ASSERT_TRUE(b.Build());
    PartRead r = ReadPart(b.def.output);
    ASSERT_EQ(r.why, "");
    ASSERT_EQ(r.records.size(), c.chunks.size() + 1);
    EXPECT_EQ(r.trailer.recordCount, c.chunks.size() + 1);
    std::string joined;
    for (size_t i = 0; i < c.chunks.size(); ++i) {
      const sptest::ReadBack& rec = r.records[i + 1];
      EXPECT_EQ(rec.header.name, pkg::ChunkName("00003#big.bin", uint32_t(i)));
      EXPECT_EQ(rec.data.size(), c.chunks[i]);
      joined += rec.data;
    }
    EXPECT_EQ(joined, data);
    if (c.chunks.size() == 3) {
      EXPECT_EQ(r.records[3].header.name, "00003#big.bin.00003");
    }
  }
}

TEST(StubpackWriter, StampsComeFromTheModificationTimeInLocalTime) {
  UtcZone utc;
  TempDir dir;
  Builder b(dir);
  b.AddFile("a.txt", "a");  // mtime 2016-02-11 07:13:16 UTC
  stubpack::FileEntry& fixed = b.AddFile("b.txt", "b");
  fixed.hasStamp = true;
  fixed.stamp = pkg::EncodeDosStamp(2001, 9, 8, 12, 30, 44);
  stubpack::FileEntry& old = b.AddFile("c.txt", "c");
  sptest::SetMtime(old.source, 315532800 - 86400);  // 1979-12-31: before DOS time
  ASSERT_TRUE(b.Build());
  PartRead r = ReadPart(b.def.output);
  ASSERT_EQ(r.records.size(), 4u);
  EXPECT_EQ(r.records[1].header.stamp, 1212889512u);  // 11 February 2016, 07:13:16
  EXPECT_EQ(r.records[2].header.stamp, pkg::EncodeDosStamp(2001, 9, 8, 12, 30, 44));
  EXPECT_EQ(r.records[3].header.stamp, pkg::EncodeDosStamp(1980, 1, 1, 0, 0, 0));

  // Another zone gives another local stamp for the same file.
  setenv("TZ", "CET-1", 1);
  tzset();
  ASSERT_TRUE(b.Build());
  EXPECT_EQ(ReadPart(b.def.output).records[1].header.stamp, pkg::EncodeDosStamp(2016, 2, 11, 8, 13, 16));
}

TEST(StubpackWriter, RecordsAreZlibStreamsOrStoredAsAsked) {
  TempDir dir;
  Builder b(dir);
  std::string noise = sptest::NoiseBytes(200000, 9);
  std::string text(200000, 'a');
  b.AddFile("noise9.bin", noise, 9);
  b.AddFile("text6.txt", text, 6);
  b.AddFile("noise-stored.bin", noise, stubpack::kStored);
  ASSERT_TRUE(b.Build());
  PartRead r = ReadPart(b.def.output);
  ASSERT_EQ(r.why, "");
  ASSERT_EQ(r.records.size(), 4u);
  std::string file = GetFile(b.def.output);
  auto firstBytes = [&](size_t i) { return file.substr(size_t(r.records[i].offset) + 4, 2); };
  EXPECT_EQ(firstBytes(1), "\x78\xDA");  // zlib header, level 9
  EXPECT_EQ(firstBytes(2), "\x78\x9C");  // zlib header, level 6
  EXPECT_EQ(r.records[1].data, noise);   // incompressible: stored deflate blocks, still a zlib stream
  EXPECT_GT(r.records[1].storedLength, noise.size());
  EXPECT_LT(r.records[2].storedLength, 2000u);
  EXPECT_EQ(r.records[2].data, text);
  EXPECT_FALSE(r.records[3].compressed);
  EXPECT_EQ(r.records[3].data, noise);
  EXPECT_EQ(file.substr(size_t(r.records[3].offset) + 4, 18), "|noise-stored.bin|");
}

TEST(StubpackWriter, ChecksumIsRealForSmallFilesAndOffForLargeOnes) {
  struct Case {
    size_t payload;
    bool real;
  };
  const Case cases[] = {{100, true}, {30000, true}, {60000, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.payload);
    TempDir dir;
    Builder b(dir);
    b.AddFile("p.bin", sptest::NoiseBytes(c.payload), stubpack::kStored);
    ASSERT_TRUE(b.Build());
    auto f = pkg::OpenFileSource(b.def.output);
    ASSERT_TRUE(f);
    pkg::Trailer t;
    ASSERT_TRUE(pkg::ReadTrailer(*f, &t));
    EXPECT_EQ(t.checksum, pkg::ComputeChecksum(*f, t.length));
    EXPECT_EQ(t.checksum != pkg::kChecksumOff, c.real);
    EXPECT_EQ(b.report.files[0].checksum, t.checksum);
  }
}

TEST(StubpackWriter, PackageEndPointerStaysRightWithPaddingAfterIt) {
  for (uint64_t padding : {0u, 1u, 5000u}) {
    SCOPED_TRACE(padding);
    TempDir dir;
    Builder b(dir);
    b.def.padding = padding;
    b.AddFile("x.txt", "x");
    ASSERT_TRUE(b.Build());
    std::string file = GetFile(b.def.output);
    const uint8_t* p = reinterpret_cast<const uint8_t*>(file.data());
    uint64_t e = uint64_t(pkg::GetU32(p + 248)) << 32 | pkg::GetU32(p + 252);
    EXPECT_EQ(e, file.size() - padding);
    EXPECT_EQ(pkg::GetU32(p + e - 4), pkg::kTrailerSize);
    TGFileInfo info(b.def.output);
    EXPECT_TRUE(info.HasPackage());
    EXPECT_EQ(info.Damage(), "");
    PartRead r = ReadPart(b.def.output);
    EXPECT_EQ(r.why, "");
    EXPECT_EQ(r.records.size(), 2u);
    // The checksum of the small file still passes with padding after E.
    auto f = pkg::OpenFileSource(b.def.output);
    EXPECT_TRUE(pkg::ChecksumPasses(pkg::ComputeChecksum(*f, 74), r.trailer.checksum));
    EXPECT_NE(r.trailer.checksum, pkg::kChecksumOff);
  }
}

TEST(StubpackWriter, SpaceTableRoundsEveryFileUpToClusters) {
  std::vector<uint64_t> sizes = {1, 512, 513, 0, 70000};
  uint32_t table[pkg::kSpaceEntries];
  bool clamped = true;
  stubpack::ComputeSpaceTable(sizes, 1000, table, &clamped);
  EXPECT_FALSE(clamped);
  EXPECT_EQ(table[0], 1000u + 1 + 512 + 513 + 70000);
  EXPECT_EQ(table[1], 1000u + 512 + 512 + 1024 + 70144);           // 512-byte clusters
  EXPECT_EQ(table[4], 1000u + 4096 + 4096 + 4096 + 73728);         // 4 KiB clusters
  EXPECT_EQ(table[8], 1000u + 65536 + 65536 + 65536 + 131072);     // 64 KiB clusters

  stubpack::ComputeSpaceTable({uint64_t(5) << 30}, 0, table, &clamped);
  EXPECT_TRUE(clamped);
  EXPECT_EQ(table[0], 0xFFFFFFFFu);

  // In a package: grouped by extracted file, the agent copy counted too.
  TempDir dir;
  Builder b(dir);
  b.def.files.clear();
  b.AddFile("Engine.exe*", std::string(100, 'e'));
  b.AddFile("same.txt", std::string(300, 's'));
  b.AddFile("SAME.txt", std::string(300, 's'));  // joined into one file by the stub
  b.def.installsAgent = true;
  b.def.extraSpace = 10;
  ASSERT_TRUE(b.Build());
  TGFileInfo info(b.def.output);
  // The agent copy: stub image and header blocks (the reader's package
  // start points past them) and a trailer.
  uint64_t agent = info.Trailer().packageStart + pkg::kTrailerSize;
  EXPECT_EQ(info.Trailer().space[0], 10 + 100 + 600 + agent);
  EXPECT_EQ(info.Trailer().space[1], 10 + 512 + 1024 + (agent + 511) / 512 * 512);

  b.def.hasSpaceTable = true;
  for (int i = 0; i < pkg::kSpaceEntries; ++i) b.def.spaceTable[i] = 226973548u + uint32_t(i);
  ASSERT_TRUE(b.Build());
  TGFileInfo given(b.def.output);
  for (int i = 0; i < pkg::kSpaceEntries; ++i) EXPECT_EQ(given.Trailer().space[i], 226973548u + uint32_t(i));
}

TEST(StubpackWriter, Utf8TextsBecomeTheSectionsCodePage) {
  TempDir dir;
  Builder b(dir);
  b.def.textIsUtf8 = true;
  b.def.languages[0].entries = {{"s0", "Gr\xC3\xB6\xC3\x9F" "e"}};  // "Größe", Charset 0 -> 1252
  stubpack::LanguageSection ru;
  ru.name = "Russian";
  ru.entries = {{"Charset", "204"}, {"s0", "\xD0\x94\xD0\xB0"}};  // "Да" -> 1251
  b.def.languages.push_back(ru);
  ASSERT_TRUE(b.Build());
  TGFileInfo info(b.def.output);
  std::string block = info.LanguageText();
  EXPECT_NE(block.find("s0=Gr\xF6\xDF" "e\x01"), std::string::npos);
  EXPECT_NE(block.find("s0=\xC4\xE0\x01"), std::string::npos);

  b.def.languages[0].entries = {{"s0", "\xE2\x82\xAC\xE4\xB8\xAD"}};  // a CJK character is not in 1252
  std::string error;
  EXPECT_FALSE(b.Build(&error));
  EXPECT_NE(error.find("code page 1252"), std::string::npos) << error;
}

TEST(StubpackWriter, RejectsWhatTheStubCouldNotUseSafely) {
  struct Case {
    const char* what;
    void (*change)(Builder&);
    const char* expect;  // part of the message
  };
  const Case cases[] = {
      {"device name", [](Builder& b) { b.AddFile("CON.txt", "x"); }, "not a plain file name"},
      {"folder part", [](Builder& b) { b.AddFile("sub/evil.exe", "x"); }, "not a plain file name"},
      {"parent", [](Builder& b) { b.AddFile("..", "x"); }, "not a plain file name"},
      {"backslash", [](Builder& b) { b.AddFile("..\\evil.exe", "x"); }, "not a plain file name"},
      {"trailing dot", [](Builder& b) { b.AddFile("name.", "x"); }, "not a plain file name"},
      {"unsafe launch", [](Builder& b) { b.def.files[0].name = "C:Engine.exe*"; }, "not a plain file name"},
      {"no launch first", [](Builder& b) { b.def.files[0].name = "Engine.exe"; }, "launch record"},
      {"second launch", [](Builder& b) { b.AddFile("Other.exe*", "x"); }, "only the first file"},
      {"bar in command", [](Builder& b) { b.def.files[0].name = "Engine.exe* /a|b"; }, "must not contain"},
      {"bar in URL", [](Builder& b) { b.def.updateUrl = "http://x/|y"; }, "UpdateURL"},
      {"control byte in text", [](Builder& b) { b.def.languages[0].entries.push_back({"s1", "a\x01" "b"}); },
       "break the language block"},
      {"agent without name", [](Builder& b) {
         b.def.installsAgent = true;
         b.def.agentName.clear();
       }, "AgentName"},
      {"unsafe agent name", [](Builder& b) { b.def.agentName = "..\\agent.exe"; }, "AgentName"},
      {"web stub with files", [](Builder& b) {
         b.def.webStub = true;
         b.def.hasDownload = true;
       }, "carries no files"},
      {"web stub without download", [](Builder& b) {
         b.def.files.clear();
         b.def.webStub = true;
       }, "[Download]"},
      {"missing source", [](Builder& b) { b.def.files[0].source = b.dir / "nothing-here"; }, "cannot open"},
      {"launch above 5 MiB", [](Builder& b) {
         sptest::PutFile(b.def.files[0].source, std::string(pkg::kChunkSize + 1, 'e'));
       }, "larger than 5 MiB"},
      {"chunk name collision", [](Builder& b) {
         b.AddFile("big.bin", std::string(pkg::kChunkSize + 1, 'b'), 1);
         b.AddFile("big.bin.00002", "x");
       }, "collides"},
      {"part size below the stub", [](Builder& b) { b.def.partSize = 500; }, "PartSize"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    Builder b(dir);
    c.change(b);
    std::string error;
    EXPECT_FALSE(b.Build(&error));
    EXPECT_NE(error.find(c.expect), std::string::npos) << error;
    EXPECT_FALSE(pkg::FileExists(b.def.output)) << "a failed build left its output behind";
    EXPECT_FALSE(pkg::FileExists(b.def.output + ".tmp-stubpack"));
  }
}

TEST(StubpackWriter, RefusesAStubThatIsNoStubImage) {
  std::string good = sptest::FakeStub();
  std::string error;
  EXPECT_TRUE(stubpack::CheckStubImage(good, &error)) << error;

  struct Case {
    const char* what;
    std::string image;
  };
  std::string peAt128 = good;
  peAt128[0x3C] = char(0x80);
  peAt128[0x3D] = 0;
  std::memcpy(&peAt128[128], "PE\0\0", 4);
  std::memset(&peAt128[256], 0, 4);
  std::string noMz = good;
  noMz[0] = 'X';
  std::string lfanewWrong = good;
  lfanewWrong[0x3C] = char(0x80);
  lfanewWrong[0x3D] = 0;
  std::string packaged = good;
  packaged[252] = 1;
  const Case cases[] = {
      {"PE header at 128", peAt128}, {"no MZ", noMz},       {"e_lfanew not 256", lfanewWrong},
      {"already packaged", packaged}, {"too short", "MZ"}, {"empty", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_FALSE(stubpack::CheckStubImage(c.image, &error));
    TempDir dir;
    Builder b(dir);
    PutFile(b.def.stubPath, c.image);
    EXPECT_FALSE(b.Build(&error));
    EXPECT_NE(error.find(b.def.stubPath), std::string::npos) << error;
  }
}

// ------------------------------------------------------------------ spanning

namespace {

// Reads every part of a spanned package in order and checks what every
// part must satisfy; returns the records of all parts in order.
std::vector<sptest::ReadBack> ReadChain(const std::string& first, uint64_t partSize, size_t expectParts,
                                        const std::vector<std::string>& expectHeaders) {
  std::vector<sptest::ReadBack> all;
  std::string base = pkg::PartBaseName(first);
  for (size_t j = 1; j <= expectParts; ++j) {
    SCOPED_TRACE("part " + std::to_string(j));
    std::string path = j == 1 ? first : pkg::PartFileName(base, uint32_t(j));
    std::string bytes = GetFile(path);
    pkg::MemorySource mem(bytes.data(), bytes.size());
    EXPECT_EQ(pkg::IsStubImage(mem), j == 1);
    PartRead r = ReadPart(path);
    EXPECT_EQ(r.why, "");
    EXPECT_EQ(r.trailer.Option(pkg::kOptContinues), j < expectParts);
    EXPECT_FALSE(r.trailer.Option(pkg::kOptRelaunchFromTemp));
    EXPECT_EQ(r.headerBlocks, expectHeaders);  // repeated in every part
    EXPECT_EQ(r.trailer.recordCount, r.records.size());
    EXPECT_GE(r.records.size(), 1u);
    if (r.records.size() > 1) {
      EXPECT_LE(bytes.size(), partSize);
    }
    if (j > 1) {
      EXPECT_EQ(r.trailer.packageStart, 0u);
    }
    // A part of at most 51,200 bytes carries a real, passing checksum.
    uint32_t computed = pkg::ComputeChecksum(mem, 74);
    EXPECT_EQ(computed, r.trailer.checksum);
    EXPECT_EQ(r.trailer.checksum != pkg::kChecksumOff, bytes.size() <= 51200);
    all.insert(all.end(), r.records.begin(), r.records.end());
  }
  std::string next = pkg::PartFileName(base, uint32_t(expectParts + 1));
  EXPECT_FALSE(pkg::FileExists(next));
  return all;
}

}  // namespace

TEST(StubpackWriter, SpannedStubFirstPartsReadBackInOrder) {
  TempDir dir;
  Builder b(dir);
  b.def.partSize = 3000;
  for (int i = 0; i < 6; ++i) b.AddFile("f" + std::to_string(i) + ".bin", sptest::NoiseBytes(700, uint32_t(i)), 9);
  b.AddFile("huge.bin", sptest::NoiseBytes(5000, 77), stubpack::kStored);  // alone, above the part size
  b.AddFile("tail.txt", "tail");
  ASSERT_TRUE(b.Build());
  std::string lang = TGFileInfo(b.def.output).LanguageText();
  std::string config = TGFileInfo(b.def.output).ConfigText();
  size_t parts = b.report.files.size();
  ASSERT_GE(parts, 4u);
  EXPECT_EQ(b.report.files[0].path, b.def.output);
  EXPECT_EQ(b.report.files[1].path, b.def.output + ".002");
  auto recs = ReadChain(b.def.output, b.def.partSize, parts, {lang, config});
  ASSERT_EQ(recs.size(), b.def.files.size());
  for (size_t i = 0; i < recs.size(); ++i) {
    EXPECT_EQ(recs[i].data, GetFile(b.def.files[i].source));
  }
  EXPECT_EQ(recs[0].header.launchName, "Engine.exe*");
  // The oversized record made its own part, bigger than the part size.
  bool sawBig = false;
  for (const auto& w : b.report.files) sawBig = sawBig || (w.records == 1 && w.size > b.def.partSize);
  EXPECT_TRUE(sawBig);
  // Every part carries the whole package's space table.
  for (size_t j = 1; j < parts; ++j)
    EXPECT_EQ(ReadPart(b.report.files[j].path).trailer.space[0], ReadPart(b.def.output).trailer.space[0]);
}

TEST(StubpackWriter, SpannedRelaunchLayoutHandsOverToPartOne) {
  TempDir dir;
  Builder b(dir);
  b.def.partSize = 3000;
  b.def.layout = stubpack::SpanLayout::Relaunch;
  b.def.installsAgent = true;
  b.def.agentTrace = true;
  b.def.hasDownload = true;  // three header blocks, repeated in every part
  b.def.webToken = "w";
  for (int i = 0; i < 5; ++i) b.AddFile("f" + std::to_string(i) + ".bin", sptest::NoiseBytes(900, uint32_t(i)), 9);
  ASSERT_TRUE(b.Build());

  // setup.exe: stub image, header blocks, trailer with the relaunch bit; no records.
  PartRead setup = ReadPart(b.def.output);
  EXPECT_EQ(setup.why, "");
  EXPECT_TRUE(setup.trailer.Option(pkg::kOptRelaunchFromTemp));
  EXPECT_FALSE(setup.trailer.Option(pkg::kOptContinues));
  EXPECT_EQ(setup.records.size(), 0u);
  EXPECT_EQ(setup.trailer.recordCount, 0u);
  EXPECT_EQ(setup.headerBlocks.size(), 3u);
  TGFileInfo info(b.def.output);
  EXPECT_TRUE(info.RelaunchFromTempCopy());
  EXPECT_TRUE(info.InstallsAgent());
  EXPECT_EQ(info.AgentFileName(), "ProductAgent.exe");

  ASSERT_GE(b.report.files.size(), 3u);
  EXPECT_EQ(b.report.files[1].path, b.def.output + ".001");
  EXPECT_EQ(b.report.files[2].path, b.def.output + ".002");
  auto recs = ReadChain(b.def.output + ".001", b.def.partSize, b.report.files.size() - 1, setup.headerBlocks);
  ASSERT_EQ(recs.size(), b.def.files.size());
  for (size_t i = 0; i < recs.size(); ++i) EXPECT_EQ(recs[i].data, GetFile(b.def.files[i].source));

  // Part one is a stub image, so the agent copy made from it is one too.
  TGFileInfo part1(b.def.output + ".001");
  EXPECT_TRUE(part1.AgentTraceOn());
  EXPECT_TRUE(part1.InstallsAgent());
  std::string bytes = GetFile(b.def.output + ".001");
  PartRead p1 = ReadPart(b.def.output + ".001");
  std::string agent = pkg::BuildAgentCopy(bytes.substr(0, size_t(p1.records[0].offset)), p1.trailer);
  pkg::MemorySource mem(agent.data(), agent.size());
  TGFileInfo a(mem);
  EXPECT_TRUE(a.IsAgent());
  EXPECT_TRUE(a.AgentTraceOn());
  EXPECT_EQ(a.UpdateToken(true), "update-token-1");
}

TEST(StubpackWriter, TokensRoundTripThroughTheReader) {
  const std::string tokens[] = {"a", "LumenNotes-2.1-7f3c9a1e", "with | bar and = sign", std::string(120, 'z'),
                                "\x01\x7F\xFF high and low bytes"};
  for (const std::string& plain : tokens) {
    SCOPED_TRACE(plain);
    TempDir dir;
    Builder b(dir);
    b.def.updateToken = plain;
    b.def.hasDownload = true;
    b.def.webToken = plain + "-web";
    ASSERT_TRUE(b.Build());
    TGFileInfo info(b.def.output);
    bool ok = false;
    EXPECT_EQ(info.UpdateToken(true, &ok), plain);
    EXPECT_TRUE(ok);
    EXPECT_EQ(info.WebToken(true, &ok), plain + "-web");
    EXPECT_TRUE(ok);
    // Stored as lower-case letters only, never the plain text.
    std::string stored = info.UpdateToken(false);
    EXPECT_EQ(stored.size() % 2, 0u);
    for (char c : stored) EXPECT_TRUE(c >= 'a' && c <= 'z') << stored;
    if (plain.size() > 8) {
      EXPECT_EQ(GetFile(b.def.output).find(plain), std::string::npos);
    }
  }
  // A token given in stored form is written as it is, even one that does
  // not decode; an absent token stays an empty field.
  TempDir dir;
  Builder b(dir);
  b.def.updateToken = "zzzz";
  b.def.updateTokenIsStored = true;
  ASSERT_TRUE(b.Build());
  bool ok = true;
  EXPECT_EQ(TGFileInfo(b.def.output).UpdateToken(false), "zzzz");
  TGFileInfo(b.def.output).UpdateToken(true, &ok);
  EXPECT_FALSE(ok);
  b.def.updateToken.clear();
  b.def.updateTokenIsStored = false;
  ASSERT_TRUE(b.Build());
  EXPECT_EQ(TGFileInfo(b.def.output).ConfigText(), "|http://127.0.0.1/updates|Product.info|ProductAgent.exe||0|");
}
