// The inspector: sound packages pass, and every kind of damage is found and
// located, without crashing or hanging on any input.
#include <gtest/gtest.h>

#include "inspect.h"
#include "test_stubpack_util.h"

using sptest::Builder;
using sptest::GetFile;
using sptest::PutFile;
using sptest::TempDir;

namespace {

bool Mentions(const stubpack::InspectResult& r, const std::string& text) {
  for (const std::string& p : r.problems)
    if (p.find(text) != std::string::npos) return true;
  return false;
}

std::string AllProblems(const stubpack::InspectResult& r) {
  std::string s;
  for (const std::string& p : r.problems) s += p + "\n";
  return s;
}

stubpack::InspectResult InspectBytes(const std::string& bytes, bool expectLaunch = true) {
  pkg::MemorySource mem(bytes.data(), bytes.size());
  std::string report;
  return stubpack::InspectSource(mem, "mem", expectLaunch, &report);
}

// A package put together by hand from record blocks, so that it can hold
// what the writer refuses to write.
std::string HandPackage(const std::vector<std::string>& recordBlocks) {
  std::string s = sptest::FakeStub();
  s += stubpack::LengthPrefixed("\x02\x01" "English\x01s0=Hand\x01\x02");
  s += stubpack::LengthPrefixed("|http://x|p.info|a.exe||0|");
  for (const std::string& r : recordBlocks) s += r;
  pkg::Trailer t;
  t.format = 1;
  t.headerBlocks = 2;
  t.packageStart = 1024;
  t.recordCount = uint32_t(recordBlocks.size());
  t.magic = pkg::kMagic;
  t.checksum = pkg::kChecksumOff;
  t.reserved64 = 1;
  t.length = pkg::kTrailerSize;
  uint8_t tb[pkg::kTrailerSize];
  pkg::SerializeTrailer(t, tb);
  s.append(reinterpret_cast<char*>(tb), sizeof tb);
  pkg::PutU32(reinterpret_cast<uint8_t*>(&s[252]), uint32_t(s.size()));
  return s;
}

std::string Rec(const std::string& nameField, const std::string& data = "data", int level = 9) {
  std::string block, error;
  stubpack::MakeRecordBlock(pkg::MakeRecordHeader(nameField, 0), data, level, &block, &error);
  return block;
}

}  // namespace

TEST(StubpackInspect, ASoundPackageIsReportedSoundWithEveryField) {
  TempDir dir;
  Builder b(dir);
  b.def.showActivityBar = true;
  b.def.hasDownload = true;
  b.def.webUrl = "http://127.0.0.1/pkg";
  b.def.webToken = "w";
  b.def.files[0].name = "Engine.exe* /x";
  b.AddFile("readme.txt", "read me", stubpack::kStored);
  ASSERT_TRUE(b.Build());
  std::string report;
  stubpack::InspectResult r = stubpack::InspectPackage(b.def.output, {}, &report);
  EXPECT_TRUE(r.Sound()) << AllProblems(r);
  EXPECT_TRUE(r.warnings.empty());
  for (const char* text : {"show-activity-bar", "magic              0x4A3B2C1D", "header blocks      3",
                           "[English] 2 keys", "s0=Product Setup", "update URL         http://127.0.0.1/updates",
                           "agent name         ProductAgent.exe", "update token       present",
                           "web token          present", "Engine.exe* /x", "2016-02-11", "stored", "deflated",
                           "Checksum: computed", ": good"}) {
    EXPECT_NE(report.find(text), std::string::npos) << text << "\n" << report;
  }
  // Tokens are never shown.
  EXPECT_EQ(report.find("update-token-1"), std::string::npos);
}

