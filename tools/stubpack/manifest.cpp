#include "manifest.h"

#include <cstdlib>
#include <set>

#include "fsutil.h"
#include "util/text.h"

namespace stubpack {

namespace {

struct IniEntry {
  std::string key;
  std::string value;  // expanded, quotes removed
  int line = 0;
};

struct IniSection {
  std::string name;   // as written between the brackets, trimmed
  int line = 0;
  std::vector<IniEntry> entries;
};

std::string Where(const std::string& file, int line) { return file + ":" + std::to_string(line) + ": "; }

bool IsNameChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// Splits the manifest into sections of key = value entries, keeping their
// order and line numbers; values are expanded and lose enclosing quotes.
bool ReadIni(const std::string& text, const std::string& file, const Definitions& defs,
             std::vector<IniSection>* sections, std::string* error) {
  size_t pos = 0;
  int line = 0;
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) pos = 3;  // a UTF-8 byte-order mark
  while (pos < text.size()) {
    size_t eol = text.find('\n', pos);
    if (eol == std::string::npos) eol = text.size();
    std::string raw = text.substr(pos, eol - pos);
    pos = eol + 1;
    ++line;
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    std::string s = Trim(raw);
    if (s.empty() || s[0] == ';' || s[0] == '#') continue;
    if (s[0] == '[') {
      if (s.back() != ']') {
        *error = Where(file, line) + "a section header must end with \"]\"";
        return false;
      }
      IniSection sec;
      sec.name = Trim(s.substr(1, s.size() - 2));
      sec.line = line;
      if (sec.name.empty()) {
        *error = Where(file, line) + "empty section name";
        return false;
      }
      sections->push_back(sec);
      continue;
    }
    size_t eq = s.find('=');
    if (eq == std::string::npos) {
      *error = Where(file, line) + "expected \"key = value\" or \"[Section]\", found \"" + s + "\"";
      return false;
    }
    if (sections->empty()) {
      *error = Where(file, line) + "\"" + s + "\" stands before the first [Section]";
      return false;
    }
    IniEntry e;
    e.key = Trim(s.substr(0, eq));
    e.line = line;
    if (e.key.empty()) {
      *error = Where(file, line) + "a key name is missing before \"=\"";
      return false;
    }
    std::string value = Trim(s.substr(eq + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    std::string why;
    if (!ExpandValue(value, defs, &e.value, &why)) {
      *error = Where(file, line) + why;
      return false;
    }
    for (const IniEntry& other : sections->back().entries) {
      if (SameText(other.key, e.key)) {
        *error = Where(file, line) + "key " + e.key + " is given twice in [" + sections->back().name +
                 "] (first at line " + std::to_string(other.line) + ")";
        return false;
      }
    }
    sections->back().entries.push_back(e);
  }
  return true;
}

// Typed access to the entries of one section, remembering which were used
// so that a misspelt key is reported instead of silently ignored.
class SectionReader {
 public:
  SectionReader(const IniSection& s, const std::string& file) : s_(s), file_(file) {}

  const IniEntry* Find(const char* key) {
    for (const IniEntry& e : s_.entries) {
      if (SameText(e.key, key)) {
        used_.insert(&e);
        return &e;
      }
    }
    return nullptr;
  }

  bool Text(const char* key, std::string* out) {
    if (const IniEntry* e = Find(key)) *out = e->value;
    return true;
  }

  bool Bool(const char* key, bool* out, std::string* error) {
    const IniEntry* e = Find(key);
    if (!e) return true;
    if (!ParseBool(e->value, out)) {
      *error = Where(file_, e->line) + key + " must be 0 or 1 (or yes/no, true/false), not \"" + e->value + "\"";
      return false;
    }
    return true;
  }

  bool Size(const char* key, uint64_t* out, bool* given, std::string* error) {
    const IniEntry* e = Find(key);
    if (given) *given = e != nullptr;
    if (!e) return true;
    if (!ParseSize(e->value, out)) {
      *error = Where(file_, e->line) + key + " must be a number of bytes (a K, M or G suffix is allowed), not \"" +
               e->value + "\"";
      return false;
    }
    return true;
  }

  bool Compression(const char* key, int* out, std::string* error) {
    const IniEntry* e = Find(key);
    if (!e) return true;
    if (!ParseCompression(e->value, out)) {
      *error = Where(file_, e->line) + key + " must be a deflate level 0 to 9 or \"stored\", not \"" + e->value + "\"";
      return false;
    }
    return true;
  }

  // Every entry not asked for is a mistake.
  bool NoUnknown(std::string* error) {
    for (const IniEntry& e : s_.entries) {
      if (!used_.count(&e)) {
        *error = Where(file_, e.line) + "unknown key \"" + e.key + "\" in [" + s_.name + "] (see docs/stubpack.md)";
        return false;
      }
    }
    return true;
  }

  int Line(const char* key) {
    const IniEntry* e = Find(key);
    return e ? e->line : s_.line;
  }

 private:
  const IniSection& s_;
  const std::string& file_;
  std::set<const IniEntry*> used_;
};

std::string Resolve(const std::string& baseDir, const std::string& path) {
  if (path.empty()) return path;
  return JoinPath(baseDir, path);
}

// "Language English" -> "English"; "File" or "File label" -> "" / label.
bool SectionIs(const std::string& section, const char* word, std::string* rest) {
  std::string w(word);
  if (section.size() < w.size() || !SameText(section.substr(0, w.size()), w)) return false;
  if (section.size() == w.size()) {
    rest->clear();
    return true;
  }
  if (section[w.size()] != ' ' && section[w.size()] != '\t') return false;
  *rest = Trim(section.substr(w.size()));
  return true;
}

}  // namespace

bool ParseBool(const std::string& text, bool* out) {
  std::string t = LowerCase(Trim(text));
  if (t == "1" || t == "yes" || t == "true" || t == "on") {
    *out = true;
    return true;
  }
  if (t == "0" || t == "no" || t == "false" || t == "off") {
    *out = false;
    return true;
  }
  return false;
}

bool ParseSize(const std::string& text, uint64_t* out) {
  std::string t = Trim(text);
  size_t digits = 0;
  while (digits < t.size() && t[digits] >= '0' && t[digits] <= '9') ++digits;
  if (digits == 0 || digits > 19) return false;
  std::string suffix = UpperCase(Trim(t.substr(digits)));
  uint64_t mult = 1;
  if (suffix.empty()) {
    mult = 1;
  } else if (suffix == "K" || suffix == "KIB") {
    mult = 1024;
  } else if (suffix == "M" || suffix == "MIB") {
    mult = 1024 * 1024;
  } else if (suffix == "G" || suffix == "GIB") {
    mult = 1024ull * 1024 * 1024;
  } else {
    return false;
  }
  uint64_t v = std::strtoull(t.substr(0, digits).c_str(), nullptr, 10);
  if (v > UINT64_MAX / mult) return false;
  *out = v * mult;
  return true;
}

bool ParseStamp(const std::string& text, uint32_t* out) {
  std::string t = Trim(text);
  if (t.empty()) return false;
  bool allDigits = true;
  for (char c : t) allDigits = allDigits && c >= '0' && c <= '9';
  if (allDigits) {
    if (t.size() > 10) return false;
    uint64_t v = std::strtoull(t.c_str(), nullptr, 10);
    if (v > UINT32_MAX) return false;
    *out = uint32_t(v);
    return true;
  }
  // YYYY-MM-DD, optionally followed by " HH:MM" and ":SS" (or "T" for " ").
  auto num = [&](size_t at, size_t len, int* v) {
    if (at + len > t.size()) return false;
    *v = 0;
    for (size_t i = at; i < at + len; ++i) {
      if (t[i] < '0' || t[i] > '9') return false;
      *v = *v * 10 + (t[i] - '0');
    }
    return true;
  };
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  if (!num(0, 4, &y) || t.size() < 10 || t[4] != '-' || !num(5, 2, &mo) || t[7] != '-' || !num(8, 2, &d)) return false;
  if (t.size() != 10) {
    if ((t[10] != ' ' && t[10] != 'T') || !num(11, 2, &h) || t.size() < 16 || t[13] != ':' || !num(14, 2, &mi))
      return false;
    if (t.size() != 16 && (t.size() != 19 || t[16] != ':' || !num(17, 2, &s))) return false;
  }
  static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (y < 1980 || y > 2107 || mo < 1 || mo > 12 || d < 1 || d > kDays[mo - 1] || h > 23 || mi > 59 || s > 59)
    return false;
  bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  if (mo == 2 && d == 29 && !leap) return false;
  *out = pkg::EncodeDosStamp(y, mo, d, h, mi, s);
  return true;
}

bool ParseCompression(const std::string& text, int* out) {
  std::string t = LowerCase(Trim(text));
  if (t == "stored" || t == "store" || t == "none") {
    *out = kStored;
    return true;
  }
  if (t.size() == 1 && t[0] >= '0' && t[0] <= '9') {
    *out = t[0] - '0';
    return true;
  }
  return false;
}

bool ExpandValue(const std::string& value, const Definitions& defs, std::string* out, std::string* error) {
  out->clear();
  for (size_t i = 0; i < value.size(); ++i) {
    char c = value[i];
    if (c != '$' || i + 1 >= value.size()) {
      out->push_back(c);
      continue;
    }
    if (value[i + 1] == '$') {
      out->push_back('$');
      ++i;
      continue;
    }
    if (value[i + 1] != '{') {
      out->push_back(c);
      continue;
    }
    size_t close = value.find('}', i + 2);
    if (close == std::string::npos) {
      *error = "\"${\" without a closing \"}\" in \"" + value + "\"";
      return false;
    }
    std::string name = value.substr(i + 2, close - i - 2);
    bool good = !name.empty();
    for (char n : name) good = good && IsNameChar(n);
    if (!good) {
      *error = "\"${" + name + "}\" is not a valid name (letters, digits and _ only)";
      return false;
    }
    auto it = defs.find(name);
    if (it != defs.end()) {
      *out += it->second;
    } else if (const char* env = std::getenv(name.c_str())) {
      *out += env;
    } else {
      *error = "${" + name + "} is not defined: pass -D " + name + "=VALUE or set the environment variable " + name;
      return false;
    }
    i = close;
  }
  return true;
}

bool ParseManifest(const std::string& path, const Definitions& defs, PackageDef* out, std::string* error) {
  std::string text;
  if (!ReadWholeFile(path, &text, error, 16u << 20)) return false;
  return ParseManifestText(text, path, DirName(path), defs, out, error);
}

bool ParseManifestText(const std::string& text, const std::string& file, const std::string& baseDir,
                       const Definitions& defs, PackageDef* out, std::string* error) {
  *out = PackageDef();
  out->origin = file;
  std::vector<IniSection> sections;
  if (!ReadIni(text, file, defs, &sections, error)) return false;

  const char* once[] = {"Package", "Options", "Config", "Download", "Space", "Span"};
  std::set<std::string> seen;
  bool sawPackage = false;
  int defaultLevel = 9;
  std::vector<std::pair<const IniSection*, int>> fileSections;

  for (const IniSection& sec : sections) {
    std::string rest;
    bool single = false;
    for (const char* n : once) single = single || SameText(sec.name, n);
    if (single) {
      std::string key = UpperCase(sec.name);
      if (seen.count(key)) {
        *error = Where(file, sec.line) + "section [" + sec.name + "] appears twice";
        return false;
      }
      seen.insert(key);
    }
    SectionReader r(sec, file);
    if (SameText(sec.name, "Package")) {
      sawPackage = true;
      std::string stub, output, enc = "ansi";
      r.Text("Stub", &stub);
      r.Text("Output", &output);
      if (stub.empty()) {
        *error = Where(file, r.Line("Stub")) + "[Package] needs Stub = the path of stub.exe";
        return false;
      }
      if (output.empty()) {
        *error = Where(file, r.Line("Output")) + "[Package] needs Output = the path of the setup file to write";
        return false;
      }
      out->stubPath = Resolve(baseDir, stub);
      out->output = Resolve(baseDir, output);
      if (!r.Compression("Compression", &defaultLevel, error)) return false;
      if (!r.Size("Padding", &out->padding, nullptr, error)) return false;
      r.Text("TextEncoding", &enc);
      std::string e = LowerCase(Trim(enc));
      if (e == "utf-8" || e == "utf8") {
        out->textIsUtf8 = true;
      } else if (e != "ansi" && e != "bytes") {
        *error = Where(file, r.Line("TextEncoding")) + "TextEncoding must be \"ansi\" or \"utf-8\", not \"" + enc + "\"";
        return false;
      }
    } else if (SameText(sec.name, "Options")) {
      if (!r.Bool("ConfirmExtraction", &out->confirmExtraction, error) ||
          !r.Bool("ShowActivityBar", &out->showActivityBar, error) || !r.Bool("AgentTrace", &out->agentTrace, error) ||
          !r.Bool("WebStub", &out->webStub, error) || !r.Bool("ConfirmDownload", &out->confirmDownload, error) ||
          !r.Bool("InstallsAgent", &out->installsAgent, error) || !r.Bool("IsAgent", &out->isAgent, error))
        return false;
      if (const IniEntry* e = r.Find("RelaunchFromTemp")) {
        bool b = false;
        if (SameText(Trim(e->value), "auto")) {
          out->relaunchFromTemp = -1;
        } else if (ParseBool(e->value, &b)) {
          out->relaunchFromTemp = b ? 1 : 0;
        } else {
          *error = Where(file, e->line) + "RelaunchFromTemp must be auto, 0 or 1, not \"" + e->value + "\"";
          return false;
        }
      }
    } else if (SameText(sec.name, "Config")) {
      r.Text("UpdateURL", &out->updateUrl);
      r.Text("InfoFile", &out->infoFile);
      r.Text("AgentName", &out->agentName);
      std::string plain, stored;
      const IniEntry* p = r.Find("UpdateToken");
      const IniEntry* s = r.Find("UpdateTokenStored");
      if (p && s) {
        *error = Where(file, s->line) + "give UpdateToken (plain text) or UpdateTokenStored, not both";
        return false;
      }
      if (p) out->updateToken = p->value;
      if (s) {
        out->updateToken = s->value;
        out->updateTokenIsStored = true;
      }
      if (!r.Bool("Hidden", &out->hidden, error)) return false;
    } else if (SameText(sec.name, "Download")) {
      out->hasDownload = true;
      r.Text("URL", &out->webUrl);
      r.Text("FileName", &out->webFileName);
      if (!r.Bool("AlwaysDownload", &out->alwaysDownload, error)) return false;
      const IniEntry* p = r.Find("WebToken");
      const IniEntry* s = r.Find("WebTokenStored");
      if (p && s) {
        *error = Where(file, s->line) + "give WebToken (plain text) or WebTokenStored, not both";
        return false;
      }
      if (p) out->webToken = p->value;
      if (s) {
        out->webToken = s->value;
        out->webTokenIsStored = true;
      }
      const IniEntry* size = r.Find("Size");
      const IniEntry* sizeOf = r.Find("SizeOf");
      if (size && sizeOf) {
        *error = Where(file, sizeOf->line) + "give Size or SizeOf, not both";
        return false;
      }
      if (size) {
        uint64_t v = 0;
        if (!ParseSize(size->value, &v)) {
          *error = Where(file, size->line) + "Size must be a number of bytes, not \"" + size->value + "\"";
          return false;
        }
        out->webSizeText = std::to_string(v);
      }
      if (sizeOf) out->webSizeOf = Resolve(baseDir, sizeOf->value);
    } else if (SameText(sec.name, "Space")) {
      if (!r.Size("Extra", &out->extraSpace, nullptr, error)) return false;
      if (const IniEntry* t = r.Find("Table")) {
        std::vector<std::string> parts;
        std::string cur;
        for (char c : t->value + " ") {
          if (c == ' ' || c == '\t' || c == ',') {
            if (!cur.empty()) parts.push_back(cur);
            cur.clear();
          } else {
            cur.push_back(c);
          }
        }
        if (parts.size() != size_t(pkg::kSpaceEntries)) {
          *error = Where(file, t->line) + "Table needs 9 numbers (entry 0, then clusters of 512 bytes to 64 KiB), found " +
                   std::to_string(parts.size());
          return false;
        }
        for (int i = 0; i < pkg::kSpaceEntries; ++i) {
          uint64_t v = 0;
          if (!ParseSize(parts[size_t(i)], &v) || v > UINT32_MAX) {
            *error = Where(file, t->line) + "Table entry " + std::to_string(i) + " (\"" + parts[size_t(i)] +
                     "\") is not a number of bytes up to 4294967295";
            return false;
          }
          out->spaceTable[i] = uint32_t(v);
        }
        out->hasSpaceTable = true;
      }
    } else if (SameText(sec.name, "Span")) {
      bool given = false;
      if (!r.Size("PartSize", &out->partSize, &given, error)) return false;
      if (given && out->partSize == 0) {
        *error = Where(file, r.Line("PartSize")) + "PartSize must be above 0";
        return false;
      }
      std::string layout = "stub-first";
      r.Text("Layout", &layout);
      std::string l = LowerCase(Trim(layout));
      if (l == "stub-first") {
        out->layout = SpanLayout::StubFirst;
      } else if (l == "relaunch") {
        out->layout = SpanLayout::Relaunch;
      } else {
        *error = Where(file, r.Line("Layout")) + "Layout must be stub-first or relaunch, not \"" + layout + "\"";
        return false;
      }
      if (!given) {
        *error = Where(file, sec.line) + "[Span] needs PartSize = the largest part file in bytes";
        return false;
      }
    } else if (SectionIs(sec.name, "Language", &rest)) {
      if (rest.empty()) {
        *error = Where(file, sec.line) + "name the language: [Language English]";
        return false;
      }
      for (const LanguageSection& l : out->languages) {
        if (SameText(l.name, rest)) {
          *error = Where(file, sec.line) + "language " + rest + " is given twice";
          return false;
        }
      }
      LanguageSection ls;
      ls.name = rest;
      ls.origin = Where(file, sec.line);
      ls.origin.resize(ls.origin.size() - 2);
      for (const IniEntry& e : sec.entries) {
        r.Find(e.key.c_str());
        ls.entries.emplace_back(e.key, e.value);
      }
      out->languages.push_back(ls);
    } else if (SectionIs(sec.name, "File", &rest)) {
      fileSections.emplace_back(&sec, 0);
      continue;  // read below, once the default compression is known
    } else {
      *error = Where(file, sec.line) + "unknown section [" + sec.name + "] (see docs/stubpack.md)";
      return false;
    }
    if (!r.NoUnknown(error)) return false;
  }
  if (!sawPackage) {
    *error = file + ": the manifest needs a [Package] section with Stub and Output";
    return false;
  }

  for (auto& fs : fileSections) {
    const IniSection& sec = *fs.first;
    SectionReader r(sec, file);
    FileEntry f;
    f.level = defaultLevel;
    f.origin = Where(file, sec.line);
    f.origin.resize(f.origin.size() - 2);
    std::string source;
    r.Text("Source", &source);
    if (source.empty()) {
      *error = Where(file, sec.line) + "[" + sec.name + "] needs Source = the path of the file to pack";
      return false;
    }
    f.source = Resolve(baseDir, source);
    f.name = BaseName(source);
    if (const IniEntry* n = r.Find("Name")) f.name = n->value;
    if (!r.Compression("Compression", &f.level, error)) return false;
    if (const IniEntry* s = r.Find("Stamp")) {
      if (!SameText(Trim(s->value), "file")) {
        if (!ParseStamp(s->value, &f.stamp)) {
          *error = Where(file, s->line) + "Stamp must be \"YYYY-MM-DD HH:MM:SS\", a decimal DOS stamp or \"file\", not \"" +
                   s->value + "\"";
          return false;
        }
        f.hasStamp = true;
      }
    }
    if (!r.NoUnknown(error)) return false;
    out->files.push_back(f);
  }
  return true;
}

}  // namespace stubpack
