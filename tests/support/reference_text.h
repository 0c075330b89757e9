// Slow, obviously correct versions of the library's text rules, written
// straight from their description, for the unit tests and fuzzers to compare
// the library against.
#pragma once

#include <string>

namespace murtest::reference {

using IsLead = bool (*)(unsigned char);

inline bool NoLeads(unsigned char) { return false; }
inline bool Cp932Lead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// The text up to its first zero byte.
inline std::string Cut(const std::string& bytes) { return bytes.substr(0, bytes.find('\0')); }

// Walks the text one character at a time (a lead byte and the byte after it
// are one character) and returns the first character start where key matches.
inline long FindFirst(const std::string& text, const std::string& key, IsLead lead) {
  std::size_t i = 0;
  while (i < text.size()) {
    if (text.compare(i, key.size(), key) == 0 && i + key.size() <= text.size()) return static_cast<long>(i);
    i += (lead(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ? 2 : 1;
  }
  return -1;
}

inline std::string SkipSpace(std::string s) {
  while (!s.empty() && (s[0] == ' ' || (s[0] >= 9 && s[0] <= 13))) s.erase(0, 1);
  return s;
}

// The access mode as described: search, replace the text by what follows the
// match, search again, until nothing is found.
inline int AccessMode(const std::string& bytes, IsLead lead) {
  std::string text = Cut(bytes);
  const std::string key = "ACCESS_MODE";
  long at = FindFirst(text, key, lead);
  if (at < 0) return 0;
  while (at >= 0) {
    text = text.substr(at + key.size());
    at = FindFirst(text, key, lead);
  }
  text = SkipSpace(text);
  if (text.empty()) return 0;
  return text[0] == '1' ? 1 : text[0] == '2' ? 2 : 0;
}

inline int Digit(const std::string& s, std::size_t i) {
  return i < s.size() && s[i] >= '0' && s[i] <= '9' ? s[i] - '0' : 0;
}

inline int Version(const std::string& bytes, IsLead lead) {
  const std::string text = Cut(bytes);
  const long at = FindFirst(text, "Ver", lead);
  if (at < 0) return -1;
  const std::string rest = SkipSpace(text.substr(at + 3));
  return Digit(rest, 0) * 10 + Digit(rest, 2);
}

inline int Quoting(const std::string& command, IsLead lead) {
  const long first = FindFirst(command, "\"", lead);
  long last = -1;
  for (std::size_t i = 0; i < command.size();) {
    if (command[i] == '"') last = static_cast<long>(i);
    i += (lead(static_cast<unsigned char>(command[i])) && i + 1 < command.size()) ? 2 : 1;
  }
  const bool opening = first == 26;
  const bool closing = last == static_cast<long>(command.size()) - 1;
  return opening ? (closing ? 1 : 2) : (closing ? 3 : 4);
}

}  // namespace murtest::reference
