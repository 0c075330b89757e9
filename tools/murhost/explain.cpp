#include "murhost/explain.h"

#include <windows.h>

#include <cstdio>
#include <string>

#include "exports/operations.h"
#include "murhost/args.h"

namespace murhost {
namespace {

using mur::report::Event;
using mur::report::Note;

struct EventName {
  Event event;
  const char* name;
};

constexpr EventName kEventNames[] = {
    {Event::kRefused, "refused"},         {Event::kFileFound, "found"},
    {Event::kFileWritten, "wrote"},       {Event::kFileFailed, "failed"},
    {Event::kIndexFrom, "index-from"},    {Event::kProbeRead, "read"},
    {Event::kKeyFound, "key"},            {Event::kNoKey, "no-key"},
    {Event::kQuotes, "quotes"},           {Event::kEntryKept, "kept"},
    {Event::kDirectoryKept, "kept-dir"},  {Event::kRemovalCounts, "removed"},
    {Event::kKeyResolved, "resolved"},    {Event::kKeyCreated, "created"},
    {Event::kItemFailed, "failed"},       {Event::kKeyUndone, "undone"},
    {Event::kKeyKeptInSource, "kept-in-source"}, {Event::kResult, "result"},
};

const char* NameOf(Event event) {
  for (const EventName& e : kEventNames)
    if (e.event == event) return e.name;
  return "event";
}

std::string Utf8(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                      nullptr);
  std::string utf8(n > 0 ? n : 0, '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), n, nullptr, nullptr);
  return utf8;
}

// A byte text of the library's (its own words in ASCII, or a file's bytes) as
// printable UTF-8: bytes outside printable ASCII as \xNN.
std::string Printable(std::string_view text) {
  std::string out;
  char hex[8];
  for (const char c : text) {
    const unsigned char b = static_cast<unsigned char>(c);
    if (b >= 0x20 && b < 0x7F && b != '\\') {
      out += c;
    } else {
      std::snprintf(hex, sizeof hex, "\\x%02X", b);
      out += hex;
    }
  }
  return out;
}

std::string JsonString(const std::string& utf8) {
  std::string out = "\"";
  char hex[8];
  for (const char c : utf8) {
    const unsigned char b = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (b < 0x20) {
      std::snprintf(hex, sizeof hex, "\\u%04X", b);
      out += hex;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

// One line for a note, in words.
std::string Line(const Note& n) {
  const std::string path = Utf8(n.path);
  const std::string text = Printable(n.text);
  const std::string code = " (code " + std::to_string(n.code) + ")";
  switch (n.event) {
    case Event::kRefused:
      return "refused: " + text + code;
    case Event::kFileFound:
      return path + ": " + text + (n.number != 0 ? ", " + std::to_string(n.number) + " bytes" : std::string());
    case Event::kFileWritten:
      return path + ": wrote " + std::to_string(n.number) + " bytes at offset " + std::to_string(n.second);
    case Event::kFileFailed:
      return path + ": could not " + text + code;
    case Event::kIndexFrom:
      return path + ": its first record is " + std::to_string(n.number) + " bytes long, which the index gets";
    case Event::kProbeRead:
      return path + (n.code == 0 ? ": read" : ": not read" + code) +
             (n.number >= 0 ? ", " + std::to_string(n.number) + " bytes" : std::string());
    case Event::kKeyFound:
      return "key at byte " + std::to_string(n.number) + " (line " + std::to_string(n.second) + "), then \"" + text +
             "\"" + code;
    case Event::kNoKey:
      return "no value: " + text + code;
    case Event::kQuotes:
      return "first quote at " + std::to_string(n.number) + ", last at " + std::to_string(n.second) + " (-1: none)";
    case Event::kEntryKept:
      return "kept " + path + ": " + text + code;
    case Event::kDirectoryKept:
      return "kept " + path + ": something inside it stayed";
    case Event::kRemovalCounts:
      return "removed " + std::to_string(n.number) + " files and " + std::to_string(n.second) + " directories";
    case Event::kKeyResolved:
      return text + " is " + path;
    case Event::kKeyCreated:
      return "created " + path;
    case Event::kItemFailed:
      return path + ": " + text + code;
    case Event::kKeyUndone:
      return "undone " + path;
    case Event::kKeyKeptInSource:
      return "kept in the source " + path + ": " + text;
    case Event::kResult:
      return "result " + std::to_string(n.number) + ", last error " + std::to_string(n.code);
  }
  return NameOf(n.event);
}

std::string Json(const Note& n) {
  return "{\"event\":" + JsonString(NameOf(n.event)) + ",\"path\":" + JsonString(Utf8(n.path)) +
         ",\"number\":" + std::to_string(n.number) + ",\"second\":" + std::to_string(n.second) +
         ",\"code\":" + std::to_string(n.code) + ",\"text\":" + JsonString(Printable(n.text)) + "}";
}

void Print(void* context, const Note& note) {
  const bool json = *static_cast<const bool*>(context);
  const std::string line = json ? Json(note) : Line(note);
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
}

}  // namespace

int Explain(const std::string& export_name, const std::vector<std::string>& a, bool json) {
  const mur::report::Observer observer{Print, &json};
  auto count = [&](std::size_t n) {
    return a.size() == n ? 0 : Fail(export_name + " takes " + std::to_string(n) + " arguments, not " +
                                    std::to_string(a.size()));
  };
  using mur::exports::Layout;
  using mur::store::StoreKind;
  struct Seeder {
    const char* name;
    Layout layout;
    StoreKind kind;
  };
  static const Seeder kSeeders[] = {
      {"MUR_CsMakeUserinfoFile", Layout::kRecord, StoreKind::kUser},
      {"MUR_CsMakeSectionFile", Layout::kRecord, StoreKind::kSection},
      {"MUR_ShMakeUserinfoFile", Layout::kText, StoreKind::kUser},
      {"MUR_ShMakeSectionFile", Layout::kText, StoreKind::kSection},
  };
  DWORD code = 0;
  for (const Seeder& s : kSeeders) {
    if (export_name != s.name) continue;
    if (const int bad = count(2)) return bad;
    mur::exports::SeedStore(s.layout, s.kind, Text(a[0]), Text(a[1]), &observer, &code);
    return 0;
  }
  // The exports of one text argument.
  struct OneText {
    const char* name;
    int (*run)(const char* text, const mur::report::Observer* observer, DWORD* code);
  };
  static const OneText kOneText[] = {
      {"MUR_GetAccessMode", mur::exports::ReadAccessMode},
      {"MUR_GetVersion", mur::exports::ReadVersion},
      {"MUR_RemoveFiles", mur::exports::RemoveTree},
      {"MUR_CheckDoubleQuotation", mur::exports::ClassifyQuoting},
  };
  for (const OneText& e : kOneText) {
    if (export_name != e.name) continue;
    if (const int bad = count(1)) return bad;
    e.run(Text(a[0]), &observer, &code);
    return 0;
  }
  if (export_name == "MUR_CopyRegistarInfo") {
    if (const int bad = count(4)) return bad;
    HKEY root;
    int flag = 0;
    if (!ParseRoot(a[0], &root)) return Fail("not a registry root: " + a[0]);
    if (!ParseInt(a[3], &flag)) return Fail("not an integer: " + a[3]);
    mur::exports::CopyKeyTree(root, Text(a[1]), Text(a[2]), flag, &observer, &code);
    return 0;
  }
  return Fail("unknown export " + export_name);
}

}  // namespace murhost
