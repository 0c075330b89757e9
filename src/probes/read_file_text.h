// The probes' whole-file read.
#pragma once

#include <string>

namespace mur::probes {

enum class ReadOutcome { kRead, kCannotOpen, kEmpty, kReadFailed };

struct FileText {
  ReadOutcome outcome = ReadOutcome::kCannotOpen;
  // Every byte of the file, zero bytes included, when kRead.
  std::string bytes;
};

// Opens `path` read-only and exclusively, and reads all of it with one read
// into a zero-filled buffer of its length. The one buffer is the text: peak
// memory is the file's size and a constant.
FileText ReadFileText(const std::string& path);

}  // namespace mur::probes
