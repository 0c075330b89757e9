// The probes' whole-file read.
#pragma once

#include "text/buffer.h"

namespace mur::probes {

enum class ReadOutcome { kRead, kCannotOpen, kEmpty, kReadFailed };

// Opens `path` read-only and exclusively, and reads all of it with one read
// into a zero-filled buffer of its length, which becomes *bytes (every byte
// of the file, zero bytes included) when the outcome is kRead. The one
// buffer is the text: peak memory is the file's size and a constant.
ReadOutcome ReadFileText(const wchar_t* path, text::Bytes* bytes);

}  // namespace mur::probes
