#include "testing/lzw_encoder.h"

#include <algorithm>
#include <unordered_map>

#include "core/lzw.h"

LzwCodeWriter::LzwCodeWriter() : bytes_{'W', 'M', 'C', '1', '5'} {}

LzwCodeWriter &LzwCodeWriter::Put(uint32_t code, int width) {
  for (int bit = width - 1; bit >= 0; --bit) {
    if (bits_ % 8 == 0) bytes_.push_back(0);
    if ((code >> bit) & 1) bytes_.back() |= uint8_t(0x80 >> (bits_ % 8));
    ++bits_;
  }
  return *this;
}

LzwCodeWriter &LzwCodeWriter::Put(std::initializer_list<uint32_t> codes, int width) {
  for (uint32_t code : codes) Put(code, width);
  return *this;
}

std::vector<uint8_t> LzwCodeWriter::Bytes() const { return bytes_; }

namespace {

class Encoder {
 public:
  Encoder(const uint8_t *data, size_t size, const LzwEncodeOptions &options, LzwEncodeStats &stats)
      : data_(data), size_(size), options_(options), stats_(stats) {
    limit_ = std::clamp<uint32_t>(options.codeLimit, LCompressLite::kFirstStringCode, LCompressLite::kDictionarySize);
    minWidth_ = std::clamp(options.minWidth, LCompressLite::kFirstWidth, LCompressLite::kMaxWidth);
    for (size_t at : options.resetAt)
      if (at > 0 && at < size) resets_.push_back(at);
    std::sort(resets_.begin(), resets_.end());
  }

  std::vector<uint8_t> Run() {
    size_t i = 0;
    size_t nextReset = 0;
    while (i < size_) {
      // One run: a fresh dictionary and 9-bit codes.
      std::unordered_map<uint32_t, uint32_t> strings;
      width_ = LCompressLite::kFirstWidth;
      firstOfRun_ = true;
      uint32_t nextCode = LCompressLite::kFirstStringCode;
      uint32_t current = data_[i++];
      while (nextReset < resets_.size() && resets_[nextReset] < i) ++nextReset;
      while (i < size_) {
        if (nextCode >= limit_) break;
        if (nextReset < resets_.size() && resets_[nextReset] == i) break;
        uint32_t key = (current << 8) | data_[i];
        auto found = strings.find(key);
        if (found != strings.end()) {
          current = found->second;
        } else {
          Emit(current);
          strings.emplace(key, nextCode++);
          current = data_[i];
        }
        ++i;
      }
      Emit(current);
      if (i < size_) {
        Put(LCompressLite::kResetCode);
        ++stats_.resets;
      }
    }
    if (options_.endCode) Put(LCompressLite::kEndCode);
    return writer_.Bytes();
  }

 private:
  // Widens first when the code does not fit, or when the run's first
  // literal is out and the codes are narrower than asked.
  void Emit(uint32_t code) {
    const int least = firstOfRun_ ? LCompressLite::kFirstWidth : minWidth_;
    firstOfRun_ = false;
    while (code >= (1u << width_) || width_ < least) {
      Put(LCompressLite::kWidenCode);
      ++width_;
      ++stats_.widenings;
      stats_.maxWidth = std::max(stats_.maxWidth, width_);
    }
    Put(code);
  }

  void Put(uint32_t code) {
    writer_.Put(code, width_);
    ++stats_.codes;
  }

  const uint8_t *data_;
  size_t size_;
  const LzwEncodeOptions &options_;
  LzwEncodeStats &stats_;
  uint32_t limit_;
  int minWidth_;
  bool firstOfRun_ = true;
  std::vector<size_t> resets_;
  LzwCodeWriter writer_;
  int width_ = LCompressLite::kFirstWidth;
};

}  // namespace

std::vector<uint8_t> LzwEncode(const void *data, size_t size, const LzwEncodeOptions &options,
                               LzwEncodeStats *stats) {
  LzwEncodeStats local;
  LzwEncodeStats &s = stats ? *stats : local;
  s = LzwEncodeStats{};
  return Encoder(static_cast<const uint8_t *>(data), size, options, s).Run();
}

std::vector<uint8_t> LzwEncode(std::string_view data, const LzwEncodeOptions &options, LzwEncodeStats *stats) {
  return LzwEncode(data.data(), data.size(), options, stats);
}
