// Placeholder expansion over injected values; no system calls here.
//
// The text is kept as a run of pieces: literal text, which later steps may
// still search, and inserted values, which they never search. So a value
// that happens to contain "<TempDir>" stays as it is, and the result cannot
// grow beyond the text times the longest value however the values look.
#include "env/macros.h"

#include <cstring>
#include <map>
#include <vector>

#include "util/text.h"

namespace {

InstallFolders g_installFolders;

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }
bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Position of needle in hay at or after from, ASCII case ignored.
size_t FindCI(const std::string& hay, const std::string& needle, size_t from) {
  if (needle.empty() || hay.size() < needle.size()) return std::string::npos;
  const char first = LowerAscii(needle[0]);
  for (size_t i = from; i + needle.size() <= hay.size(); ++i) {
    if (LowerAscii(hay[i]) != first) continue;
    size_t k = 1;
    while (k < needle.size() && LowerAscii(hay[i + k]) == LowerAscii(needle[k])) ++k;
    if (k == needle.size()) return i;
  }
  return std::string::npos;
}

class PieceText {
 public:
  struct Hit {
    size_t piece = 0;
    size_t offset = 0;
  };

  explicit PieceText(const std::string& text) {
    if (!text.empty()) pieces_.push_back({text, false});
  }

  std::string Flat() const {
    std::string s;
    for (const Piece& p : pieces_) s += p.text;
    return s;
  }

  // The first occurrence of name in literal text.
  bool FindFirst(const std::string& name, Hit* hit) const {
    for (size_t i = 0; i < pieces_.size(); ++i) {
      if (pieces_[i].value) continue;
      const size_t at = FindCI(pieces_[i].text, name, 0);
      if (at != std::string::npos) {
        *hit = {i, at};
        return true;
      }
    }
    return false;
  }

  const std::string& PieceAt(const Hit& h) const { return pieces_[h.piece].text; }

  // The byte that follows length bytes at the hit in the whole text; -1 at
  // the end of the text.
  int ByteAfter(const Hit& h, size_t length) const {
    const std::string& s = pieces_[h.piece].text;
    if (h.offset + length < s.size()) return static_cast<unsigned char>(s[h.offset + length]);
    for (size_t i = h.piece + 1; i < pieces_.size(); ++i) {
      if (!pieces_[i].text.empty()) return static_cast<unsigned char>(pieces_[i].text[0]);
    }
    return -1;
  }

  // Replaces length bytes at the hit by a value.
  void ReplaceAt(const Hit& h, size_t length, const std::string& value) {
    const std::string s = pieces_[h.piece].text;
    std::vector<Piece> out(pieces_.begin(), pieces_.begin() + static_cast<std::ptrdiff_t>(h.piece));
    out.push_back({s.substr(0, h.offset), false});
    out.push_back({value, true});
    out.push_back({s.substr(h.offset + length), false});
    out.insert(out.end(), pieces_.begin() + static_cast<std::ptrdiff_t>(h.piece) + 1, pieces_.end());
    pieces_.swap(out);
    Tidy();
  }

  // Replaces every occurrence of name in literal text by a value (an empty
  // value removes it).
  void ReplaceAll(const std::string& name, const std::string& value) {
    std::vector<Piece> out;
    bool any = false;
    for (Piece& p : pieces_) {
      if (p.value) {
        out.push_back(std::move(p));
        continue;
      }
      size_t from = 0;
      for (size_t at = FindCI(p.text, name, 0); at != std::string::npos; at = FindCI(p.text, name, from)) {
        out.push_back({p.text.substr(from, at - from), false});
        out.push_back({value, true});
        from = at + name.size();
        any = true;
      }
      out.push_back({p.text.substr(from), false});
    }
    pieces_.swap(out);
    if (any) Tidy();
  }

 private:
  struct Piece {
    std::string text;
    bool value;
  };

  // Drops empty pieces and joins neighbouring literal ones, so that text
  // which closes up after a removal is searched as one.
  void Tidy() {
    std::vector<Piece> out;
    for (Piece& p : pieces_) {
      if (p.text.empty()) continue;
      if (!p.value && !out.empty() && !out.back().value) {
        out.back().text += p.text;
      } else {
        out.push_back(std::move(p));
      }
    }
    pieces_.swap(out);
  }

  std::vector<Piece> pieces_;
};

enum class Kind {
  Constant,  // a fixed text, no separator
  Name,      // a source value as it is, no separator
  Folder,    // a source folder without its trailing "\", separator rule
  Drive,     // the first three characters of a folder ("C:\")
  Disk,      // the first two characters of a folder ("C:")
};

