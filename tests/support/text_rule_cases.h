// The probes' and the quoting check's cases, one table each, shared by the
// platform-free tests (the rules against their slow references) and the
// tests of the real DLL under Wine: one row per case, with what a
// single-byte code page (1252) and code page 932 give.
#pragma once

#include <string>
#include <vector>

namespace murtest {

struct TextRuleCase {
  const char* why;
  std::string bytes;
  int single;  // in a single-byte code page
  int cp932;   // in code page 932
};

// The settings file's bytes and the access mode they give.
inline std::vector<TextRuleCase> AccessModeCases() {
  auto S = [](const char* s, std::size_t n) { return std::string(s, n); };
  return {
      {"plain", "[x]\r\nACCESS_MODE 1\r\n", 1, 1},
      {"two", "ACCESS_MODE 2", 2, 2},
      {"zero", "ACCESS_MODE 0", 0, 0},
      {"last one wins", "ACCESS_MODE 1\r\nACCESS_MODE 2\r\n", 2, 2},
      {"last one wins even when worse", "ACCESS_MODE 2\nACCESS_MODE x\n", 0, 0},
      {"every white space", "ACCESS_MODE \t\n\v\f\r1", 1, 1},
      {"equals sign is not space", "ACCESS_MODE=1", 0, 0},
      {"nothing after the key", "ACCESS_MODE", 0, 0},
      {"only space after the key", "ACCESS_MODE   ", 0, 0},
      {"no key", "MODE 1", 0, 0},
      {"inside a longer word", "XACCESS_MODE 2", 2, 2},
      {"digit 3", "ACCESS_MODE 3", 0, 0},
      {"case-sensitive", "access_mode 1", 0, 0},
      {"zero byte hides the key", S("a\0ACCESS_MODE 1", 15), 0, 0},
      {"zero byte ends the text after the key", S("ACCESS_MODE 1\0ACCESS_MODE 2", 27), 1, 1},
      {"lead byte before the key", "\x83" "ACCESS_MODE 2", 2, 0},
      {"lead byte hides only the second key", "ACCESS_MODE 1\n\x83" "ACCESS_MODE 2", 2, 1},
      {"two lead bytes pair up", "\x83\x83" "ACCESS_MODE 2", 2, 2},
      {"double-byte character then key", "\x83\x41\x83" "ACCESS_MODE 2", 2, 0},
      {"kana before the key", "\x83\x65\x83\x58\x83\x67" "ACCESS_MODE 1", 1, 1},
      {"key after a long lead run", std::string(33, '\x81') + "ACCESS_MODE 2", 2, 0},
      {"white space then a later key", "ACCESS_MODE  \r\n ACCESS_MODE\t1", 1, 1},
      {"key right after the key", "ACCESS_MODEACCESS_MODE 2", 2, 2},
      {"lone lead byte at the end", "ACCESS_MODE 1\x83", 1, 1},
      {"section and key", "[Settings]\r\nACCESS_MODE 1\r\n", 1, 1},
      {"inside a comment", "; ACCESS_MODE 2", 2, 2},
      {"kana line before the key", "\x83\x65\x83\x58\x83\x67\r\nACCESS_MODE 2", 2, 2},
  };
}

// The version file's bytes and the version they give.
inline std::vector<TextRuleCase> VersionCases() {
  auto S = [](const char* s, std::size_t n) { return std::string(s, n); };
  return {
      {"plain", "Ver 1.2", 12, 12},
      {"no space", "Ver2.5", 25, 25},
      {"two-digit major", "Ver 10.3", 10, 10},
      {"Version contains Ver", "Version 3.0", 0, 0},
      {"first one wins", "Ver 1.2\nVer 3.4", 12, 12},
      {"point at the end", "Ver 1.", 10, 10},
      {"one digit at the end", "Ver 7", 70, 70},
      {"Ver as the last bytes", "Ver", 0, 0},
      {"letters are zero", "Ver a.b", 0, 0},
      {"any separator", "Ver 9-9", 99, 99},
      {"no key", "version 1.2", -1, -1},
      {"zero byte hides the key", S("\0Ver 1.2", 8), -1, -1},
      {"zero byte cuts the minor", S("Ver 1.\0" "2", 8), 10, 10},
      {"lead byte before Ver", "\x95Ver 1.2", 12, -1},
      {"lead byte hides the first of two", "\x95Ver 1.2 Ver 3.4", 12, 34},
      {"line endings and tabs", "\r\n\tVer\r\n\t4.5", 45, 45},
      {"key after a long lead run", std::string(33, '\x81') + "Ver 1.2 Ver 3.4", 12, 34},
      {"lead byte after the key", "Ver\x83" "1.2", 0, 0},
  };
}

// The uninstall command and its quoting class.
inline std::vector<TextRuleCase> QuotingCases() {
  const std::string prefix = "C:\\WINDOWS\\IsUn0411.exe -f";  // 26 bytes
  return {
      {"both", prefix + "\"C:\\App\\Uninst.isu\"", 1, 1},
      {"opening only", prefix + "\"C:\\App\\Uninst.isu", 2, 2},
      {"closing only", prefix + "C:\\App\\Uninst.isu\"", 3, 3},
      {"neither", prefix + "C:\\App\\Uninst.isu", 4, 4},
      {"27 bytes, one quote last", prefix + "\"", 1, 1},
      {"empty command", "", 3, 3},
      {"earlier quote", "\"C:\\WINDOWS\\IsUn0411.exe\"-f\"C:\\App\\Uninst.isu\"", 3, 3},
      {"prefix not compared", std::string(26, 'x') + "\"path\"", 1, 1},
      {"lead byte hides the closing quote", prefix + "\"C:\\App\\\x83\"", 1, 2},
      {"lead byte hides the opening quote", std::string(25, 'x') + "\x83\"path\"", 1, 3},
      {"a double-byte character whose trail byte is a backslash", prefix + "\"C:\\\x95\x5C\x8E\xA6\\Uninst.isu\"", 1, 1},
  };
}

}  // namespace murtest
