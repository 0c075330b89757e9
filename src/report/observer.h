// What an operation decides, told as it decides it, to whoever asks: the
// shipped library passes no observer, and each decision then costs one
// pointer test; `murhost explain` passes one that prints each decision.
// Platform-free.
#pragma once

#include <cstdint>
#include <string_view>

namespace mur::report {

enum class Event {
  // Arguments.
  kRefused,  // text: why the arguments were refused
  // Seeding. path: the store file.
  kFileFound,    // text: the state found (absent, empty, whole, cut short, the application's); number: its size
  kFileWritten,  // number: bytes written; second: at which offset
  kFileFailed,   // text: the step that failed; code
  kIndexFrom,    // number: the length of the record found in the data file (an index to be given)
  // Probes.
  kProbeRead,    // path: the file; number: its size (-1: not opened); code: why it could not be read, when it could not
  kKeyFound,     // number: the key's byte offset; second: its line (from 1); text: what follows it
  kNoKey,        // text: why there is no value
  // Quoting. number: the first quote's index; second: the last one's (-1: none).
  kQuotes,
  // Removal. path: the entry.
  kEntryKept,       // text: why; code, where there is one
  kDirectoryKept,   // something inside it stayed
  kRemovalCounts,   // number: files removed; second: directories removed
  // Registry copy and move. path: the key (or value).
  kKeyResolved,  // text: "source" or "destination"; path: the full name the registry gave
  kKeyCreated,
  kItemFailed,   // text: what failed; code
  kKeyUndone,
  kKeyKeptInSource,  // text: why the move left it
  // Every operation, last: code is the last error the export leaves.
  kResult,  // number: the export's result (as a signed value)
};

struct Note {
  Note(Event event, std::wstring_view path = {}, std::int64_t number = 0, std::int64_t second = 0,
       unsigned long code = 0, std::string_view text = {})
      : event(event), path(path), number(number), second(second), code(code), text(text) {}

  Event event;
  std::wstring_view path;
  std::int64_t number;
  std::int64_t second;
  unsigned long code;
  std::string_view text;
};

// The observer: a function and its context. A null Observer* observes nothing.
struct Observer {
  void (*notice)(void* context, const Note& note);
  void* context;
};

inline void Tell(const Observer* observer, const Note& note) {
  if (observer) observer->notice(observer->context, note);
}

}  // namespace mur::report
