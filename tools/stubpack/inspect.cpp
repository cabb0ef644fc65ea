#include "inspect.h"

#include <cctype>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>

#include "package/reader.h"
#include "package/records.h"
#include "textconv.h"
#include "util/sub.h"
#include "util/text.h"

namespace stubpack {

namespace {

// Header blocks are small texts; the reader refuses anything larger too.
constexpr uint32_t kMaxHeaderBlock = 1 << 20;
constexpr int kMaxParts = 999;

std::string Num(uint64_t v) { return ThousandsText(std::to_string(v)); }

std::string Hex32(uint32_t v) {
  char b[16];
  std::snprintf(b, sizeof b, "0x%08" PRIX32, v);
  return b;
}

// Bytes shown safely on a terminal: control bytes (and, unless a code page
// converts them, bytes above 126) as \xNN.
std::string Printable(const std::string& s, int codePage = 0) {
  std::string utf8;
  bool converted = codePage != 0 && CodePageToUtf8(s, codePage, &utf8);
  const std::string& src = converted ? utf8 : s;
  std::string out;
  for (unsigned char c : src) {
    if (c < 32 || c == 127 || (!converted && c > 126)) {
      char b[8];
      std::snprintf(b, sizeof b, "\\x%02X", c);
      out += b;
    } else {
      out.push_back(char(c));
    }
  }
  return out;
}

std::string StampText(uint32_t stamp) {
  if (stamp == 0) return "0 (no time)";
  int y, mo, d, h, mi, s;
  if (!pkg::DecodeDosStamp(stamp, &y, &mo, &d, &h, &mi, &s)) return "invalid (" + std::to_string(stamp) + ")";
  char b[32];
  std::snprintf(b, sizeof b, "%04d-%02d-%02d %02d:%02d:%02d", y, mo, d, h, mi, s);
  return b;
}

std::string TokenState(const std::string& stored) {
  if (stored.empty()) return "absent";
  bool ok = false;
  pkg::DecodeToken(stored, &ok);
  return ok ? "present" : "does not decode";
}

// Counts what a record inflates to, keeping its header.
class CountingSink final : public pkg::RecordSink {
 public:
  bool Begin(const pkg::RecordHeader& h) override {
    header = h;
    return true;
  }
  bool Write(const uint8_t*, size_t n) override {
    bytes += n;
    return true;
  }
  pkg::RecordHeader header;
  uint64_t bytes = 0;
};

// The file that follows a part: "x.exe" -> "x.exe.002", "x.001" -> "x.002".
std::string NextPartPath(const std::string& path) {
  size_t n = path.size();
  if (n >= 4 && path[n - 4] == '.' && isdigit((unsigned char)path[n - 3]) && isdigit((unsigned char)path[n - 2]) &&
      isdigit((unsigned char)path[n - 1])) {
    int j = std::atoi(path.c_str() + n - 3);
    return pkg::PartFileName(path.substr(0, n - 4), uint32_t(j + 1));
  }
  return pkg::PartFileName(path, 2);
}

struct FileOutcome {
  bool isPackage = false;
  bool continues = false;
  bool relaunch = false;
  bool webStub = false;
  bool isAgent = false;
  uint32_t records = 0;
};

class Inspector {
 public:
  Inspector(std::string* report, InspectResult* result) : out_(*report), result_(*result) {}

  // The package chain: records are counted across parts for the launch rule.
  bool expectLaunch = false;
  uint32_t recordsSoFar = 0;
  bool launchSeen = false;

  FileOutcome File(pkg::ByteSource& f, const std::string& label);

 private:
  void Line(const std::string& s) { out_ += s + "\n"; }
  void Damage(const std::string& where, const std::string& what) {
    result_.problems.push_back(label_ + ": " + where + ": " + what);
    Line("  DAMAGE: " + where + ": " + what);
  }
  void Warn(const std::string& what) {
    result_.warnings.push_back(label_ + ": " + what);
    Line("  warning: " + what);
  }
  void ShowTrailer(const pkg::Trailer& t, uint64_t at);
  void ShowLanguages(const std::string& block);
  void ShowConfig(const TGFileInfo& info);
  void ShowDownload(const TGFileInfo& info);

