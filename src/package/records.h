// Reading the length-prefixed blocks and file records of one package file.
// Records are streamed: a record is inflated piece by piece into a sink, so
// memory stays bounded whatever a length field claims.
#pragma once

#include <cstdint>
#include <string>

#include "package/layout.h"

namespace pkg {

// One length-prefixed block: where its bytes start and how many there are.
struct BlockRef {
  uint64_t offset = 0;   // first byte after the i32 length
  uint32_t length = 0;   // |n|
  bool compressed = false;  // n > 0 (only meaningful for file records)
};

enum class WalkStatus { Ok, End, Damaged };

// Walks the blocks from `start` up to `end` (the trailer's first byte). A
// block that would run past `end`, or whose length is the most negative i32,
// is damage; so are trailing bytes too few to hold a length.
class BlockWalker {
 public:
  BlockWalker(ByteSource& f, uint64_t start, uint64_t end) : f_(f), pos_(start), end_(end) {}
  WalkStatus Next(BlockRef* out, std::string* why);
  uint64_t Position() const { return pos_; }

 private:
  ByteSource& f_;
  uint64_t pos_;
  uint64_t end_;
};

// Where a record's contents go. Begin receives the split header; Write the
// file bytes in pieces; Pump is called between reads and inflate calls so a
// user interface can serve its messages. Returning false from Begin or Write
// stops the record with RecordResult::SinkFailed.
class RecordSink {
 public:
  virtual ~RecordSink() = default;
  virtual bool Begin(const RecordHeader& header) = 0;
  virtual bool Write(const uint8_t* data, size_t n) = 0;
  virtual void Pump() {}
};

enum class RecordResult {
  Ok,          // header given to Begin, every byte to Write
  Skipped,     // empty header, or no NUL at all: nothing given to the sink
  Damaged,     // does not inflate, truncated, header too long: `why` says
  SinkFailed,  // the sink refused
};

// Reads one file record (its block as given by BlockWalker), inflating it
// when compressed, and streams it into the sink. On Damaged, `why` holds the
// reason (zlib's own text for an inflate failure, e.g. "incorrect data check").
RecordResult ReadRecord(ByteSource& f, const BlockRef& block, RecordSink& sink, std::string* why);

// Reads a header block whole (at most `limit` bytes; longer is damage).
bool ReadHeaderBlock(ByteSource& f, const BlockRef& block, std::string* out, uint32_t limit);

}  // namespace pkg
