#include "probes/probe_text.h"

namespace mur::probes {
namespace {

using text::kNotFound;

constexpr std::string_view kAccessModeKey = "ACCESS_MODE";
constexpr std::string_view kVersionKey = "Ver";

int DigitOf(const char* bytes, std::size_t size, std::size_t index) {
  if (index >= size) return 0;
  const char c = bytes[index];
  return c >= '0' && c <= '9' ? c - '0' : 0;
}

}  // namespace

bool IsProbeSpace(unsigned char c) { return c == ' ' || (c >= 9 && c <= 13); }

void PlaceKeeper::Found(std::string_view block, std::size_t end, std::size_t key_size) {
  if (!keep_) return;
  // The key holds no line feed: those before it are the blocks' before this
  // one and this block's before the key (none when it began in an earlier one).
  const std::size_t start = end >= key_size ? end - key_size : 0;
  std::uint64_t lines = lines_;
  for (std::size_t i = 0; i < start; ++i) lines += block[i] == '\n';
  place_.offset = base_ + end - key_size;
  place_.line = lines + 1;
}

void PlaceKeeper::Passed(std::string_view block, std::size_t text_size) {
  if (!keep_) return;
  for (std::size_t i = 0; i < text_size; ++i) lines_ += block[i] == '\n';
  base_ += block.size();
}

AccessModeScan::AccessModeScan(const text::LeadBytes& leads, bool keep_place)
    : search_(kAccessModeKey, leads), places_(keep_place) {}

bool AccessModeScan::Feed(std::string_view block) {
  if (ended_) return false;
  std::size_t text_size = 0;
  std::size_t from = search_.LastEnd(block, &text_size);
  ended_ = text_size < block.size();
  if (from != kNotFound) {
    matched_ = skipping_ = true;
    places_.Found(block, from, kAccessModeKey.size());
  } else {
    from = 0;
  }
  for (std::size_t i = from; skipping_ && i < text_size; ++i) {
    if (IsProbeSpace(static_cast<unsigned char>(block[i]))) continue;
    mode_byte_ = block[i];
    skipping_ = false;
  }
  places_.Passed(block, text_size);
  return !ended_;
}

int AccessModeScan::Result() const {
  if (!matched_ || skipping_) return 0;
  return mode_byte_ == '1' ? 1 : mode_byte_ == '2' ? 2 : 0;
}

VersionScan::VersionScan(const text::LeadBytes& leads, bool keep_place)
    : search_(kVersionKey, leads), places_(keep_place) {}

bool VersionScan::Feed(std::string_view block) {
  if (done_) return false;
  std::size_t from = 0;
  if (!matched_) {
    std::size_t text_size = 0;
    from = search_.FirstEnd(block, &text_size);
    if (from == kNotFound) {
      done_ = text_size < block.size();
      places_.Passed(block, text_size);
      return !done_;
    }
    matched_ = true;
    places_.Found(block, from, kVersionKey.size());
  }
  // What follows the key, up to the text's end: its white space skipped,
  // three bytes settle the version.
  for (std::size_t i = from; i < block.size() && !done_; ++i) {
    const char c = block[i];
    if (c == 0) {
      done_ = true;
    } else if (rest_size_ != 0 || !IsProbeSpace(static_cast<unsigned char>(c))) {
      rest_[rest_size_++] = c;
      done_ = rest_size_ == sizeof rest_;
    }
  }
  return !done_;
}

int VersionScan::Result() const {
  if (!matched_) return -1;
  return DigitOf(rest_, rest_size_, 0) * 10 + DigitOf(rest_, rest_size_, 2);
}

int AccessModeFromText(std::string_view bytes, const text::LeadBytes& leads) {
  AccessModeScan scan(leads);
  scan.Feed(bytes);
  return scan.Result();
}

int VersionFromText(std::string_view bytes, const text::LeadBytes& leads) {
  VersionScan scan(leads);
  scan.Feed(bytes);
  return scan.Result();
}

}  // namespace mur::probes
