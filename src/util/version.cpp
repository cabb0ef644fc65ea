#include "util/version.h"

#include "util/text.h"

std::string FormatVersion(const std::string& version, int width, int parts) {
  std::string v;
  for (char c : version) {
    if (c == ',') c = '.';
    if ((c >= '0' && c <= '9') || c == '.') v.push_back(c);
  }
  std::string out;
  size_t from = 0;
  for (int i = 0; i < parts; ++i) {
    std::string part;
    if (from <= v.size()) {
      size_t dot = v.find('.', from);
      part = v.substr(from, dot == std::string::npos ? std::string::npos : dot - from);
      from = dot == std::string::npos ? v.size() + 1 : dot + 1;
    }
    out += ZeroPadInt(StrToInt64Def(part, 0), width) + ".";
  }
  while (!out.empty() && out.front() == '.') out.erase(0, 1);
  while (!out.empty() && out.back() == '.') out.pop_back();
  return out;
}
