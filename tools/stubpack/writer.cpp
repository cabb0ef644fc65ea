#include "writer.h"

#include <sys/stat.h>
#include <zlib.h>

#include <cstring>
#include <map>
#include <memory>
#include <set>

#include "fsutil.h"
#include "textconv.h"
#include "util/text.h"

namespace stubpack {

namespace {

// The keys the stub looks up in a language section.
const char* const kKnownLanguageKeys[] = {"s0",  "s1",        "s2",      "s3",    "s4",      "s5",       "s6",
                                          "s7",  "s8",        "s10",     "s11",   "s12",     "BtnText",  "Attention",
                                          "Confirm", "Error", "Charset", "FontSize", "FontName"};

bool HasAny(const std::string& s, const char* bytes, size_t n) {
  for (char c : s)
    for (size_t i = 0; i < n; ++i)
      if (c == bytes[i]) return true;
  return false;
}

// A field of a "|" list must hold neither the separator nor a NUL.
bool CheckField(const std::string& value, const std::string& what, std::string* error) {
  static const char kBad[] = {'|', '\0'};
  if (HasAny(value, kBad, 2)) {
    *error = what + " must not contain \"|\" or a NUL byte: \"" + value + "\"";
    return false;
  }
  return true;
}

uint32_t Fnv1a(const std::string& s) {
  uint32_t h = 2166136261u;
  for (unsigned char c : s) {
    h ^= c;
    h *= 16777619u;
  }
  return h;
}

std::string U32Bytes(uint32_t v) {
  uint8_t b[4];
  pkg::PutU32(b, v);
  return std::string(reinterpret_cast<char*>(b), 4);
}

// One planned record: which bytes of which file, under which header.
struct PlannedRecord {
  const FileEntry* file = nullptr;
  uint64_t offset = 0;
  uint32_t length = 0;
  std::string header;
};

// One output file being written: its bytes go to a temporary file that is
// renamed into place only when the whole build has succeeded.
class PartWriter {
 public:
  bool Begin(const std::string& path, const std::string* stubImage, const std::string& headerBytes,
             std::string* error) {
    path_ = path;
    out_.reset(new OutputFile);
    if (!out_->Open(path, error)) return false;
    stubImage_ = stubImage != nullptr;
    if (stubImage && !out_->Write(*stubImage, error)) return false;
    packageStart_ = out_->Size();
    if (packageStart_ > UINT32_MAX) {
      *error = "the stub image is too large for the trailer's package start field";
      return false;
    }
    return out_->Write(headerBytes, error);
  }

  uint64_t Size() const { return out_->Size(); }
  uint32_t Records() const { return records_; }

  bool Add(const std::string& block, std::string* error) {
    ++records_;
    return out_->Write(block, error);
  }

  // Writes the trailer, the package end pointer and the padding, then the
  // checksum computed over the finished file.
  bool Finish(pkg::Trailer t, uint64_t padding, WrittenFile* written, std::string* error) {
    t.packageStart = uint32_t(packageStart_);
    t.recordCount = records_;
    t.checksum = pkg::kChecksumOff;  // replaced below; the sum never covers it
    uint8_t tb[pkg::kTrailerSize];
    pkg::SerializeTrailer(t, tb);
    if (!out_->Write(tb, sizeof tb, error)) return false;
    uint64_t end = out_->Size();
    if (stubImage_) {
      uint8_t p[8];
      pkg::PutU32(p, uint32_t(end >> 32));
      pkg::PutU32(p + 4, uint32_t(end));
      if (!out_->WriteAt(pkg::kEndPointerOffset, p, 8, error)) return false;
      std::string pad(size_t(padding < 65536 ? padding : 65536), '\0');
      for (uint64_t left = padding; left > 0;) {
        size_t n = size_t(left < pad.size() ? left : pad.size());
        if (!out_->Write(pad.data(), n, error)) return false;
        left -= n;
      }
    }
    if (!out_->Close(error)) return false;
    uint32_t sum = Checksum(error);
    if (!error->empty()) return false;
    if (sum != pkg::kChecksumOff) {
      uint8_t c[4];
      pkg::PutU32(c, sum);
      if (!out_->Reopen(error) || !out_->WriteAt(end - pkg::kTrailerSize + pkg::kTrChecksum, c, 4, error) ||
          !out_->Close(error))
        return false;
      // The checksum field lies outside the words the sum covers; make sure.
      if (Checksum(error) != sum) {
        if (error->empty()) *error = "internal error: the checksum of " + path_ + " covers its own field";
        return false;
      }
    }
    written->path = path_;
    written->size = out_->Size();
    written->packageEnd = end;
    written->records = records_;
    written->checksum = sum;
    written->stubImage = stubImage_;
    written->continues = t.Option(pkg::kOptContinues);
    return true;
  }