struct Entry {
  const char* name;
  Kind kind;
  MacroValue value;
  const char* constant;
};

constexpr Entry Const(const char* name, const char* text) { return {name, Kind::Constant, MacroValue::InstallDir, text}; }
constexpr Entry Of(const char* name, Kind kind, MacroValue v) { return {name, kind, v, ""}; }

// Always replaced (after the date).
const Entry kGroup1[] = {
    Of("<LoggedUserName>", Kind::Name, MacroValue::LoggedUserName),
    Of("<UserName>", Kind::Name, MacroValue::UserName),
    Of("<CompanyName>", Kind::Name, MacroValue::CompanyName),
    Of("<ComputerName>", Kind::Name, MacroValue::ComputerName),
    Of("<CurrentDomainName>", Kind::Name, MacroValue::DomainName),
    Const("<LastExecutableExitCode>", "0"),
    Const("<ReqFreeDiskSpaceMB>", "0"),
    // Values that exist only inside the setup engine.
    Const("<EnteredUserName>", ""),
    Const("<EnteredCompanyName>", ""),
    Const("<EnteredSerialNum>", ""),
    Const("<EnteredStartProgramMenu>", ""),
    Const("<VendorCompanyName>", ""),
    Const("<ProjectName>", ""),
    Const("<ProgramDescriptiveName>", ""),
    Const("<ProgramVersion>", ""),
    Const("<SelectedLanguage>", ""),
};

// The engine's newer names, replaced first; when they changed the text,
// the older <InstallDir> family is dropped from it.
const Entry kGroup2Named[] = {
    Const("<UnInstallExePath>", ""),
    // No run-time directories exist in this program: empty, and an empty
    // value takes no separator.
    Const("<RunTimeDir_1>", ""),
    Const("<RunTimeDir_2>", ""),
    Const("<RunTimeDir_3>", ""),
    Const("<RunTimeDir_4>", ""),
    Const("<RunTimeDir_5>", ""),
    Const("<RunTimeDir_6>", ""),
    Const("<RunTimeDir_7>", ""),
    Const("<RunTimeDir_8>", ""),
    Of("<Application Folder>", Kind::Folder, MacroValue::InstallDir),
    Of("<Common Folder>", Kind::Folder, MacroValue::CommonDir),
    Of("<Auxiliary Folder>", Kind::Folder, MacroValue::AuxDir),
    Of("<Windows Directory>", Kind::Folder, MacroValue::WindowsDir),
    Of("<System Directory>", Kind::Folder, MacroValue::SystemDir),
    Of("<System16 Directory>", Kind::Folder, MacroValue::System16Dir),
};

const char* const kInstallFamily[] = {"<InstallDir>", "<InstallCommonDir>", "<InstallAuxDir>"};
const char kAbsoluteDir[] = "<AbsoluteDir>";

const Entry kGroup2Install[] = {
    Of("<InstallDir>", Kind::Folder, MacroValue::InstallDir),
    Of("<InstallCommonDir>", Kind::Folder, MacroValue::CommonDir),
    Of("<InstallAuxDir>", Kind::Folder, MacroValue::AuxDir),
};

