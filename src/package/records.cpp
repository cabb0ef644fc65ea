#include "package/records.h"

#include <zlib.h>

#include <vector>

namespace pkg {

WalkStatus BlockWalker::Next(BlockRef* out, std::string* why) {
  if (pos_ >= end_) return WalkStatus::End;
  uint8_t lb[4];
  if (end_ - pos_ < 4 || !f_.ReadExact(pos_, lb, 4)) {
    if (why) *why = "truncated block length at offset " + std::to_string(pos_);
    return WalkStatus::Damaged;
  }
  int32_t n = int32_t(GetU32(lb));
  if (n == INT32_MIN) {
    if (why) *why = "impossible block length at offset " + std::to_string(pos_);
    return WalkStatus::Damaged;
  }
  uint32_t len = uint32_t(n < 0 ? -n : n);
  if (len > end_ - pos_ - 4) {
    if (why)
      *why = "block at offset " + std::to_string(pos_) + " claims " + std::to_string(len) + " bytes, only " +
             std::to_string(end_ - pos_ - 4) + " remain before the trailer";
    return WalkStatus::Damaged;
  }
  out->offset = pos_ + 4;
  out->length = len;
  out->compressed = n > 0;
  pos_ += 4 + uint64_t(len);
  return WalkStatus::Ok;
}

bool ReadHeaderBlock(ByteSource& f, const BlockRef& block, std::string* out, uint32_t limit) {
  out->clear();
  if (block.length > limit) return false;
  out->resize(block.length);
  return block.length == 0 || f.ReadExact(block.offset, &(*out)[0], block.length);
}

namespace {

constexpr size_t kReadPiece = 65536;

// Collects the record header (up to the first NUL), then passes every
// further byte straight to the sink.
class HeaderSplitter {
 public:
  explicit HeaderSplitter(RecordSink& sink) : sink_(sink) {}

  // Returns false when the sink refused or the header is too long.
  bool Feed(const uint8_t* p, size_t n) {
    if (skipped_) return true;  // a skipped record's bytes go nowhere
    if (started_) return n == 0 || (sinkOk_ = sink_.Write(p, n));
    for (size_t i = 0; i < n; ++i) {
      if (p[i] != 0) {
        if (header_.size() >= kMaxRecordHeader) {
          tooLong_ = true;
          return false;
        }
        header_.push_back(char(p[i]));
        continue;
      }
      started_ = true;
      if (header_.empty()) {
        skipped_ = true;  // an empty header: the record is not written
        return true;
      }
      if (!(sinkOk_ = sink_.Begin(SplitRecordHeader(header_)))) return false;
      return Feed(p + i + 1, n - i - 1);
    }
    return true;
  }

  bool started() const { return started_; }
  bool skipped() const { return skipped_ || !started_; }
  bool tooLong() const { return tooLong_; }
  bool sinkOk() const { return sinkOk_; }

 private:
  RecordSink& sink_;
  std::string header_;
  bool started_ = false;
  bool skipped_ = false;
  bool tooLong_ = false;
  bool sinkOk_ = true;
};

}  // namespace

RecordResult ReadRecord(ByteSource& f, const BlockRef& block, RecordSink& sink, std::string* why) {
  HeaderSplitter split(sink);
  std::vector<uint8_t> in(kReadPiece);
  uint64_t pos = block.offset;
  uint64_t left = block.length;
  auto fail = [&](const std::string& reason) {
    if (why) *why = reason;
    return RecordResult::Damaged;
  };
  auto headerFailure = [&]() {
    if (split.tooLong()) return fail("record header longer than " + std::to_string(kMaxRecordHeader) + " bytes");
    return RecordResult::SinkFailed;
  };

  if (!block.compressed) {
    while (left > 0) {
      size_t want = left < in.size() ? size_t(left) : in.size();
      if (!f.ReadExact(pos, in.data(), want)) return fail("read error at offset " + std::to_string(pos));
      pos += want;
      left -= want;
      if (!split.Feed(in.data(), want)) return headerFailure();
      sink.Pump();
    }
    return split.skipped() ? RecordResult::Skipped : RecordResult::Ok;
  }

  z_stream zs{};
  if (inflateInit(&zs) != Z_OK) return fail("inflateInit failed");
  std::vector<uint8_t> out(kReadPiece);
  int rc = Z_OK;
  RecordResult result = RecordResult::Ok;
  while (rc != Z_STREAM_END) {
    if (zs.avail_in == 0) {
      if (left == 0) {
        result = fail("unexpected end of compressed data");
        break;
      }
      size_t want = left < in.size() ? size_t(left) : in.size();
      if (!f.ReadExact(pos, in.data(), want)) {
        result = fail("read error at offset " + std::to_string(pos));
        break;
      }
      pos += want;
      left -= want;
      zs.next_in = in.data();
      zs.avail_in = uInt(want);
    }
    zs.next_out = out.data();
    zs.avail_out = uInt(out.size());
    rc = inflate(&zs, Z_NO_FLUSH);
    if (rc != Z_OK && rc != Z_STREAM_END) {
      // Z_BUF_ERROR here means no progress was possible: truncated input.
      result = fail(zs.msg ? zs.msg : (rc == Z_BUF_ERROR ? "unexpected end of compressed data" : zError(rc)));
      break;
    }
    size_t produced = out.size() - zs.avail_out;
    if (!split.Feed(out.data(), produced)) {
      result = headerFailure();
      break;
    }
    sink.Pump();
  }
  inflateEnd(&zs);
  if (result != RecordResult::Ok) return result;
  return split.skipped() ? RecordResult::Skipped : RecordResult::Ok;
}

}  // namespace pkg