TEST(StubpackInspect, AFlippedByteInAnyRecordIsFoundByItsZlibCheck) {
  TempDir dir;
  Builder b(dir);
  b.AddFile("small.txt", "a small text file, deflated");
  b.AddFile("noise.bin", sptest::NoiseBytes(60000), 9);  // stored deflate blocks; the file exceeds 51,200 bytes
  b.AddFile("text.txt", std::string(20000, 't') + "end", 6);
  ASSERT_TRUE(b.Build());
  std::string good = GetFile(b.def.output);
  ASSERT_TRUE(InspectBytes(good).Sound());
  sptest::PartRead parts = sptest::ReadPart(b.def.output);
  ASSERT_EQ(parts.trailer.checksum, pkg::kChecksumOff);  // only zlib can tell
  ASSERT_EQ(parts.records.size(), 4u);
  for (size_t i = 0; i < parts.records.size(); ++i) {
    const sptest::ReadBack& rec = parts.records[i];
    uint64_t data = rec.offset + 4;
    for (uint64_t at : {data, data + 1, data + rec.storedLength / 2, data + rec.storedLength - 1}) {
      SCOPED_TRACE("record " + std::to_string(i + 1) + ", offset " + std::to_string(at));
      std::string bad = good;
      bad[size_t(at)] = char(bad[size_t(at)] ^ 0x10);
      stubpack::InspectResult r = InspectBytes(bad);
      EXPECT_FALSE(r.Sound());
      EXPECT_TRUE(Mentions(r, "record " + std::to_string(i + 1) + " at offset")) << AllProblems(r);
    }
  }
}

TEST(StubpackInspect, EveryFlippedByteOfASmallPackageIsFound) {
  // With a real checksum, a change anywhere the sum covers (from offset 512
  // to shortly before the trailer) is damage, stored records included.
  TempDir dir;
  Builder b(dir);
  b.AddFile("stored.txt", std::string(600, 's'), stubpack::kStored);
  ASSERT_TRUE(b.Build());
  std::string good = GetFile(b.def.output);
  ASSERT_LE(good.size(), 51200u);
  ASSERT_TRUE(InspectBytes(good).Sound());
  size_t end = good.size() - pkg::kTrailerSize - 8;
  for (size_t at = 512; at < end; ++at) {
    std::string bad = good;
    bad[at] = char(bad[at] ^ 0x01);
    stubpack::InspectResult r = InspectBytes(bad);
    EXPECT_FALSE(r.Sound()) << "offset " << at;
  }
}

TEST(StubpackInspect, AFlippedByteInASmallPartFileFailsItsChecksum) {
  TempDir dir;
  Builder b(dir);
  b.def.partSize = 4000;
  for (int i = 0; i < 6; ++i) b.AddFile("s" + std::to_string(i) + ".txt", std::string(1000, char('a' + i)), stubpack::kStored);
  ASSERT_TRUE(b.Build());
  ASSERT_GE(b.report.files.size(), 2u);
  std::string report;
  stubpack::InspectResult r = stubpack::InspectPackage(b.def.output, {}, &report);
  EXPECT_TRUE(r.Sound()) << AllProblems(r);
  EXPECT_EQ(r.filesInspected, int(b.report.files.size()));

  std::string part2 = b.def.output + ".002";
  sptest::PartRead p = sptest::ReadPart(part2);
  ASSERT_FALSE(p.records.empty());
  const sptest::ReadBack& last = p.records.back();
  size_t at = size_t(last.offset + 4 + last.storedLength / 2);
  ASSERT_GT(at, 512u);
  std::string bytes = GetFile(part2);
  bytes[at] = 'X';  // a stored record: no zlib check, only the checksum
  PutFile(part2, bytes);
  r = stubpack::InspectPackage(b.def.output, {}, &report);
  EXPECT_FALSE(r.Sound());
  EXPECT_TRUE(Mentions(r, part2 + ": checksum")) << AllProblems(r);
  // --single stops at the first part, which is intact.
  stubpack::InspectOptions single;
  single.followParts = false;
  EXPECT_TRUE(stubpack::InspectPackage(b.def.output, single, &report).Sound());
}

TEST(StubpackInspect, MissingPartsAreDamage) {
  TempDir dir;
  Builder b(dir);
  b.def.partSize = 3000;
  b.def.layout = stubpack::SpanLayout::Relaunch;
  for (int i = 0; i < 4; ++i) b.AddFile("n" + std::to_string(i), sptest::NoiseBytes(1000, uint32_t(i)), 9);
  ASSERT_TRUE(b.Build());
  std::string report;
  EXPECT_TRUE(stubpack::InspectPackage(b.def.output, {}, &report).Sound());

  std::remove((b.def.output + ".002").c_str());
  stubpack::InspectResult r = stubpack::InspectPackage(b.def.output, {}, &report);
  EXPECT_TRUE(Mentions(r, ".002 does not exist")) << AllProblems(r);
  std::remove((b.def.output + ".001").c_str());
  r = stubpack::InspectPackage(b.def.output, {}, &report);
  EXPECT_TRUE(Mentions(r, ".001 does not exist")) << AllProblems(r);
}

