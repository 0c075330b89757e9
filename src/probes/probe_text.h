// Reading the access mode and the version out of a file's bytes, which
// arrive block by block, so that a file of any size is read in constant
// memory. Platform-free.
#pragma once

#include <cstddef>
#include <string_view>

#include "text/lead_bytes.h"
#include "text/search.h"

namespace mur::probes {

// The six bytes that count as white space, whatever the code page.
bool IsProbeSpace(unsigned char c);

// The access mode in a settings file: the digit 0, 1 or 2 that follows, after
// white space only, the last "ACCESS_MODE" before the first zero byte; 0 for
// anything else.
class AccessModeScan {
 public:
  explicit AccessModeScan(const text::LeadBytes& leads);
  // Takes the file's next block; false once the text has ended (a zero byte),
  // when no later block can change the result.
  bool Feed(std::string_view block);
  // The access mode of the text fed so far, taken as the whole text.
  int Result() const;

 private:
  text::BlockSearch search_;
  bool matched_ = false;
  bool skipping_ = false;  // only white space since the last occurrence
  int mode_ = 0;           // from the first byte after it that is not
  bool ended_ = false;
};

// The version in a version file: after the first "Ver" and white space, the
// digits at index 0 and 2 (any other byte counts 0, as does an index past the
// end), as major * 10 + minor; -1 when there is no "Ver" before the first
// zero byte.
class VersionScan {
 public:
  explicit VersionScan(const text::LeadBytes& leads);
  // Takes the file's next block; false once the result is settled.
  bool Feed(std::string_view block);
  int Result() const;

 private:
  text::BlockSearch search_;
  bool matched_ = false;
  bool done_ = false;
  char rest_[3] = {};  // what follows the key and its white space
  std::size_t rest_size_ = 0;
};

// The same rules on a whole text at once.
int AccessModeFromText(std::string_view bytes, const text::LeadBytes& leads);
int VersionFromText(std::string_view bytes, const text::LeadBytes& leads);

}  // namespace mur::probes
