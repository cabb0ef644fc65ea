#include "package/reader.h"

#include "package/lang.h"
#include "package/records.h"
#include "util/sub.h"
#include "util/text.h"

namespace {

// Header blocks are small texts (about 1 KiB); anything far larger is not a
// package we wrote, and must not make us allocate what it claims.
constexpr uint32_t kMaxHeaderBlock = 1 << 20;
// Inform texts are read whole; they are small pages of text.
constexpr uint64_t kMaxInformFile = 16u << 20;

}  // namespace

std::string FileNamePart(const std::string& path) {
  size_t at = path.find_last_of("\\:");
  return at == std::string::npos ? path : path.substr(at + 1);
}

TGFileInfo::TGFileInfo(const std::string& path) {
  auto file = pkg::OpenFileSource(path);
  if (file) Load(*file);
}

void TGFileInfo::Load(pkg::ByteSource& file) {
  pkg::Trailer t;
  if (!pkg::ReadTrailer(file, &t)) {
    damage_ = "no trailer";
    return;
  }
  // A trailer without the magic describes nothing: all flags stay clear.
  if (!t.HasMagic()) {
    damage_ = "no package magic";
    return;
  }
  trailer_ = t;
  uint64_t end = pkg::PackageEndOf(file);
  uint64_t recordsEnd = end - t.length;
  pkg::BlockWalker walk(file, t.packageStart, recordsEnd);
  std::string* blocks[3] = {&language_, &config_, &download_};
  int wanted = t.headerBlocks >= 3 ? 3 : 2;
  for (int i = 0; i < wanted; ++i) {
    pkg::BlockRef b;
    std::string why;
    pkg::WalkStatus s = walk.Next(&b, &why);
    if (s != pkg::WalkStatus::Ok) {
      damage_ = s == pkg::WalkStatus::End ? "header block " + std::to_string(i + 1) + " missing" : why;
      return;
    }
    if (!b.compressed && b.length != 0) {
      damage_ = "header block " + std::to_string(i + 1) + " has a negative length";
      return;
    }
    if (!pkg::ReadHeaderBlock(file, b, blocks[i], kMaxHeaderBlock)) {
      blocks[i]->clear();
      damage_ = "header block " + std::to_string(i + 1) + " is too long or unreadable";
      return;
    }
    trailer_.packageStart = uint32_t(walk.Position());
  }
}

double TGFileInfo::RequiredSpaceFor(uint32_t c) const {
  double result = trailer_.space[0];
  uint64_t size = 256;
  for (int i = 1; i <= 8; ++i) {
    size *= 2;
    if (c >= size) result = trailer_.space[i];
  }
  return result;
}

std::string TGFileInfo::UpdateUrl() const { return SUB::Item(config_, 0, ""); }
std::string TGFileInfo::InfoFileName() const { return FileNamePart(SUB::Item(config_, 1, "")); }

std::string TGFileInfo::OriginalFileName() const {
  std::string name = InfoFileName();
  for (size_t dot; (dot = name.rfind('.')) != std::string::npos;) name.resize(dot);
  return name + ".original";
}

std::string TGFileInfo::AgentFileName() const { return SUB::Item(config_, 2, ""); }

std::string TGFileInfo::UpdateToken(bool decode, bool* ok) const {
  std::string stored = SUB::Item(config_, 3, "");
  return decode ? pkg::DecodeToken(stored, ok) : stored;
}

bool TGFileInfo::RunHidden() const { return SUB::Item(config_, 4, "") == "1"; }
std::string TGFileInfo::WebUrl() const { return SUB::Item(download_, 0, ""); }
std::string TGFileInfo::WebFileName() const { return SUB::Item(download_, 1, ""); }
bool TGFileInfo::AlwaysDownload() const { return SUB::Item(download_, 2, "") == "1"; }

std::string TGFileInfo::WebToken(bool decode, bool* ok) const {
  std::string stored = SUB::Item(download_, 3, "");
  return decode ? pkg::DecodeToken(stored, ok) : stored;
}

std::string TGFileInfo::WebSizeText() const { return SUB::Item(download_, 4, ""); }

bool TGFileInfo::SameWebToken(const TGFileInfo& other) const {
  return pkg::TokensMatch(WebToken(false), other.WebToken(false));
}

bool TGFileInfo::CheckDownloadedToken(const std::string& path, int kind) const {
  if (kind == 2) {
    TGFileInfo other(path);
    return pkg::TokensMatch(UpdateToken(false), other.UpdateToken(false));
  }
  if (kind == 3) {
    auto file = pkg::OpenFileSource(path);
    if (!file || file->Size() > kMaxInformFile) return false;
    std::string text(size_t(file->Size()), '\0');
    if (!text.empty() && !file->ReadExact(0, &text[0], text.size())) return false;
    std::string token, rest;
    pkg::SplitTokenText(text, &token, &rest);
    return pkg::TokensMatch(UpdateToken(false), token);
  }
  return false;
}

std::string TGFileInfo::Text(const std::string& key, const std::string& def) const {
  return lang::Text(language_, key, def);
}

int TGFileInfo::Charset() const { return int(StrToInt64Def(Text("Charset", "0"), 0)); }
int TGFileInfo::FontSize() const { return int(StrToInt64Def(Text("FontSize", "8"), 8)); }
std::string TGFileInfo::FontName() const { return Text("FontName", "Tahoma"); }
