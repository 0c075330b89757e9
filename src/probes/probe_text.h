// Reading the access mode and the version out of a file's bytes, which
// arrive block by block, so that a file of any size is read in constant
// memory. Platform-free.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "text/lead_bytes.h"
#include "text/search.h"

namespace mur::probes {

// The six bytes that count as white space, whatever the code page.
bool IsProbeSpace(unsigned char c);

// Where a key was found, for a reader: its byte offset in the file and its
// line (counted from 1). Kept only by a scan asked to keep it, which then
// counts the line feeds of every block it is fed.
struct KeyPlace {
  std::uint64_t offset = 0;
  std::uint64_t line = 0;
};

// Keeps the place of the key last (or first) found, block by block.
class PlaceKeeper {
 public:
  explicit PlaceKeeper(bool keep) : keep_(keep) {}
  // A key of `key_size` bytes ends at `end` of `block`, the block being fed.
  void Found(std::string_view block, std::size_t end, std::size_t key_size);
  // The block has been fed: `text_size` of its bytes were text.
  void Passed(std::string_view block, std::size_t text_size);
  const KeyPlace& place() const { return place_; }

 private:
  bool keep_;
  std::uint64_t base_ = 0;   // bytes fed before the block
  std::uint64_t lines_ = 0;  // line feeds before the block
  KeyPlace place_;
};

// The access mode in a settings file: the digit 0, 1 or 2 that follows, after
// white space only, the last "ACCESS_MODE" before the first zero byte; 0 for
// anything else.
class AccessModeScan {
 public:
  // With `keep_place`, the key's place is kept for place().
  explicit AccessModeScan(const text::LeadBytes& leads, bool keep_place = false);
  // Takes the file's next block; false once the text has ended (a zero byte),
  // when no later block can change the result.
  bool Feed(std::string_view block);
  // The access mode of the text fed so far, taken as the whole text.
  int Result() const;
  // Whether the key was found, and whether a digit 0, 1 or 2 followed it.
  bool Found() const { return matched_; }
  bool Readable() const { return matched_ && !skipping_ && mode_byte_ >= '0' && mode_byte_ <= '2'; }
  // The first byte after the key and its white space (0 when none came).
  char ValueByte() const { return skipping_ ? 0 : mode_byte_; }
  const KeyPlace& place() const { return places_.place(); }

 private:
  text::BlockSearch search_;
  PlaceKeeper places_;
  bool matched_ = false;
  bool skipping_ = false;  // only white space since the last occurrence
  char mode_byte_ = 0;     // the first byte after it that is not
  bool ended_ = false;
};

// The version in a version file: after the first "Ver" and white space, the
// digits at index 0 and 2 (any other byte counts 0, as does an index past the
// end), as major * 10 + minor; -1 when there is no "Ver" before the first
// zero byte.
class VersionScan {
 public:
  explicit VersionScan(const text::LeadBytes& leads, bool keep_place = false);
  // Takes the file's next block; false once the result is settled.
  bool Feed(std::string_view block);
  int Result() const;
  bool Found() const { return matched_; }
  // What follows the key and its white space: up to three bytes.
  std::string_view Value() const { return {rest_, rest_size_}; }
  const KeyPlace& place() const { return places_.place(); }

 private:
  text::BlockSearch search_;
  PlaceKeeper places_;
  bool matched_ = false;
  bool done_ = false;
  char rest_[3] = {};  // what follows the key and its white space
  std::size_t rest_size_ = 0;
};

// The same rules on a whole text at once.
int AccessModeFromText(std::string_view bytes, const text::LeadBytes& leads);
int VersionFromText(std::string_view bytes, const text::LeadBytes& leads);

}  // namespace mur::probes