  bool Commit(std::string* error) { return out_->Commit(error); }

 private:
  uint32_t Checksum(std::string* error) {
    error->clear();
    auto src = pkg::OpenFileSource(out_->TempPath());
    if (!src) {
      *error = "cannot read back " + out_->TempPath();
      return 0;
    }
    return pkg::ComputeChecksum(*src, pkg::kTrailerSize);
  }

  std::string path_;
  std::unique_ptr<OutputFile> out_;
  bool stubImage_ = false;
  uint64_t packageStart_ = 0;
  uint32_t records_ = 0;
};

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace

bool CheckStubImage(const std::string& image, std::string* error) {
  const uint8_t* p = reinterpret_cast<const uint8_t*>(image.data());
  if (image.size() < pkg::kPeHeaderOffset + 4 || p[0] != 'M' || p[1] != 'Z') {
    *error = "is not an executable (no \"MZ\" signature)";
    return false;
  }
  uint32_t lfanew = pkg::GetU32(p + 0x3C);
  if (lfanew != pkg::kPeHeaderOffset || std::memcmp(p + pkg::kPeHeaderOffset, "PE\0\0", 4) != 0) {
    *error = "is not a stub image: its PE header stands at offset " + std::to_string(lfanew) +
             ", not 256 (the package end pointer needs bytes 248..255; build stub.exe with the project's build)";
    return false;
  }
  if (pkg::GetPackageEnd(p, image.size()) != 0) {
    *error = "already carries a package (its package end pointer is set); give the plain stub.exe";
    return false;
  }
  return true;
}

std::string LengthPrefixed(const std::string& bytes, bool stored) {
  int64_t n = int64_t(bytes.size());
  return U32Bytes(uint32_t(int32_t(stored ? -n : n))) + bytes;
}

std::string StoredToken(const std::string& plain, const std::string& purpose) {
  return pkg::EncodeToken(plain, Fnv1a(purpose + '\0' + plain));
}

bool BuildLanguageBlock(const PackageDef& def, std::string* block, std::vector<std::string>* warnings,
                        std::string* error) {
  block->clear();
  if (def.languages.empty()) return true;
  static const char kBad[] = {'\0', '\x01', '\x02'};
  *block = "\x02";
  for (const LanguageSection& sec : def.languages) {
    std::string where = sec.origin + ": [Language " + sec.name + "]";
    int codePage = 0;
    if (def.textIsUtf8) {
      std::string charset = "0";
      for (const auto& kv : sec.entries)
        if (SameText(kv.first, "Charset")) charset = kv.second;
      int64_t cs = 0;
      if (!TextToInt64(charset, &cs)) {
        *error = where + ": Charset must be a number, not \"" + charset + "\"";
        return false;
      }
      codePage = CodePageOfCharset(int(cs));
      if (codePage == 0) {
        *error = where + ": no code page is known for Charset=" + charset +
                 "; write this section in its own code page and set TextEncoding = ansi";
        return false;
      }
    }
    auto convert = [&](const std::string& in, std::string* out, const std::string& what) {
      if (!def.textIsUtf8) {
        *out = in;
        return true;
      }
      std::string why;
      if (!Utf8ToCodePage(in, codePage, out, &why)) {
        *error = where + ": " + what + ": " + why;
        return false;
      }
      return true;
    };
    std::string name;
    if (!convert(sec.name, &name, "the section name")) return false;
    if (HasAny(name, kBad, 3) || name.find('=') != std::string::npos) {
      *error = where + ": a language name must not contain \"=\" or control bytes 0, 1, 2";
      return false;
    }
    std::string section = "\x01" + name + "\x01";
    std::set<std::string> keys;
    for (const auto& kv : sec.entries) {
      std::string value;
      if (!convert(kv.second, &value, "the value of " + kv.first)) return false;
      if (HasAny(kv.first, kBad, 3) || HasAny(value, kBad, 3) || kv.first.find('=') != std::string::npos) {
        *error = where + ": " + kv.first + " holds a byte that would break the language block (0, 1 or 2)";
        return false;
      }
      bool known = false;
      for (const char* k : kKnownLanguageKeys) known = known || SameText(kv.first, k);
      if (!known)
        warnings->push_back(where + ": the stub does not use the key " + kv.first);
      section += kv.first + "=" + value + "\x01";
    }
    *block += section + "\x02";
  }
  return true;
}

bool BuildConfigBlock(const PackageDef& def, std::string* block, std::string* error) {
  std::string token;
  if (!def.updateToken.empty())
    token = def.updateTokenIsStored ? def.updateToken : StoredToken(def.updateToken, "update");
  if (!CheckField(def.updateUrl, "UpdateURL", error) || !CheckField(def.infoFile, "InfoFile", error) ||
      !CheckField(def.agentName, "AgentName", error) || !CheckField(token, "UpdateTokenStored", error))
    return false;
  *block = "|" + def.updateUrl + "|" + def.infoFile + "|" + def.agentName + "|" + token + "|" +
           (def.hidden ? "1" : "0") + "|";
  return true;
}

bool BuildDownloadBlock(const PackageDef& def, std::string* block, std::string* error) {
  std::string token;
  if (!def.webToken.empty()) token = def.webTokenIsStored ? def.webToken : StoredToken(def.webToken, "web");
  std::string size = def.webSizeText;
  if (!def.webSizeOf.empty()) {
    FileFacts facts;
    std::string why;
    if (!StatFile(def.webSizeOf, &facts, &why)) {
      *error = "[Download] SizeOf: " + why;
      return false;
    }
    size = std::to_string(facts.size);
  }
  if (!CheckField(def.webUrl, "[Download] URL", error) || !CheckField(def.webFileName, "[Download] FileName", error) ||
      !CheckField(token, "WebTokenStored", error))
    return false;
  *block = "|" + def.webUrl + "|" + def.webFileName + "|" + (def.alwaysDownload ? "1" : "0") + "|" + token + "|" +
           size + "|";
  return true;
}

bool MakeRecordBlock(const std::string& header, const std::string& data, int level, std::string* block,
                     std::string* error) {
  std::string contents;
  contents.reserve(header.size() + 1 + data.size());
  contents += header;
  contents.push_back('\0');
  contents += data;
  if (contents.size() > uint64_t(INT32_MAX)) {
    *error = "record " + header + " is too large for a record length";
    return false;
  }
  if (level == kStored) {
    *block = LengthPrefixed(contents, true);
    return true;
  }
  uLongf bound = compressBound(uLong(contents.size()));
  std::string z(size_t(bound), '\0');
  int rc = compress2(reinterpret_cast<Bytef*>(&z[0]), &bound, reinterpret_cast<const Bytef*>(contents.data()),
                     uLong(contents.size()), level);
  if (rc != Z_OK) {
    *error = "deflate failed for record " + header + ": " + zError(rc);
    return false;
  }
  z.resize(size_t(bound));
  *block = LengthPrefixed(z);
  return true;
}

void ComputeSpaceTable(const std::vector<uint64_t>& fileSizes, uint64_t extra, uint32_t out[pkg::kSpaceEntries],
                       bool* clamped) {
  *clamped = false;
  for (int i = 0; i < pkg::kSpaceEntries; ++i) {
    uint64_t cluster = i == 0 ? 1 : uint64_t(256) << i;
    uint64_t total = extra;
    for (uint64_t size : fileSizes) total += (size + cluster - 1) / cluster * cluster;
    if (total > UINT32_MAX || total < extra) {
      total = UINT32_MAX;
      *clamped = true;
    }
    out[i] = uint32_t(total);
  }
}

bool BuildPackage(const PackageDef& def, BuildReport* report, std::string* error) {
  *report = BuildReport();
  auto fail = [&](const std::string& what) {
    *error = what;
    return false;
  };

  // ---- the stub image
  std::string stub, why;
  if (!ReadWholeFile(def.stubPath, &stub, &why, 64u << 20)) return fail("the stub: " + why);
  if (!CheckStubImage(stub, &why)) return fail(def.stubPath + " " + why);
  if (SameFile(def.stubPath, def.output)) return fail("Output names the stub itself (" + def.output + ")");

  // ---- options that depend on each other
  if (def.webStub && !def.hasDownload)
    return fail("WebStub = 1 needs a [Download] section naming the real package");
  if (def.webStub && !def.files.empty())
    return fail("a web stub carries no files (it downloads the real package); remove the [File] sections or set "
                "WebStub = 0");
  if (def.webStub && def.partSize != 0) return fail("a web stub cannot be spanned; remove [Span]");
  if (def.installsAgent && def.agentName.empty())
    return fail("InstallsAgent = 1 needs [Config] AgentName = the agent's file name");
  if (!def.agentName.empty() && !pkg::IsSafeRecordName(def.agentName))
    return fail("AgentName \"" + def.agentName + "\" is not a plain file name");
  if (def.confirmDownload && !def.webStub)
    report->warnings.push_back("ConfirmDownload = 1 matters only for a web stub (WebStub = 1)");
  if (def.hasDownload && def.webToken.empty())
    report->warnings.push_back("[Download] has no WebToken: a web stub and its package never match without one");
  if (def.webStub && def.webSizeText.empty() && def.webSizeOf.empty())
    report->warnings.push_back("[Download] gives no Size or SizeOf: the download question shows 0.0 MB");
  bool spanned = def.partSize != 0;
  bool relaunchLayout = spanned && def.layout == SpanLayout::Relaunch;
  if (def.relaunchFromTemp == 1 && !relaunchLayout)
    report->warnings.push_back("RelaunchFromTemp = 1 without [Span] Layout = relaunch: the stub will look for its "
                               "package in " + def.output + ".001");
  if (def.relaunchFromTemp == 0 && relaunchLayout)
    report->warnings.push_back("RelaunchFromTemp = 0 with Layout = relaunch: the setup file carries no records and "
                               "will not hand over to " + def.output + ".001");
  if (def.installsAgent && !EndsWith(".exe", def.output, true))
    report->warnings.push_back("Output does not end in .exe: the stub writes the agent copy only from a package file "
                               "named *.exe or *.exe.001");

  // ---- header blocks
  std::string language, config, download;
  if (!BuildLanguageBlock(def, &language, &report->warnings, error)) return false;
  if (def.languages.empty())
    report->warnings.push_back("no [Language ...] section: the stub shows its English defaults");
  if (!BuildConfigBlock(def, &config, error)) return false;
  if (def.hasDownload && !BuildDownloadBlock(def, &download, error)) return false;
  std::string headerBytes = LengthPrefixed(language) + LengthPrefixed(config);
  if (def.hasDownload) headerBytes += LengthPrefixed(download);

  // ---- records: names, chunks, stamps
  std::vector<PlannedRecord> plan;
  std::map<std::string, uint64_t> extracted;  // upper-cased file name -> bytes the stub writes
  std::map<std::string, std::string> owner;   // upper-cased record name -> where it came from
  std::set<std::string> chunked;
  for (size_t i = 0; i < def.files.size(); ++i) {
    const FileEntry& f = def.files[i];
    const std::string at = f.origin.empty() ? "file " + std::to_string(i + 1) : f.origin;
    size_t star = f.name.find('*');
    std::string base = f.name.substr(0, star);
    std::string extra = star == std::string::npos ? "" : f.name.substr(star + 1);
    if (!pkg::IsSafeRecordName(base))
      return fail(at + ": record name \"" + base +
                  "\" is not a plain file name (no folders, no \\ / : * ? \" < > |, no control characters, no "
                  "trailing dot or space, no device name such as CON or LPT1)");
    if (!CheckField(extra, at + ": the command text after \"*\"", error)) return false;
    if (i == 0 && star == std::string::npos)
      return fail(at + ": the first file must be the launch record: mark its Name with \"*\" (e.g. Engine.exe*)");
    if (i != 0 && star != std::string::npos)
      return fail(at + ": only the first file, the launch record, may carry \"*\" in its Name");
    if (f.level != kStored && (f.level < 0 || f.level > 9)) return fail(at + ": bad compression level");
    FileFacts facts;
    if (!StatFile(f.source, &facts, &why)) return fail(at + ": " + why);
    uint32_t stamp = f.hasStamp ? f.stamp : DosStampFromTime(facts.mtime);
    uint64_t chunks = facts.size == 0 ? 1 : (facts.size + pkg::kChunkSize - 1) / pkg::kChunkSize;
    if (i == 0 && chunks > 1)
      return fail(at + ": the launch record is larger than 5 MiB; the stub would start its first chunk only");
    for (uint64_t c = 0; c < chunks; ++c) {
      std::string name = pkg::ChunkName(base, uint32_t(c));
      std::string key = UpperCase(name);
      auto prev = owner.find(key);
      if (prev != owner.end() && (chunks > 1 || chunked.count(key)))
        return fail(at + ": record " + name + " collides with a record of " + prev->second +
                    " (a file split into chunks must not share a name with another record)");
      owner[key] = at;
      if (chunks > 1) chunked.insert(key);
      PlannedRecord r;
      r.file = &f;
      r.offset = c * pkg::kChunkSize;
      uint64_t left = facts.size - r.offset;
      r.length = uint32_t(left < pkg::kChunkSize ? left : pkg::kChunkSize);
      r.header = pkg::MakeRecordHeader(c == 0 ? f.name : name, stamp);
      if (r.header.size() > pkg::kMaxRecordHeader)
        return fail(at + ": the record header is longer than " + std::to_string(pkg::kMaxRecordHeader) + " bytes");
      extracted[key] += r.length;
      plan.push_back(r);
    }
  }
  if (plan.size() > UINT32_MAX) return fail("too many records");
  if (def.files.empty() && !def.webStub && !def.isAgent)
    report->warnings.push_back("no [File] sections: the stub will extract nothing and start no engine");

  // ---- space table
  if (def.hasSpaceTable) {
    std::memcpy(report->space, def.spaceTable, sizeof report->space);
  } else {
    std::vector<uint64_t> sizes;
    for (const auto& kv : extracted) sizes.push_back(kv.second);
    // The agent copy is written beside the extracted files.
    if (def.installsAgent) sizes.push_back(stub.size() + headerBytes.size() + pkg::kTrailerSize);
    bool clamped = false;
    ComputeSpaceTable(sizes, def.extraSpace, report->space, &clamped);
    if (clamped) report->warnings.push_back("the space needed exceeds 4 GiB; the space table holds 4294967295");
  }

  // ---- the trailer every file shares
  pkg::Trailer base;
  base.format = 1;
  base.headerBlocks = def.hasDownload ? 3 : 2;
  base.magic = pkg::kMagic;
  std::memcpy(base.space, report->space, sizeof base.space);
  base.reserved64 = 1;
  uint8_t options = 0;
  if (def.confirmExtraction) options |= pkg::kOptConfirmExtraction;
  if (def.showActivityBar) options |= pkg::kOptShowActivityBar;
  if (def.agentTrace) options |= pkg::kOptAgentTrace;
  base.webStub = def.webStub;
  base.confirmDownload = def.confirmDownload;
  base.installsAgent = def.installsAgent;
  base.isAgent = def.isAgent;
  base.length = pkg::kTrailerSize;
  bool relaunchBit = def.relaunchFromTemp == -1 ? relaunchLayout : def.relaunchFromTemp == 1;

  // ---- write
  std::vector<std::unique_ptr<PartWriter>> parts;
  uint64_t limit = spanned ? def.partSize : UINT64_MAX;
  std::string firstPart = def.output;
  if (relaunchLayout) {
    // setup.exe: the stub image, its header blocks and a trailer that hands
    // the run over to a temporary copy reading setup.exe.001.
    parts.emplace_back(new PartWriter);
    pkg::Trailer t = base;
    t.options = uint8_t(options | (relaunchBit ? pkg::kOptRelaunchFromTemp : 0));
    WrittenFile w;
    if (!parts.back()->Begin(def.output, &stub, headerBytes, error) ||
        !parts.back()->Finish(t, def.padding, &w, error))
      return false;
    report->files.push_back(w);
    firstPart = def.output + ".001";
  }
  std::string partBase = pkg::PartBaseName(firstPart);
  uint32_t partNo = 1;
  auto openPart = [&]() {
    parts.emplace_back(new PartWriter);
    std::string path = partNo == 1 ? firstPart : pkg::PartFileName(partBase, partNo);
    // The first part is a stub image (so an agent copy can be made from it);
    // the others start with the header blocks.
    if (!parts.back()->Begin(path, partNo == 1 ? &stub : nullptr, headerBytes, error)) return false;
    if (parts.back()->Size() + pkg::kTrailerSize > limit) {
      *error = "PartSize " + std::to_string(limit) + " is smaller than part " + std::to_string(partNo) +
               "'s fixed contents (" + std::to_string(parts.back()->Size() + pkg::kTrailerSize) +
               " bytes: " + (partNo == 1 ? "stub image, " : "") + "header blocks and trailer)";
      return false;
    }
    return true;
  };
  auto finishPart = [&](bool continues) {
    pkg::Trailer t = base;
    t.options = options;
    if (continues) t.options |= pkg::kOptContinues;
    if (partNo == 1 && !relaunchLayout && relaunchBit) t.options |= pkg::kOptRelaunchFromTemp;
    WrittenFile w;
    if (!parts.back()->Finish(t, partNo == 1 ? def.padding : 0, &w, error)) return false;
    report->files.push_back(w);
    return true;
  };
  if (!openPart()) return false;
  for (const PlannedRecord& r : plan) {
    std::string data, block;
    if (!ReadFileRange(r.file->source, r.offset, r.length, &data, &why)) return fail(r.file->origin + ": " + why);
    if (!MakeRecordBlock(r.header, data, r.file->level, &block, error)) return false;
    if (parts.back()->Records() > 0 && parts.back()->Size() + block.size() + pkg::kTrailerSize > limit) {
      if (!finishPart(true)) return false;
      ++partNo;
      if (partNo > 999) return fail("more than 999 part files; choose a larger PartSize");
      if (!openPart()) return false;
    }
    if (!parts.back()->Add(block, error)) return false;
    ++report->totalRecords;
  }
  if (!finishPart(false)) return false;

  for (auto& p : parts)
    if (!p->Commit(error)) return false;
  // Files that are stub images keep the stub's permissions (executable).
  struct stat st;
  if (stat(def.stubPath.c_str(), &st) == 0)
    for (const WrittenFile& w : report->files)
      if (w.stubImage) chmod(w.path.c_str(), st.st_mode & 07777);
  if (spanned) {
    std::string stale = pkg::PartFileName(partBase, partNo + 1);
    if (pkg::FileExists(stale))
      report->warnings.push_back(stale + " is left from an earlier build; this package ends at part " +
                                 std::to_string(partNo) + " and the stub never reads it");
  }
  return true;
}

}  // namespace stubpack