const Entry kGroup2Rest[] = {
    Of("<WinDir>", Kind::Folder, MacroValue::WindowsDir),
    Of("<WinSysDir>", Kind::Folder, MacroValue::SystemDir),
    Of("<WinSys32Dir>", Kind::Folder, MacroValue::SystemDir),
    Of("<WinSys16Dir>", Kind::Folder, MacroValue::System16Dir),
    Of("<InstallDrive>", Kind::Drive, MacroValue::InstallDir),
    Of("<WinDrive>", Kind::Drive, MacroValue::WindowsDir),
    Of("<WinSysDrive>", Kind::Drive, MacroValue::SystemDir),
    Of("<OriginDrive>", Kind::Drive, MacroValue::OriginDir),
    Of("<InstallDisk>", Kind::Disk, MacroValue::InstallDir),
    Of("<WinDisk>", Kind::Disk, MacroValue::WindowsDir),
    Of("<WinSysDisk>", Kind::Disk, MacroValue::SystemDir),
    Of("<OriginDisk>", Kind::Disk, MacroValue::OriginDir),
    Of("<StartMenuDir>", Kind::Folder, MacroValue::StartMenuDir),
    Of("<ProgramFilesDir>", Kind::Folder, MacroValue::ProgramFilesDir),
    Of("<CommonFilesDir>", Kind::Folder, MacroValue::CommonFilesDir),
    Of("<FontDir>", Kind::Folder, MacroValue::FontDir),
    Of("<SrcDir>", Kind::Folder, MacroValue::SrcDir),
    Of("<OriginDir>", Kind::Folder, MacroValue::OriginDir),
    Of("<TempDir>", Kind::Folder, MacroValue::TempDir),
    Of("<ServiceDir>", Kind::Folder, MacroValue::ServiceDir),
    Of("<UserDir>", Kind::Folder, MacroValue::UserDir),
    Of("<UserAppDataDir>", Kind::Folder, MacroValue::UserAppDataDir),
    Of("<UserLocalAppDataDir>", Kind::Folder, MacroValue::UserLocalAppDataDir),
    Of("<MyDocumentsDir>", Kind::Folder, MacroValue::MyDocumentsDir),
    Of("<UserStartMenuDir>", Kind::Folder, MacroValue::UserStartMenuDir),
    Of("<UserStartProgramMenuDir>", Kind::Folder, MacroValue::UserStartProgramMenuDir),
    Of("<UserDesktopDir>", Kind::Folder, MacroValue::UserDesktopDir),
    Of("<DocumentsAndSettingsDir>", Kind::Folder, MacroValue::DocumentsAndSettingsDir),
    Of("<AllUsersDir>", Kind::Folder, MacroValue::AllUsersDir),
    Of("<AllUsersAppDataDir>", Kind::Folder, MacroValue::AllUsersAppDataDir),
    Of("<AllUsersDocumentsDir>", Kind::Folder, MacroValue::AllUsersDocumentsDir),
    Of("<AllUsersStartMenuDir>", Kind::Folder, MacroValue::AllUsersStartMenuDir),
    Of("<AllUsersStartProgramMenuDir>", Kind::Folder, MacroValue::AllUsersStartProgramMenuDir),
    Of("<AllUsersDesktopDir>", Kind::Folder, MacroValue::AllUsersDesktopDir),
};

class Expander {
 public:
  Expander(MacroSource& source, const std::string& separator)
      : source_(source), separator_(separator), lead_(source.LeadBytes()) {}

  void ReplaceDate(PieceText& t) {
    PieceText::Hit h;
    if (!t.FindFirst("<Date=", &h)) return;
    // Exactly "<Date=" c ">" with c one of #01234567; anything else stays.
    const std::string& s = t.PieceAt(h);
    if (h.offset + 7 >= s.size() || s[h.offset + 7] != '>') return;
    const char c = s[h.offset + 6];
    if (c == '\0' || !std::strchr("#01234567", c)) return;
    t.ReplaceAt(h, 8, DateMacroText(c, source_.Clock()));
  }

  template <size_t N>
  void ReplaceAll(PieceText& t, const Entry (&entries)[N]) {
    for (const Entry& e : entries) Replace(t, e);
  }

 private:
  void Replace(PieceText& t, const Entry& e) {
    PieceText::Hit h;
    if (!t.FindFirst(e.name, &h)) return;
    std::string v = ValueOf(e);
    if (e.kind == Kind::Folder && !v.empty() && TakesSeparator(t, h, std::strlen(e.name))) v += separator_;
    t.ReplaceAll(e.name, v);
  }

  // The separator rule, decided at the first occurrence: none at the end
  // of the text, before a space, or before the separator of a field list
  // (a text whose first and last characters are equal and neither "<" nor
  // a letter).
  bool TakesSeparator(const PieceText& t, const PieceText::Hit& h, size_t length) const {
    const int next = t.ByteAfter(h, length);
    if (next < 0 || next == ' ') return false;
    const std::string flat = t.Flat();
    const char first = flat.front();
    const bool fieldList = first == flat.back() && first != '<' && !IsAsciiLetter(first);
    return !(fieldList && next == static_cast<unsigned char>(first));
  }

  std::string ValueOf(const Entry& e) {
    switch (e.kind) {
      case Kind::Constant: return e.constant;
      case Kind::Name: return Source(e.value);
      case Kind::Folder: return FolderWithBackslash(Source(e.value), false, lead_);
      case Kind::Drive: return FolderWithBackslash(Source(e.value), true, lead_).substr(0, 3);
      case Kind::Disk: return FolderWithBackslash(Source(e.value), true, lead_).substr(0, 2);
    }
    return std::string();
  }

  // Each value is asked once per expansion, and only when a placeholder needs it.
  std::string Source(MacroValue v) {
    auto it = values_.find(v);
    if (it == values_.end()) it = values_.emplace(v, source_.Value(v)).first;
    return it->second;
  }

