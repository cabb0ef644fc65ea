#include "util/sub.h"

#include <algorithm>

#include "util/text.h"

namespace {

const size_t npos = std::string::npos;

// Separators a built list may take, in order of preference.
const char kCandidates[] = "|*~^!@#$&\xFF";
const size_t kCandidateCount = sizeof kCandidates - 1;

// The fields SUB::Count counts, in order.
std::vector<std::string> Fields(const std::string& list) {
  std::vector<std::string> fields;
  const size_t n = static_cast<size_t>(SUB::Count(list));
  size_t start = 1;
  for (size_t i = 1; i < list.size() && fields.size() < n; ++i) {
    if (list[i] == list[0]) {
      fields.push_back(list.substr(start, i - start));
      start = i + 1;
    }
  }
  return fields;
}

// sep, then every field followed by sep.
std::string Join(char sep, const std::vector<std::string>& fields) {
  std::string r(1, sep);
  for (const std::string& f : fields) {
    r += f;
    r += sep;
  }
  return r;
}

// Number of array elements a "highest index" argument selects.
size_t Selected(const std::vector<std::string>& items, int highIndex) {
  if (highIndex < 0 || static_cast<size_t>(highIndex) >= items.size()) return items.size();
  return static_cast<size_t>(highIndex) + 1;
}

// A list trimmed of surrounding blanks, except one whose separator is itself a
// control character (the 0x01 switch and language lists), which trimming
// would strip of its separators.
std::string TrimList(const std::string& list) {
  if (!list.empty() && static_cast<unsigned char>(list[0]) < 32) return list;
  return Trim(list);
}

// The part of a field before (key) or after (value) its first '='.
std::string KeyOrValue(const std::string& field, bool key) {
  const size_t eq = field.find('=');
  if (eq == npos) return std::string();
  return key ? field.substr(0, eq) : field.substr(eq + 1);
}

std::string KeysOrValues(const std::string& list, bool keys) {
  std::string r(1, '\0');
  for (const std::string& f : Fields(list)) {
    r += KeyOrValue(f, keys);
    r += '\0';
  }
  return SUB::Normalize(r);
}

}  // namespace

int SUB::Count(const std::string& list) {
  if (list.size() < 2 || list.back() != list[0]) return 0;
  const char s = list[0];
  int n = 0;
  for (size_t i = 1; i < list.size(); ++i) {
    if (list[i] == s)
      ++n;
    else if (list[i] == '\0')
      break;
  }
  return n;
}

std::string SUB::Item(const std::string& list, int index, const std::string& def) {
  if (index == -1) index = Count(list) - 1;
  if (index < 0 || list.size() < 2) return def;
  const char s = list[0];
  int n = 0;
  size_t start = 1;
  for (size_t i = 1; i < list.size(); ++i) {
    if (list[i] != s) continue;
    if (n == index) {
      const std::string r = list.substr(start, i - start);
      return r.empty() ? def : r;
    }
    ++n;
    start = i + 1;
  }
  return def;
}

int64_t SUB::ItemInt(const std::string& list, int index, int64_t def) {
  return StrToInt64Def(Item(list, index, ""), def);
}

std::string SUB::Value(const std::string& list, const std::string& key,
                       const std::string& defEmpty, const std::string& defMissing) {
  if (list.size() < 3 || list.back() != list[0]) return defMissing;
  const char s = list[0];
  std::string needle = s + key;
  if (key.empty() || key.back() != '=' || key == "=") needle += '=';
  // "key =value" and "key  =value" read as "key=value".
  const std::string l = list.find(' ') == npos ? list : ReplaceAll(list, " =", "=");
  const size_t p = PosCI(needle, l);
  if (p == 0) return defMissing;
  const size_t b = p - 1 + needle.size();
  const size_t e = l.find(s, b);
  const std::string v = l.substr(b, e == npos ? npos : e - b);
  return v.empty() ? defEmpty : v;
}

int SUB::IndexOf(const std::string& list, const std::string& text, int def, bool prefix) {
  const std::string l = UpperCase(TrimList(list));
  if (l.empty()) return def;
  const char s = l[0];
  const std::string u = UpperCase(text);
  for (const std::string& t : {u, Trim(u)}) {
    const std::string needle = s + t + (prefix ? std::string() : std::string(1, s));
    const size_t p = l.find(needle);
    // The index is the number of separators from the second character through p.
    if (p != npos) return static_cast<int>(std::count(&l[1], &l[p] + 1, s));
  }
  return def;
}

bool SUB::Contains(const std::string& list, const std::string& text, bool trim, bool ignoreCase) {
  const std::string l = trim ? TrimList(list) : list;
  const std::string t = trim ? Trim(text) : text;
  if (l.empty() || t.empty()) return false;
  return FindFrom(l[0] + t + l[0], l, 1, ignoreCase) != 0;
}

