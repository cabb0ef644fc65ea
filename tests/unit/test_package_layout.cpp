// The package layout: locating the trailer, reading it at odd lengths, the
// checksum, tokens, record headers and names.
#include <gtest/gtest.h>

#include "package/layout.h"
#include "package_fixture.h"
#include "util/scramble.h"

using fixture::Package;

namespace {

pkg::Trailer TrailerOf(const std::string& bytes, bool* ok = nullptr) {
  pkg::MemorySource src(bytes.data(), bytes.size());
  pkg::Trailer t;
  bool r = pkg::ReadTrailer(src, &t);
  if (ok) *ok = r;
  return t;
}

TEST(PackageEnd, FoundThroughPointerEvenWithSignatureAfterIt) {
  Package p;
  p.trailer.recordCount = 0;
  p.after = std::string(777, 'S');  // imitates a code signature
  pkg::Trailer t = TrailerOf(p.Bytes());
  EXPECT_TRUE(t.HasMagic());
  EXPECT_EQ(t.length, 74u);
  EXPECT_EQ(t.packageStart, 1024u);
}

TEST(PackageEnd, ZeroPointerMeansEndOfFile) {
  Package p;
  p.setEndPointer = false;
  EXPECT_TRUE(TrailerOf(p.Bytes()).HasMagic());
  p.after = "xx";  // without the pointer, bytes after the trailer hide it
  EXPECT_FALSE(TrailerOf(p.Bytes()).HasMagic());
}

TEST(PackageEnd, PointerIgnoredInFilesThatAreNotStubImages) {
  Package p;
  p.image = std::string(300, 'z');  // no MZ/PE: E is the file end
  std::string bytes = p.Bytes();
  pkg::MemorySource src(bytes.data(), bytes.size());
  EXPECT_EQ(pkg::PackageEndOf(src), bytes.size());
  EXPECT_TRUE(TrailerOf(bytes).HasMagic());
}

TEST(Trailer, OtherLengthsReadOnlyTheFieldsTheyHold) {
  // Trailers of length L: the first min(74, L) - 4 bytes are fields.
  pkg::Trailer full;
  full.magic = pkg::kMagic;
  full.headerBlocks = 3;
  full.space[8] = 0xABCDEF;
  full.isAgent = 1;
  uint8_t b[74];
  struct Case {
    uint32_t L;
    bool magic, space8, agent;
  } cases[] = {{74, true, true, true}, {70, true, true, false}, {20, true, false, false},
               {19, false, false, false}, {100, true, true, true}};
  for (const Case& c : cases) {
    full.length = c.L;
    pkg::SerializeTrailer(full, b);
    // Fields first, then (for a longer trailer) bytes nobody reads, then L.
    std::string fields(reinterpret_cast<char*>(b), 70);
    std::string tr = c.L >= 74 ? fields + std::string(c.L - 74, '\x55') : fields.substr(0, c.L - 4);
    std::string lenBytes(4, '\0');
    pkg::PutU32(reinterpret_cast<uint8_t*>(&lenBytes[0]), c.L);
    std::string file = std::string(50, 'q') + tr + lenBytes;
    bool ok = false;
    pkg::Trailer t = TrailerOf(file, &ok);
    SCOPED_TRACE(c.L);
    EXPECT_TRUE(ok);
    EXPECT_EQ(t.length, c.L);
    EXPECT_EQ(t.HasMagic(), c.magic);
    EXPECT_EQ(t.space[8] == 0xABCDEF, c.space8);
    EXPECT_EQ(t.isAgent == 1, c.agent);
  }
}

TEST(Trailer, ZeroHeaderBlockCountReadsAsTwo) {
  Package p;
  p.trailer.headerBlocks = 0;
  EXPECT_EQ(TrailerOf(p.Bytes()).headerBlocks, 2);
}

TEST(Trailer, ImpossibleLengthsAreRejected) {
  for (uint32_t L : {0u, 3u, 1000000u}) {
    std::string file(40, 'a');
    pkg::PutU32(reinterpret_cast<uint8_t*>(&file[36]), L);
    bool ok = true;
    pkg::Trailer t = TrailerOf(file, &ok);
    EXPECT_FALSE(ok) << L;
    EXPECT_FALSE(t.HasMagic());
  }
  bool ok = true;
  TrailerOf("ab", &ok);
  EXPECT_FALSE(ok);
}

TEST(Checksum, HandComputedValues) {
  // 100 bytes of 0x01: n = 26, words added while n stays above 4 after
  // taking 4 off: 5 words.
  std::string ones(100, '\x01');
  pkg::MemorySource a(ones.data(), ones.size());
  EXPECT_EQ(pkg::ComputeChecksum(a, 74), 5u * 0x01010101u);

  // A stub image with the pointer set starts at 512: n = 600 - 74 - 512 = 14,
  // so only the first two words there count.
  std::string img = fixture::StubImage(600);
  pkg::PutU32(reinterpret_cast<uint8_t*>(&img[252]), 600);
  pkg::PutU32(reinterpret_cast<uint8_t*>(&img[512]), 7);
  pkg::PutU32(reinterpret_cast<uint8_t*>(&img[516]), 9);
  pkg::PutU32(reinterpret_cast<uint8_t*>(&img[520]), 1000);
  pkg::MemorySource b(img.data(), img.size());
  EXPECT_EQ(pkg::ComputeChecksum(b, 74), 16u);

  // 5,000 zero bytes: after the first full block n is still 830, so 1234 is
  // added once.
  std::string zeros(5000, '\0');
  pkg::MemorySource c(zeros.data(), zeros.size());
  EXPECT_EQ(pkg::ComputeChecksum(c, 74), 1234u);
}

TEST(Checksum, OnlyFilesUpTo51200BytesAreSummed) {
  std::string f(51200, '\x02');
  pkg::MemorySource a(f.data(), f.size());
  EXPECT_NE(pkg::ComputeChecksum(a, 74), pkg::kChecksumOff);
  f.push_back('\x02');
  pkg::MemorySource b(f.data(), f.size());
  EXPECT_EQ(pkg::ComputeChecksum(b, 74), pkg::kChecksumOff);
  EXPECT_TRUE(pkg::ChecksumPasses(5, 1234));
  EXPECT_TRUE(pkg::ChecksumPasses(1234, 5));
  EXPECT_FALSE(pkg::ChecksumPasses(5, 6));
}

TEST(Token, DecodesAHandMadeToken) {
  // mask 0x10, p = 1, q = 1, one filler, "A", check, mask 0x30 (k = 0x20).
  bool ok = false;
  EXPECT_EQ(pkg::DecodeToken("cbdcdcjshchveb", &ok), "A");
  EXPECT_TRUE(ok);
}

TEST(Token, RoundTripsAndStoresLowerCaseLetters) {
  const std::string plains[] = {"", "x", "Product-Token-2026", std::string(40, '\xff'), std::string("a\0b", 3)};
  for (const auto& plain : plains) {
    for (uint32_t seed : {1u, 2u, 77u, 123456u}) {
      std::string stored = pkg::EncodeToken(plain, seed);
      EXPECT_EQ(stored.size() % 2, 0u);
      for (char c : stored) EXPECT_TRUE(c >= 'a' && c <= 'x') << stored;
      bool ok = false;
      EXPECT_EQ(pkg::DecodeToken(stored, &ok), plain);
      EXPECT_TRUE(ok);
      EXPECT_TRUE(pkg::TokensMatch(stored, pkg::EncodeToken(plain, seed + 1)));
    }
  }
  EXPECT_FALSE(pkg::TokensMatch(pkg::EncodeToken("a", 1), pkg::EncodeToken("b", 1)));
}

TEST(Token, DamagedTokensNeverMatchAnything) {
  std::string good = pkg::EncodeToken("secret", 9);
  std::string badCheck = good;
  badCheck[badCheck.size() - 3] = badCheck[badCheck.size() - 3] == 'b' ? 'c' : 'b';
  // p and q pointing past the end: mask 0, p = 0xF0, q = 0, check, mask 0.
  std::string farCounts = "bbxbbbbbxbbb";
  const std::string bad[] = {"", "bbbb", "bbbbbbbb", badCheck, farCounts, "zzzzzzzzzzzz", "!!"};
  for (const auto& s : bad) {
    bool ok = true;
    EXPECT_EQ(pkg::DecodeToken(s, &ok), "") << s;
    EXPECT_FALSE(ok) << s;
    EXPECT_FALSE(pkg::TokensMatch(s, s)) << s;
    EXPECT_FALSE(pkg::TokensMatch(s, good)) << s;
  }
}

TEST(Token, SplitTokenTextPlainAndScrambled) {
  std::string token = pkg::EncodeToken("T", 5);
  std::string text = "head|" + token + "|x|y|Hello <b>there</b>|with bars";
  std::string t, rest;
  ASSERT_TRUE(pkg::SplitTokenText(text, &t, &rest));
  EXPECT_EQ(t, token);
  EXPECT_EQ(rest, "Hello <b>there</b>|with bars");
  ASSERT_TRUE(pkg::SplitTokenText(ScrambleText(text, true), &t, &rest));
  EXPECT_EQ(t, token);
  EXPECT_EQ(rest, "Hello <b>there</b>|with bars");
  EXPECT_FALSE(pkg::SplitTokenText("a|b|c", &t, &rest));
  EXPECT_EQ(t, "");
}

TEST(RecordHeader, SplitsNameStampAndLaunchText) {
  struct Case {
    const char* header;
    const char* name;
    uint32_t stamp;
    const char* launch;
  } cases[] = {
      {"|readme.txt|1212889512|", "readme.txt", 1212889512u, ""},
      {"|Engine.exe*|0|", "Engine.exe", 0, "Engine.exe*"},
      {"|Engine.exe* /S /lang=de|77|", "Engine.exe", 77, "Engine.exe* /S /lang=de"},
      {"|00003#gf.par|x|", "00003#gf.par", 0, ""},
      {"|a.txt|", "a.txt", 0, ""},
  };
  for (const Case& c : cases) {
    pkg::RecordHeader r = pkg::SplitRecordHeader(c.header);
    EXPECT_EQ(r.name, c.name) << c.header;
    EXPECT_EQ(r.stamp, c.stamp) << c.header;
    EXPECT_EQ(r.launchName, c.launch) << c.header;
  }
}

TEST(RecordName, OnlyPlainFileNamesAreSafe) {
  const char* safe[] = {"Engine.exe", "00003#gf.par", "a b.txt", "data.bin.00002", ".hidden", "CONFIG.SYS", "COM10"};
  const char* unsafe[] = {"", ".", "..", "..\\boot.ini", "a/b", "C:x", "x*", "what?", "a\"b", "<", "p|q",
                          "tab\tname", "dot.", "space ", "CON", "con.txt", "NUL", "Aux.dat", "COM1", "lpt9.log",
                          "CONIN$", "conout$.x", "PRN "};
  for (const char* n : safe) EXPECT_TRUE(pkg::IsSafeRecordName(n)) << n;
  for (const char* n : unsafe) EXPECT_FALSE(pkg::IsSafeRecordName(n)) << n;
}

TEST(Names, ChunksAndParts) {
  EXPECT_EQ(pkg::ChunkName("big.bin", 0), "big.bin");
  EXPECT_EQ(pkg::ChunkName("big.bin", 1), "big.bin.00002");
  EXPECT_EQ(pkg::ChunkName("big.bin", 10), "big.bin.00011");
  EXPECT_EQ(pkg::PartBaseName("D:\\setup.exe.001"), "D:\\setup.exe");
  EXPECT_EQ(pkg::PartBaseName("D:\\setup.EXE.001"), "D:\\setup.EXE");
  EXPECT_EQ(pkg::PartBaseName("D:\\setup.exe"), "D:\\setup.exe");
  EXPECT_EQ(pkg::PartFileName("D:\\setup.exe", 2), "D:\\setup.exe.002");
  EXPECT_EQ(pkg::PartFileName("D:\\setup.exe", 12), "D:\\setup.exe.012");
}

TEST(DosStamp, DecodesTheKnownExampleAndRoundTrips) {
  int y, mo, d, h, mi, s;
  ASSERT_TRUE(pkg::DecodeDosStamp(1212889512u, &y, &mo, &d, &h, &mi, &s));
  EXPECT_EQ(y, 2016);
  EXPECT_EQ(mo, 2);
  EXPECT_EQ(d, 11);
  EXPECT_EQ(h, 7);
  EXPECT_EQ(mi, 13);
  EXPECT_EQ(s, 16);
  EXPECT_EQ(pkg::EncodeDosStamp(2016, 2, 11, 7, 13, 16), 1212889512u);
  EXPECT_FALSE(pkg::DecodeDosStamp(0, &y, &mo, &d, &h, &mi, &s));
}

TEST(AgentCopy, ClearsPointerAndMarksTheTrailer) {
  Package p;
  std::string bytes = p.Bytes();
  pkg::Trailer t = TrailerOf(bytes);
  t.length = 80;
  std::string prefix = bytes.substr(0, 1100);
  std::string copy = pkg::BuildAgentCopy(prefix, t);
  ASSERT_EQ(copy.size(), prefix.size() + 74);
  EXPECT_EQ(pkg::GetU32(reinterpret_cast<const uint8_t*>(copy.data()) + 252), 0u);
  EXPECT_EQ(copy.substr(0, 252), prefix.substr(0, 252));
  EXPECT_EQ(copy.substr(256, prefix.size() - 256), prefix.substr(256));
  pkg::Trailer read = TrailerOf(copy);
  EXPECT_TRUE(read.HasMagic());
  EXPECT_EQ(read.isAgent, 1);
  EXPECT_EQ(read.length, 74u);
  EXPECT_EQ(read.packageStart, t.packageStart);
}

}  // namespace