  MacroSource& source_;
  const std::string separator_;
  LeadByteTest lead_;
  std::map<MacroValue, std::string> values_;
};

bool HasDots(const std::string& s) {
  return s.find("\\..") != std::string::npos || s.find("..\\") != std::string::npos;
}

std::string ResolveDots(const std::string& text, MacroSource& source) {
  if (!HasDots(text)) return text;
  const auto full = [&](const std::string& path) {
    const std::string f = source.FullPath(path);
    return f.empty() ? path : f;
  };
  if (text[0] != ',' && text[0] != '|') return full(text);
  // A field list: only the fields that hold dots are touched.
  const char sep = text[0];
  std::string out;
  size_t from = 0;
  for (;;) {
    const size_t at = text.find(sep, from);
    const std::string field = text.substr(from, at == std::string::npos ? std::string::npos : at - from);
    out += HasDots(field) ? full(field) : field;
    if (at == std::string::npos) break;
    out += sep;
    from = at + 1;
  }
  return out;
}

}  // namespace

std::string DateMacroText(char c, const MacroClock& k) {
  const std::string dd = ZeroPadInt(k.day, 2);
  const std::string mm = ZeroPadInt(k.month, 2);
  const std::string yy = ZeroPadInt(((k.year % 100) + 100) % 100, 2);
  const std::string yyyy = ZeroPadInt(k.year, 4);
  switch (c) {
    case '#': {
      const std::string month = k.month >= 1 && k.month <= 12 ? k.monthNames[k.month - 1] : std::string();
      return dd + k.dateSeparator + month + k.dateSeparator + yyyy;
    }
    case '0': {
      const double now = EncodeDateTime(k.year, k.month, k.day, k.hour, k.minute, k.second);
      const double base = EncodeDateTime(2000, 1, 1, 0, 0, 0);
      return IntToStr(now == 0 ? 0 : static_cast<int64_t>(now - base));
    }
    case '1': return dd + "-" + mm + "-" + yy;
    case '2': return mm + "-" + dd + "-" + yy;
    case '3': return yy + "-" + mm + "-" + dd;
    case '4': return dd + "-" + mm + "-" + yyyy;
    case '5': return mm + "-" + dd + "-" + yyyy;
    case '6': return yyyy + "-" + mm + "-" + dd;
    case '7':
      return yyyy + "-" + mm + "-" + dd + " " + ZeroPadInt(k.hour, 2) + ":" + ZeroPadInt(k.minute, 2) + ":" +
             ZeroPadInt(k.second, 2);
    default: return std::string();
  }
}

std::string ExpandMacrosFrom(const std::string& text, const std::string& separator, bool resolveDots, bool full,
                             MacroSource& source) {
  std::string result = text;
  if (text.find('<') != std::string::npos) {
    Expander x(source, separator);
    PieceText t(text);
    x.ReplaceDate(t);
    x.ReplaceAll(t, kGroup1);
    const std::string snapshot = t.Flat();
    result = snapshot;
    if (full) {
      x.ReplaceAll(t, kGroup2Named);
      for (const char* old : kInstallFamily) {
        if (t.Flat() != snapshot) t.ReplaceAll(old, "");
      }
      t.ReplaceAll(kAbsoluteDir, "");
      x.ReplaceAll(t, kGroup2Install);
      t.ReplaceAll(kAbsoluteDir, "");
      x.ReplaceAll(t, kGroup2Rest);
      const std::string expanded = t.Flat();
      // Folder values put next to a text's own "\" double it.
      if (expanded != snapshot) result = CollapseBackslashes(expanded, false, source.LeadBytes());
    }
  }
  return resolveDots ? ResolveDots(result, source) : result;
}

void SetInstallFolders(const std::string& installFolder, const std::string& commonFolder,
                       const std::string& auxiliaryFolder) {
  g_installFolders = {installFolder, commonFolder, auxiliaryFolder};
}

const InstallFolders& GetInstallFolders() { return g_installFolders; }

std::string OriginFolderFor(const std::string& originExe, const std::string& exeDir, LeadByteTest isLead) {
  const std::string folder = FolderWithBackslash(ParentFolder(originExe, isLead), false, isLead);
  return folder.empty() ? FolderWithBackslash(exeDir, false, isLead) : folder;
}

std::string System16Candidate(const std::string& systemDir) {
  const size_t at = systemDir.rfind("32");
  if (at == std::string::npos) return systemDir;
  std::string s = systemDir;
  s.erase(at, 2);
  return s;
}