std::string SUB::Keys(const std::string& list) { return KeysOrValues(list, true); }

std::string SUB::Values(const std::string& list) { return KeysOrValues(list, false); }

void SUB::Split(const std::string& list, std::string& keys, std::string& values) {
  keys = Keys(list);
  values = Values(list);
}

std::string SUB::Pair(const std::string& keys, const std::string& values, bool compact) {
  const std::vector<std::string> k = Fields(compact ? Compact(keys, true, false) : keys);
  const std::vector<std::string> v = Fields(compact ? Compact(values, true, false) : values);
  std::string r(1, '\0');
  for (size_t i = 0; i < std::max(k.size(), v.size()); ++i) {
    r += i < k.size() ? k[i] : std::string();
    r += '=';
    r += i < v.size() ? v[i] : std::string();
    r += '\0';
  }
  return Normalize(r);
}

std::string SUB::Delete(const std::string& list, int index) {
  if (index < 0 || index >= Count(list)) return list;
  std::vector<std::string> f = Fields(list);
  f.erase(f.begin() + index);
  return Join(list[0], f);
}

std::string SUB::SetItem(const std::string& list, int index, const std::string& value) {
  const bool empty = list.empty() || (list.size() == 1 && list[0] == '\0');
  const std::string l = empty ? std::string("|") : list;
  const char s = l[0];
  const std::vector<std::string> f = Fields(l);
  const size_t n = std::max(f.size(), index < 0 ? 0 : static_cast<size_t>(index) + 1);
  std::string r(1, '\0');
  for (size_t i = 0; i < n; ++i) {
    if (index >= 0 && i == static_cast<size_t>(index))
      r += value;
    else if (i < f.size())
      r += f[i];
    r += '\0';
  }
  if (r.find(s) != npos) return Normalize(r);
  return ReplaceChar(r, '\0', s);
}

std::string SUB::FromArray(const std::vector<std::string>& items, int highIndex, bool unique) {
  std::string r(1, '\0');
  for (size_t i = 0; i < Selected(items, highIndex); ++i) {
    r += items[i];
    r += '\0';
  }
  r = Normalize(r);
  return unique ? Unique(r) : r;
}

std::string SUB::Append(const std::string& list, const std::vector<std::string>& items,
                        int highIndex, bool unique) {
  if (list.size() <= 1) return FromArray(items, highIndex, unique);
  const char s = list[0];
  std::string joined;
  bool holdsSeparator = false;
  for (size_t i = 0; i < Selected(items, highIndex); ++i) {
    joined += items[i];
    joined += '\0';
    holdsSeparator = holdsSeparator || items[i].find(s) != npos;
  }
  const std::string r = holdsSeparator ? Normalize(ReplaceChar(list, s, '\0') + joined)
                                       : list + ReplaceChar(joined, '\0', s);
  return unique ? Unique(r) : r;
}

std::string SUB::Reverse(const std::string& list) {
  if (list.empty()) return list;
  std::vector<std::string> f = Fields(list);
  std::reverse(f.begin(), f.end());
  return Join(list[0], f);
}

std::string SUB::Unique(const std::string& list) {
  if (list.empty()) return list;
  const char s = list[0];
  std::string r(1, s);
  std::vector<std::string> seen;
  for (const std::string& f : Fields(list)) {
    if (f.empty()) continue;
    const std::string key = UpperCase(Trim(f));
    if (std::find(seen.begin(), seen.end(), key) != seen.end()) continue;
    seen.push_back(key);
    r += f;
    r += s;
  }
  return r;
}

std::string SUB::Compact(const std::string& list, bool trailing, bool leading) {
  if (Count(list) == 0) return list.size() == 1 ? std::string() : list;
  std::vector<std::string> f = Fields(list);
  if (trailing)
    while (!f.empty() && f.back().empty()) f.pop_back();
  if (leading)
    while (!f.empty() && f.front().empty()) f.erase(f.begin());
  const std::string r = Join(list[0], f);
  return r.size() == 1 ? std::string() : r;
}

std::string SUB::Normalize(const std::string& list) {
  if (list.empty()) return list;
  std::string r = list.find('\0') == npos ? ReplaceChar(list, list[0], '\0') : list;
  const char first = r[0];
  for (size_t i = 0; i < kCandidateCount; ++i) {
    if (r.find(kCandidates[i]) == npos) {
      r = ReplaceChar(r, first, kCandidates[i]);
      break;
    }
  }
  return r.size() == 1 ? std::string() : r;
}

std::string SUB::SetSeparator(const std::string& list, char sep) {
  return list.empty() ? list : ReplaceChar(list, list[0], sep);
}