TEST(StubpackInspect, TruncatedFilesAreDamage) {
  TempDir dir;
  Builder b(dir);
  b.AddFile("a.bin", sptest::NoiseBytes(3000), 9);
  ASSERT_TRUE(b.Build());
  std::string good = GetFile(b.def.output);
  for (size_t keep : {size_t(0), size_t(1), size_t(100), size_t(255), size_t(300), size_t(1024), good.size() / 2,
                      good.size() - 75, good.size() - 74, good.size() - 1}) {
    SCOPED_TRACE(keep);
    std::string path = dir / "cut.exe";
    PutFile(path, good.substr(0, keep));
    std::string report;
    stubpack::InspectResult r = stubpack::InspectPackage(path, {}, &report);
    EXPECT_FALSE(r.Sound()) << report;
  }
  std::string report;
  EXPECT_TRUE(Mentions(stubpack::InspectPackage(dir / "none.exe", {}, &report), "cannot be opened"));
}

TEST(StubpackInspect, RecordsTheStubMustNotTrustAreDamage) {
  struct Case {
    const char* what;
    std::vector<std::string> records;
    const char* expect;
  };
  const Case cases[] = {
      {"parent folder", {Rec("Engine.exe*"), Rec("..\\evil.exe")}, "record 2 at offset"},
      {"slash", {Rec("Engine.exe*"), Rec("sub/evil.exe")}, "unsafe record name \"sub/evil.exe\""},
      {"device", {Rec("Engine.exe*"), Rec("NUL.txt")}, "unsafe record name"},
      {"drive", {Rec("Engine.exe*"), Rec("C:evil.exe", "x", stubpack::kStored)}, "unsafe record name"},
      {"empty name", {Rec("Engine.exe*"), Rec("")}, "unsafe record name"},
      {"unsafe launch", {Rec("..\\Engine.exe*")}, "record 1 at offset"},
      {"launch not first", {Rec("readme.txt"), Rec("Engine.exe*")}, "is not the launch record"},
      {"second launch", {Rec("Engine.exe*"), Rec("Other.exe* /y")}, "second launch record"},
      {"no launch at all", {Rec("readme.txt")}, "is not the launch record"},
      {"length past the trailer", {Rec("Engine.exe*"), std::string("\xFF\xFF\xFF\x7F", 4)}, "remain before the trailer"},
      {"most negative length", {Rec("Engine.exe*"), std::string("\x00\x00\x00\x80", 4)}, "impossible block length"},
      {"not zlib", {Rec("Engine.exe*"), std::string("\x05\x00\x00\x00hello", 9)}, "does not inflate"},
      {"cut zlib stream", {Rec("Engine.exe*"), [] {
         std::string r = Rec("x.txt", std::string(1000, 'q'));
         std::string cut = r.substr(4, r.size() - 4 - 6);
         return stubpack::LengthPrefixed(cut);
       }()}, "does not inflate"},
      {"two stray bytes", {Rec("Engine.exe*"), std::string("\x01\x00", 2)}, "truncated block length"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    stubpack::InspectResult r = InspectBytes(HandPackage(c.records));
    EXPECT_FALSE(r.Sound());
    EXPECT_TRUE(Mentions(r, c.expect)) << AllProblems(r);
  }
  // The same hand-made package with safe names is sound.
  EXPECT_TRUE(InspectBytes(HandPackage({Rec("Engine.exe* /x"), Rec("00001#a.txt")})).Sound());
}

TEST(StubpackInspect, AnyBytesAreSafeToInspect) {
  std::string good = HandPackage({Rec("Engine.exe*"), Rec("a.txt", sptest::NoiseBytes(500))});
  auto withTrailer = [&](void (*change)(pkg::Trailer&)) {
    std::string s = good;
    pkg::Trailer t;
    pkg::ParseTrailer(reinterpret_cast<const uint8_t*>(&s[s.size() - 74]), 74, &t);
    change(t);
    pkg::SerializeTrailer(t, reinterpret_cast<uint8_t*>(&s[s.size() - 74]));
    return s;
  };
  std::string stubOnly = sptest::FakeStub();
  std::string endPastFile = good;
  pkg::PutU32(reinterpret_cast<uint8_t*>(&endPastFile[248]), 1);  // E above 4 GiB
  std::string hugeHeader = good;
  pkg::PutU32(reinterpret_cast<uint8_t*>(&hugeHeader[1024]), 0x7FFFFFF0);
  std::string negativeHeader = good;
  pkg::PutU32(reinterpret_cast<uint8_t*>(&negativeHeader[1024]), uint32_t(-20));
  struct Case {
    const char* what;
    std::string bytes;
  };
  const Case cases[] = {
      {"empty", ""},
      {"one byte", "M"},
      {"random", sptest::NoiseBytes(10000, 3)},
      {"a stub without package", stubOnly},
      {"end pointer past the file", endPastFile},
      {"huge header block", hugeHeader},
      {"negative header block", negativeHeader},
      {"trailer length 4", withTrailer([](pkg::Trailer& t) { t.length = 4; })},
      {"trailer length huge", withTrailer([](pkg::Trailer& t) { t.length = 0xFFFFFFFF; })},
      {"no magic", withTrailer([](pkg::Trailer& t) { t.magic = 0; })},
      {"package start past the end", withTrailer([](pkg::Trailer& t) { t.packageStart = 0xFFFFFFF0; })},
      {"package start inside a record", withTrailer([](pkg::Trailer& t) { t.packageStart = 1030; })},
      {"255 header blocks", withTrailer([](pkg::Trailer& t) { t.headerBlocks = 255; })},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    stubpack::InspectResult r = InspectBytes(c.bytes);
    EXPECT_FALSE(r.Sound());
  }
  // A trailer length other than 74 and a wrong record count are only warned about.
  stubpack::InspectResult r = InspectBytes(withTrailer([](pkg::Trailer& t) { t.recordCount = 9; }));
  EXPECT_TRUE(r.Sound()) << AllProblems(r);
  ASSERT_EQ(r.warnings.size(), 1u);
  EXPECT_NE(r.warnings[0].find("counts 9 records"), std::string::npos);
}

TEST(StubpackInspect, ARecordWithoutHeaderIsSkippedWhole) {
  // Contents that start with the NUL: no header, so the stub skips the
  // record, and none of its bytes may reach a sink that was never begun.
  class StrictSink final : public pkg::RecordSink {
   public:
    bool Begin(const pkg::RecordHeader&) override {
      begun = true;
      return true;
    }
    bool Write(const uint8_t*, size_t n) override {
      if (!begun) orphanBytes += n;
      return true;
    }
    bool begun = false;
    size_t orphanBytes = 0;
  };
  for (int level : {9, stubpack::kStored}) {
    SCOPED_TRACE(level);
    std::string block, error;
    ASSERT_TRUE(stubpack::MakeRecordBlock("", sptest::NoiseBytes(200000), level, &block, &error));
    pkg::MemorySource mem(block.data(), block.size());
    pkg::BlockWalker walk(mem, 0, block.size());
    pkg::BlockRef ref;
    ASSERT_EQ(walk.Next(&ref, &error), pkg::WalkStatus::Ok);
    StrictSink sink;
    EXPECT_EQ(pkg::ReadRecord(mem, ref, sink, &error), pkg::RecordResult::Skipped);
    EXPECT_FALSE(sink.begun);
    EXPECT_EQ(sink.orphanBytes, 0u);

    stubpack::InspectResult r = InspectBytes(HandPackage({Rec("Engine.exe*"), block, Rec("after.txt")}));
    EXPECT_TRUE(r.Sound()) << AllProblems(r);
    ASSERT_EQ(r.warnings.size(), 1u);
    EXPECT_NE(r.warnings[0].find("record 2 at offset"), std::string::npos) << r.warnings[0];
  }
}
