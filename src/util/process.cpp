// Portable pieces of process control: reading the task list's CSV, looking
// names up in process tables, collecting enumerated windows and scoring a
// process's windows to find its main window.
#include "util/process.h"

#include <unordered_map>
#include <utility>

#include "util/sub.h"
#include "util/text.h"

namespace {

// The lines of a text, split at LF with a CR before it dropped.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

// The first `wanted` fields of one CSV line. A field in double quotes may
// hold commas, and "" inside it stands for one quote.
std::vector<std::string> CsvFields(const std::string& line, size_t wanted) {
  std::vector<std::string> fields;
  size_t i = 0;
  while (fields.size() < wanted && i <= line.size()) {
    std::string field;
    while (i < line.size() && line[i] == ' ') ++i;
    if (i < line.size() && line[i] == '"') {
      for (++i; i < line.size(); ++i) {
        if (line[i] != '"') {
          field += line[i];
        } else if (i + 1 < line.size() && line[i + 1] == '"') {
          field += '"';
          ++i;
        } else {
          ++i;
          break;
        }
      }
      while (i < line.size() && line[i] != ',') field += line[i++];
    } else {
      while (i < line.size() && line[i] != ',') field += line[i++];
    }
    fields.push_back(Trim(field));
    ++i;  // the comma
  }
  return fields;
}

// The fields of a field list (its first character is the separator).
std::vector<std::string> ListFields(const std::string& list) {
  std::vector<std::string> fields;
  if (list.size() < 2 || list.back() != list[0]) return fields;
  size_t start = 1;
  for (;;) {
    const size_t end = list.find(list[0], start);
    if (end == std::string::npos) break;
    fields.push_back(list.substr(start, end - start));
    start = end + 1;
  }
  return fields;
}

std::string Column(const std::vector<ProcessWindow>& windows, std::string (*field)(const ProcessWindow&)) {
  std::vector<std::string> items;
  items.reserve(windows.size());
  for (const ProcessWindow& w : windows) items.push_back(field(w));
  const std::string list = SUB::FromArray(items);
  return list.empty() ? std::string("|") : list;
}

}  // namespace

std::string ProcessFileName(const std::string& path) {
  return ExtractFileName(path);
}

bool SameExeName(const std::string& a, const std::string& b) { return SameTextTrim(a, b); }

TaskListMatch FindInTaskList(const std::string& csv, const std::string& exe) {
  TaskListMatch match;
  const std::string name = ProcessFileName(Unquote(exe));
  for (const std::string& line : Lines(csv)) {
    const std::vector<std::string> f = CsvFields(line, 2);
    int64_t id = 0;
    if (f.size() < 2 || f[0].empty() || !TextToInt64(f[1], &id) || id < 0 || id > 0xFFFFFFFFll) continue;
    ++match.rows;
    if (match.processId == 0 && id > 0 && SameExeName(f[0], name)) match.processId = uint32_t(id);
  }
  return match;
}

uint32_t FindIdInProcessTable(const std::string& table, const std::string& exe,
                              const std::function<std::string(const std::string&)>& shortForm) {
  const std::vector<std::string> entries = ListFields(table);
  const std::string wanted = Trim(exe);
  // A name without a short form must not match another one by accident.
  const std::string wantedShort = shortForm ? shortForm(wanted) : std::string();
  for (size_t i = entries.size(); i-- > 0;) {
    const size_t eq = entries[i].rfind('=');
    if (eq == std::string::npos) continue;
    const std::string name = entries[i].substr(0, eq);
    int64_t id = 0;
    if (!TextToInt64(entries[i].substr(eq + 1), &id) || id < 0 || id > 0xFFFFFFFFll) continue;
    bool same = SameExeName(name, wanted);
    if (!same && !wantedShort.empty()) same = SameText(shortForm(Trim(name)), wantedShort);
    if (same) return uint32_t(id);
  }
  return 0;
}

std::string TProcessData::ProcessIds() const {
  return Column(windows, [](const ProcessWindow& w) { return IntToStr(w.processId); });
}
std::string TProcessData::ExeNames() const {
  return Column(windows, [](const ProcessWindow& w) { return w.exeName; });
}
std::string TProcessData::ClassNames() const {
  return Column(windows, [](const ProcessWindow& w) { return w.className; });
}
std::string TProcessData::Handles() const {
  return Column(windows, [](const ProcessWindow& w) { return IntToStr(int64_t(w.handle)); });
}
std::string TProcessData::ThreadIds() const {
  return Column(windows, [](const ProcessWindow& w) { return IntToStr(w.threadId); });
}
std::string TProcessData::Titles() const {
  return Column(windows, [](const ProcessWindow& w) { return w.title; });
}
std::string TProcessData::VisibleFlags() const {
  return Column(windows, [](const ProcessWindow& w) { return std::string(BoolChar(w.visible)); });
}
std::string TProcessData::ProcessTable() const {
  return Column(windows, [](const ProcessWindow& w) { return w.exeName + "=" + IntToStr(w.processId); });
}

void ResetProcessData(TProcessData& data, bool all, const std::string& nameFilter, int64_t idFilter) {
  data.all = all;
  data.nameFilter = nameFilter;
  data.idFilter = idFilter;
  data.windows.clear();
}

bool AddProcessWindow(TProcessData& data, ProcessWindow window) {
  bool known = false;
  if (!data.all) {
    for (const ProcessWindow& w : data.windows) {
      if (SameExeName(w.exeName, window.exeName)) {
        known = true;
        break;
      }
    }
  }
  const bool stop = !data.all && (window.exeName == data.nameFilter || int64_t(window.processId) == data.idFilter);
  if (!known) data.windows.push_back(std::move(window));
  return !stop;
}

bool IsInputMethodWindowClass(const std::string& className) {
  return SameText(className, "IME") || SameText(className, "MSCTFIME UI");
}

std::vector<uint32_t> TAnalizer::Scores() const {
  std::unordered_map<uintptr_t, size_t> indexOf;
  for (size_t i = 0; i < windows_.size(); ++i) indexOf.emplace(windows_[i].handle, i);
  std::vector<uint32_t> points(windows_.size(), 0);
  for (const Window& w : windows_) {
    const auto top = indexOf.find(w.topOwner != 0 ? w.topOwner : w.handle);
    if (top != indexOf.end()) ++points[top->second];
  }
  for (size_t i = 0; i < windows_.size(); ++i)
    points[i] = points[i] * 4 + (windows_[i].titled ? 2 : 0) + (windows_[i].visible ? 1 : 0);
  return points;
}

uintptr_t TAnalizer::MainWindow() const {
  const std::vector<uint32_t> scores = Scores();
  uint32_t best = 0;
  uintptr_t winner = 0;
  for (size_t i = 0; i < scores.size(); ++i) {
    if (scores[i] > best) {
      best = scores[i];
      winner = windows_[i].handle;
    }
  }
  return winner;
}