  std::string& out_;
  InspectResult& result_;
  std::string label_;
};

void Inspector::ShowTrailer(const pkg::Trailer& t, uint64_t at) {
  Line("Trailer at offset " + Num(at) + " (" + std::to_string(t.length) + " bytes)");
  Line("  format byte        " + std::to_string(t.format));
  Line("  header blocks      " + std::to_string(t.headerBlocks));
  Line("  package start      " + Num(t.packageStart));
  Line("  record count       " + Num(t.recordCount));
  Line("  magic              " + Hex32(t.magic) + (t.HasMagic() ? "" : " (not a package)"));
  Line("  checksum           " + std::to_string(t.checksum) + (t.checksum == pkg::kChecksumOff ? " (off)" : ""));
  std::string res;
  for (uint8_t b : t.reserved20) {
    char h[4];
    std::snprintf(h, sizeof h, "%02X ", b);
    res += h;
  }
  Line("  reserved 20..27    " + Trim(res));
  Line("  reserved 64        " + std::to_string(t.reserved64));
  std::string names;
  struct {
    uint8_t bit;
    const char* name;
  } bits[] = {{pkg::kOptConfirmExtraction, "confirm-extraction"},
              {pkg::kOptContinues, "continues"},
              {pkg::kOptRelaunchFromTemp, "relaunch-from-temp-copy"},
              {pkg::kOptShowActivityBar, "show-activity-bar"},
              {pkg::kOptAgentTrace, "agent-trace"}};
  for (auto& b : bits)
    if (t.options & b.bit) names += std::string(" ") + b.name;
  if (t.options & 0xE0) names += " unused-bits-5-7";
  char ob[8];
  std::snprintf(ob, sizeof ob, "0x%02X", t.options);
  Line(std::string("  options            ") + ob + (names.empty() ? " (none)" : names));
  Line("  web stub           " + std::to_string(t.webStub));
  Line("  confirm download   " + std::to_string(t.confirmDownload));
  Line("  installs agent     " + std::to_string(t.installsAgent));
  Line("  is agent           " + std::to_string(t.isAgent));
  Line("  trailer length     " + std::to_string(t.length));
  Line("Space table");
  for (int i = 0; i < pkg::kSpaceEntries; ++i) {
    std::string what = i == 0 ? "plain total" : "clusters of " + Num(uint64_t(256) << i);
    char b[64];
    std::snprintf(b, sizeof b, "  [%d] %-20s ", i, what.c_str());
    Line(b + Num(t.space[i]));
  }
}

void Inspector::ShowLanguages(const std::string& block) {
  if (block.empty()) {
    Line("  (empty: every text is the stub's English default)");
    return;
  }
  if (block.size() < 2 || block[0] != '\x02' || block.back() != '\x02') {
    Warn("the language block is not a list of sections (0x02 ... 0x02); the stub shows its defaults");
    return;
  }
  int count = SUB::Count(block);
  Line("  " + std::to_string(count) + " section" + (count == 1 ? "" : "s"));
  for (int i = 0; i < count; ++i) {
    std::string sec = SUB::Item(block, i, "");
    if (sec.size() < 2 || sec[0] != '\x01' || sec.back() != '\x01') {
      Warn("language section " + std::to_string(i + 1) + " is not a 0x01 list; the stub cannot read it");
      continue;
    }
    int fields = SUB::Count(sec);
    std::string charset = SUB::Value(sec, "Charset", "0", "0");
    int64_t cs = 0;
    int codePage = TextToInt64(charset, &cs) ? CodePageOfCharset(int(cs)) : 0;
    Line("  [" + Printable(SUB::Item(sec, 0, ""), codePage) + "] " + std::to_string(fields > 0 ? fields - 1 : 0) +
         " keys");
    for (int k = 1; k < fields; ++k) Line("    " + Printable(SUB::Item(sec, k, ""), codePage));
  }
}

void Inspector::ShowConfig(const TGFileInfo& info) {
  const std::string& c = info.ConfigText();
  if (!c.empty() && (c[0] != '|' || c.back() != '|' || SUB::Count(c) != 5))
    Warn("the configuration block is not a list of five \"|\" fields");
  Line("  update URL         " + Printable(info.UpdateUrl()));
  Line("  info file          " + Printable(SUB::Item(c, 1, "")) + " (local description " +
       Printable(info.OriginalFileName()) + ")");
  Line("  agent name         " + Printable(info.AgentFileName()));
  Line("  update token       " + TokenState(info.UpdateToken(false)));
  Line("  hidden             " + Printable(SUB::Item(c, 4, "")) + (info.RunHidden() ? " (runs hidden)" : ""));
}

void Inspector::ShowDownload(const TGFileInfo& info) {
  const std::string& d = info.DownloadText();
  if (!d.empty() && (d[0] != '|' || d.back() != '|' || SUB::Count(d) != 5))
    Warn("the download block is not a list of five \"|\" fields");
  Line("  URL                " + Printable(info.WebUrl()));
  Line("  file name          " + Printable(info.WebFileName()));
  Line("  always download    " + Printable(SUB::Item(d, 2, "")));
  Line("  web token          " + TokenState(info.WebToken(false)));
  Line("  size               " + Printable(info.WebSizeText()));
}

FileOutcome Inspector::File(pkg::ByteSource& f, const std::string& label) {
  FileOutcome outcome;
  label_ = label;
  ++result_.filesInspected;
  uint64_t size = f.Size();
  Line("File " + label + " (" + Num(size) + " bytes)");
  if (size == 0) {
    Damage("offset 0", "the file is empty");
    return outcome;
  }
  bool stub = pkg::IsStubImage(f);
  uint64_t e = size;
  if (stub) {
    uint64_t raw = pkg::GetPackageEnd(f);
    if (raw == 0) {
      Line("  stub image; package end pointer 0: the package ends at the file end");
    } else if (raw > size) {
      Line("  stub image; package end pointer " + Num(raw));
      Damage("offset 248", "the package end pointer " + Num(raw) + " lies beyond the file end " + Num(size));
      return outcome;
    } else {
      e = raw;
      Line("  stub image; package end " + Num(e) +
           (e < size ? " (" + Num(size - e) + " bytes after it, ignored: padding or a code signature)" : ""));
    }
  } else {
    Line("  not a stub image: the package ends at the file end");
  }

  pkg::Trailer t;
  if (!pkg::ReadTrailer(f, &t)) {
    uint8_t lb[4] = {};
    uint32_t L = e >= 4 && f.ReadExact(e - 4, lb, 4) ? pkg::GetU32(lb) : 0;
    Damage("offset " + Num(e >= 4 ? e - 4 : 0),
           e < 4 ? "too short to hold a trailer"
                 : "no trailer: the trailer length " + Num(L) + " does not fit the " + Num(e) + " bytes before the package end");
    return outcome;
  }
  uint64_t trailerAt = e - t.length;
  ShowTrailer(t, trailerAt);
  if (!t.HasMagic()) {
    Damage("offset " + Num(trailerAt + pkg::kTrMagic), "no package magic (" + Hex32(t.magic) + "): not a package");
    return outcome;
  }
  outcome.isPackage = true;
  outcome.continues = t.Option(pkg::kOptContinues);
  outcome.relaunch = t.Option(pkg::kOptRelaunchFromTemp);
  outcome.webStub = t.webStub != 0;
  outcome.isAgent = t.isAgent != 0;
  if (t.length != pkg::kTrailerSize) Warn("trailer length " + std::to_string(t.length) + ", not 74");
  if (t.format != 1) Warn("format byte " + std::to_string(t.format) + ", not 1");

  uint32_t computed = pkg::ComputeChecksum(f, t.length);
  std::string check = "computed " + std::to_string(computed) + ", stored " + std::to_string(t.checksum);
  if (!pkg::ChecksumPasses(computed, t.checksum)) {
    Line("Checksum: " + check + ": MISMATCH");
    Damage("checksum", check + " (the file was changed after it was built)");
  } else {
    Line("Checksum: " + check + (computed == pkg::kChecksumOff || t.checksum == pkg::kChecksumOff
                                     ? ": not compared (1234)"
                                     : ": good"));
  }

  // Header blocks, then records, walked exactly as the stub walks them.
  uint64_t recordsEnd = trailerAt;
  if (t.packageStart > recordsEnd) {
    Damage("offset " + Num(trailerAt + pkg::kTrPackageStart),
           "the package start " + Num(t.packageStart) + " lies beyond the trailer (" + Num(recordsEnd) + ")");
    return outcome;
  }
  TGFileInfo info(f);
  pkg::BlockWalker walk(f, t.packageStart, recordsEnd);
  const char* names[] = {"language block", "configuration block", "download block"};
  for (int i = 0; i < t.headerBlocks; ++i) {
    pkg::BlockRef b;
    std::string why;
    uint64_t at = walk.Position();
    pkg::WalkStatus s = walk.Next(&b, &why);
    std::string name = i < 3 ? names[i] : "extra header block " + std::to_string(i + 1);
    if (s == pkg::WalkStatus::End) {
      Damage("offset " + Num(at), "header block " + std::to_string(i + 1) + " (" + name + ") is missing");
      return outcome;
    }
    if (s == pkg::WalkStatus::Damaged) {
      Damage("header block " + std::to_string(i + 1), why);
      return outcome;
    }
    Line("Header block " + std::to_string(i + 1) + ": " + name + " at offset " + Num(at) + ", " + Num(b.length) +
         " bytes");
    if (!b.compressed && b.length != 0) {
      Damage("offset " + Num(at), "header block " + std::to_string(i + 1) + " has a negative length");
      return outcome;
    }
    if (i >= 3) {
      Warn("header block " + std::to_string(i + 1) + " is skipped by the stub");
      continue;
    }
    std::string text;
    if (!pkg::ReadHeaderBlock(f, b, &text, kMaxHeaderBlock)) {
      Damage("offset " + Num(at), "header block " + std::to_string(i + 1) + " is larger than " +
                                      Num(kMaxHeaderBlock) + " bytes or cannot be read");
      return outcome;
    }
    if (i == 0) ShowLanguages(text);
    if (i == 1) ShowConfig(info);
    if (i == 2) ShowDownload(info);
  }
  if (t.headerBlocks < 3) Line("Download block: none (2 header blocks)");

  Line("Records from offset " + Num(walk.Position()));
  Line("     #       offset  kind            stored        inflated  stamp                name");
  uint32_t n = 0;
  for (;;) {
    pkg::BlockRef b;
    std::string why;
    uint64_t at = walk.Position();
    pkg::WalkStatus s = walk.Next(&b, &why);
    if (s == pkg::WalkStatus::End) break;
    if (s == pkg::WalkStatus::Damaged) {
      Damage("record " + std::to_string(n + 1), why);
      break;
    }
    ++n;
    ++recordsSoFar;
    CountingSink sink;
    pkg::RecordResult r = pkg::ReadRecord(f, b, sink, &why);
    const pkg::RecordHeader& h = sink.header;
    std::string shown = h.launchName.empty() ? h.name : h.launchName;
    char line[160];
    std::snprintf(line, sizeof line, "  %4u %12s  %-8s %15s %15s  %-19s  ", n, Num(at).c_str(),
                  b.compressed ? "deflated" : "stored", Num(b.length).c_str(),
                  r == pkg::RecordResult::Ok ? Num(sink.bytes).c_str() : "-",
                  r == pkg::RecordResult::Ok ? StampText(h.stamp).c_str() : "-");
    Line(line + Printable(shown));
    std::string where = "record " + std::to_string(n) + " at offset " + Num(at);
    if (r == pkg::RecordResult::Damaged) {
      Damage(where, std::string(b.compressed ? "does not inflate: " : "cannot be read: ") + why);
      continue;
    }
    if (r == pkg::RecordResult::Skipped) {
      Warn(where + " has no header (no NUL, or nothing before it); the stub skips it");
      continue;
    }
    if (!pkg::IsSafeRecordName(h.name))
      Damage(where, "unsafe record name \"" + Printable(h.name) + "\": the stub stops extracting here");
    bool launch = !h.launchName.empty();
    if (expectLaunch && recordsSoFar == 1 && !launch)
      Damage(where, "the first record is not the launch record (its name carries no \"*\")");
    if (launch && recordsSoFar != 1 && expectLaunch)
      Damage(where, "a second launch record (\"*\"): the stub would start this one instead of the first");
    if (launch && !expectLaunch) Warn(where + " carries \"*\" but is not the first record of its package");
    launchSeen = launchSeen || launch;
  }
  outcome.records = n;
  if (n != 0 && t.webStub) Warn("a web stub never extracts its own records");
  if (n != t.recordCount) Warn("the trailer counts " + Num(t.recordCount) + " records, the file holds " + Num(n));
  return outcome;
}

}  // namespace

InspectResult InspectSource(pkg::ByteSource& file, const std::string& label, bool expectLaunch, std::string* report) {
  InspectResult result;
  Inspector in(report, &result);
  in.expectLaunch = expectLaunch;
  in.File(file, label);
  return result;
}

InspectResult InspectPackage(const std::string& path, const InspectOptions& options, std::string* report) {
  InspectResult result;
  Inspector in(report, &result);
  auto src = pkg::OpenFileSource(path);
  if (!src) {
    result.problems.push_back(path + ": cannot be opened (missing, not a regular file, or not readable)");
    return result;
  }
  in.expectLaunch = pkg::IsStubImage(*src);
  FileOutcome o = in.File(*src, path);
  std::string current = path;
  if (!options.followParts || !o.isPackage) return result;

  int part = 1;
  bool chainStartsHere = in.expectLaunch;
  if (o.relaunch) {
    // This setup file hands the run to a temporary copy that reads path.001.
    if (o.records != 0)
      result.warnings.push_back(path + ": relaunch-from-temp-copy is set: the stub reads its records from " + path +
                                ".001, not from this file");
    current = path + ".001";
    auto next = pkg::OpenFileSource(current);
    *report += "\n";
    if (!next) {
      result.problems.push_back(path + ": relaunch-from-temp-copy is set but " + current + " does not exist");
      return result;
    }
    in.recordsSoFar = 0;
    in.launchSeen = false;
    in.expectLaunch = pkg::IsStubImage(*next);
    chainStartsHere = in.expectLaunch;
    o = in.File(*next, current);
    if (!o.isPackage) return result;
  }
  while (o.continues) {
    if (++part > kMaxParts) {
      result.problems.push_back(current + ": more than 999 parts");
      return result;
    }
    std::string nextPath = NextPartPath(current);
    auto next = pkg::OpenFileSource(nextPath);
    *report += "\n";
    if (!next) {
      result.problems.push_back(current + ": the continues bit is set but the next part " + nextPath +
                                " does not exist");
      return result;
    }
    current = nextPath;
    o = in.File(*next, current);
    if (!o.isPackage) return result;
  }
  if (chainStartsHere && in.recordsSoFar == 0 && !o.webStub && !o.isAgent)
    result.warnings.push_back(path + ": the package holds no records: the stub starts no engine");
  return result;
}

}  // namespace stubpack
