// The package manifest: an INI file that describes one package (see
// docs/stubpack.md for the reference). ParseManifest reads it into a
// PackageDef, expanding ${NAME} from the given definitions and then from
// the environment, and resolving relative paths against the manifest's
// folder. The writer (writer.h) turns a PackageDef into files; unit tests
// may also fill a PackageDef by hand.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "package/layout.h"

namespace stubpack {

// Compression of a record: a zlib deflate level (0 to 9), or stored as is
// (the record's length is then written negative).
constexpr int kStored = -1;

struct FileEntry {
  std::string source;        // path of the file to pack
  std::string name;          // record name, e.g. "Engine.exe* /x"
  int level = 9;             // 0..9, or kStored
  bool hasStamp = false;     // false: stamp from the file's modification time
  uint32_t stamp = 0;        // DOS stamp when hasStamp
  std::string origin;        // where it was defined, for messages ("product.ini:40")
};

struct LanguageSection {
  std::string name;  // field 0, e.g. "English"
  std::vector<std::pair<std::string, std::string>> entries;  // key=value, in order
  std::string origin;
};

enum class SpanLayout { StubFirst, Relaunch };

struct PackageDef {
  std::string stubPath;
  std::string output;
  std::string origin;  // the manifest path, for messages

  // Trailer options.
  bool confirmExtraction = false;
  int relaunchFromTemp = -1;  // -1: follows the span layout; 0 or 1: as given
  bool showActivityBar = false;
  bool agentTrace = false;
  bool webStub = false;
  bool confirmDownload = false;
  bool installsAgent = false;
  bool isAgent = false;

  // Configuration block.
  std::string updateUrl;
  std::string infoFile;
  std::string agentName;
  std::string updateToken;         // plain text (encoded by the writer)
  bool updateTokenIsStored = false;  // updateToken is already in stored form
  bool hidden = false;

  // Download block (header block 3) when present.
  bool hasDownload = false;
  std::string webUrl;
  std::string webFileName;
  bool alwaysDownload = false;
  std::string webToken;
  bool webTokenIsStored = false;
  std::string webSizeText;   // as given
  std::string webSizeOf;     // or: the size of this file

  std::vector<LanguageSection> languages;
  std::vector<FileEntry> files;

  // Space table: computed from the files, plus extraSpace in every entry,
  // unless a whole table is given.
  uint64_t extraSpace = 0;
  bool hasSpaceTable = false;
  uint32_t spaceTable[pkg::kSpaceEntries] = {};

  // Spanning: partSize 0 means one file.
  uint64_t partSize = 0;
  SpanLayout layout = SpanLayout::StubFirst;

  uint64_t padding = 0;  // bytes appended after the package end of stub images
  // Convert language texts from UTF-8 to each section's code page.
  bool textIsUtf8 = false;
};

using Definitions = std::map<std::string, std::string>;

// Reads the manifest at path. On failure, error reads "<file>:<line>: what".
bool ParseManifest(const std::string& path, const Definitions& defs, PackageDef* out, std::string* error);
// The same over manifest text already in memory; relative paths are taken
// against baseDir, and `name` labels messages.
bool ParseManifestText(const std::string& text, const std::string& name, const std::string& baseDir,
                       const Definitions& defs, PackageDef* out, std::string* error);

// ${NAME} expansion: from defs, then the environment; "$$" is a literal "$".
// An undefined name, an empty name or an unclosed "${" is an error.
bool ExpandValue(const std::string& value, const Definitions& defs, std::string* out, std::string* error);

// Parsers shared with the command line.
bool ParseBool(const std::string& text, bool* out);
// Decimal bytes with an optional K/KiB, M/MiB, G/GiB suffix (powers of 1024).
bool ParseSize(const std::string& text, uint64_t* out);
// "YYYY-MM-DD HH:MM:SS" (seconds optional) or a decimal DOS stamp.
bool ParseStamp(const std::string& text, uint32_t* out);
// "stored" or a deflate level 0..9.
bool ParseCompression(const std::string& text, int* out);

}  // namespace stubpack
