// The package inspector: prints everything a package file holds (trailer,
// space table, header blocks, records) and verifies it the way the stub
// reads it: the checksum, every record inflating through pkg::ReadRecord,
// safe record names, the launch record first, every length inside the file.
// Any input is safe to inspect: nothing is allocated or read on the word
// of a length field that the file cannot back.
#pragma once

#include <string>
#include <vector>

#include "package/layout.h"

namespace stubpack {

struct InspectOptions {
  // Follow a spanned package into its further part files (and a relaunching
  // setup file into its ".001" part).
  bool followParts = true;
};

struct InspectResult {
  std::vector<std::string> problems;  // damage: "where: what"
  std::vector<std::string> warnings;  // legal but probably not meant
  int filesInspected = 0;
  bool Sound() const { return problems.empty(); }
};

// Inspects the file at path (and, as asked, its further parts), appending a
// readable report to *report.
InspectResult InspectPackage(const std::string& path, const InspectOptions& options, std::string* report);

// Inspects one package file given as bytes; label names it in the report.
// The launch-record rule applies when expectLaunch is set (the file is the
// first part of its package).
InspectResult InspectSource(pkg::ByteSource& file, const std::string& label, bool expectLaunch, std::string* report);

}  // namespace stubpack
