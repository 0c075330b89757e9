// The probes' and the quoting check's text rules, platform-free, in a
// single-byte code page and in code page 932.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "maintenance/quoting.h"
#include "probes/probe_text.h"
#include "text/search.h"
#include "support/reference_text.h"

namespace {

using mur::text::LeadBytes;
const LeadBytes kSingle;
const LeadBytes k932 = LeadBytes::CodePage932();

std::string S(const char* s, std::size_t n) { return std::string(s, n); }

// A scan's result for `bytes` fed whole, and checked to be the same fed in
// blocks of every size and split in two at every place: where the blocks
// fall never changes it.
template <class Scan>
int Scanned(const std::string& bytes, const LeadBytes& leads) {
  auto feed = [&](std::size_t block, std::size_t first) {
    Scan scan(leads);
    std::size_t at = 0;
    bool more = true;
    for (std::size_t n = first; more && at < bytes.size(); n = block) {
      const std::size_t take = std::min(n, bytes.size() - at);
      more = scan.Feed(std::string_view(bytes).substr(at, take));
      at += take;
    }
    return scan.Result();
  };
  const int whole = feed(bytes.size() + 1, bytes.size() + 1);
  for (std::size_t block = 1; block <= bytes.size(); ++block) EXPECT_EQ(whole, feed(block, block)) << block;
  for (std::size_t split = 1; split < bytes.size(); ++split)
    EXPECT_EQ(whole, feed(bytes.size(), split)) << "split at " << split;
  return whole;
}

struct ProbeCase {
  const char* why;
  std::string bytes;
  int single;  // expected in a single-byte code page
  int cp932;   // expected in code page 932
};

TEST(TextRules, AccessMode) {
  const ProbeCase cases[] = {
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
  };
  for (const ProbeCase& c : cases) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(c.single, mur::probes::AccessModeFromText(c.bytes, kSingle));
    EXPECT_EQ(c.cp932, mur::probes::AccessModeFromText(c.bytes, k932));
    EXPECT_EQ(c.single, Scanned<mur::probes::AccessModeScan>(c.bytes, kSingle));
    EXPECT_EQ(c.cp932, Scanned<mur::probes::AccessModeScan>(c.bytes, k932));
    EXPECT_EQ(c.single, murtest::reference::AccessMode(c.bytes, murtest::reference::NoLeads));
    EXPECT_EQ(c.cp932, murtest::reference::AccessMode(c.bytes, murtest::reference::Cp932Lead));
  }
}

TEST(TextRules, Version) {
  const ProbeCase cases[] = {
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
  for (const ProbeCase& c : cases) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(c.single, mur::probes::VersionFromText(c.bytes, kSingle));
    EXPECT_EQ(c.cp932, mur::probes::VersionFromText(c.bytes, k932));
    EXPECT_EQ(c.single, Scanned<mur::probes::VersionScan>(c.bytes, kSingle));
    EXPECT_EQ(c.cp932, Scanned<mur::probes::VersionScan>(c.bytes, k932));
    EXPECT_EQ(c.single, murtest::reference::Version(c.bytes, murtest::reference::NoLeads));
    EXPECT_EQ(c.cp932, murtest::reference::Version(c.bytes, murtest::reference::Cp932Lead));
  }
}

TEST(TextRules, Quoting) {
  const std::string prefix = "C:\\WINDOWS\\IsUn0411.exe -f";
  ASSERT_EQ(26u, prefix.size());
  const ProbeCase cases[] = {
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
  };
  for (const ProbeCase& c : cases) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(c.single, mur::maintenance::QuotingClass(c.bytes, kSingle));
    EXPECT_EQ(c.cp932, mur::maintenance::QuotingClass(c.bytes, k932));
    EXPECT_EQ(c.single, murtest::reference::Quoting(c.bytes, murtest::reference::NoLeads));
    EXPECT_EQ(c.cp932, murtest::reference::Quoting(c.bytes, murtest::reference::Cp932Lead));
  }
}

TEST(TextRules, SearchFindsOnlyCharacterStarts) {
  // "A" as the trail byte of 0x83 0x41, then a real "A".
  const std::string text = "\x83" "AA";
  EXPECT_EQ(1u, mur::text::FindFirst(text, "A", kSingle));
  EXPECT_EQ(2u, mur::text::FindFirst(text, "A", k932));
  EXPECT_EQ(2u, mur::text::FindLast(text, "A", kSingle));
  // Long runs of lead-byte values, odd and even, before each candidate.
  for (std::size_t run = 0; run < 40; ++run) {
    const std::string t = std::string(run, '\x81') + "key" + std::string(run, '\xE0') + "key";
    SCOPED_TRACE(run);
    const long expect = murtest::reference::FindFirst(t, "key", murtest::reference::Cp932Lead);
    const std::size_t got = mur::text::FindFirst(t, "key", k932);
    EXPECT_EQ(expect, got == mur::text::kNotFound ? -1 : static_cast<long>(got));
  }
  // Keys that straddle the sixteen-byte blocks of the fast path.
  for (std::size_t pad = 0; pad < 40; ++pad) {
    const std::string t = std::string(pad, '.') + "ACCESS_MODE" + std::string(pad % 7, '.');
    EXPECT_EQ(pad, mur::text::FindBytes(t, "ACCESS_MODE"));
    EXPECT_EQ(mur::text::kNotFound, mur::text::FindBytes(t, "ACCESS_MODEX"));
  }
}

TEST(TextRules, ZeroOrByteAtEveryPlaceOfLongTexts) {
  // The first zero byte or byte c, wherever the vector paths' strides put it,
  // against a byte-by-byte look, by every path this processor allows.
  using mur::text::SearchPath;
  for (const SearchPath path : {SearchPath::kScalar, SearchPath::kSse2, SearchPath::kAvx2}) {
    if (!mur::text::PathAvailable(path)) {
      std::printf("search path %d: not on this processor\n", static_cast<int>(path));
      continue;
    }
    SCOPED_TRACE(static_cast<int>(path));
    for (const std::size_t size : {1u, 15u, 16u, 31u, 33u, 64u, 127u, 128u, 129u, 300u}) {
      for (std::size_t at = 0; at <= size; ++at) {
        for (const char planted : {'\0', 'A'}) {
          std::string text(size, '.');
          if (at < size) text[at] = planted;
          for (std::size_t from : {std::size_t{0}, at / 2, at}) {
            std::size_t want = mur::text::kNotFound;
            for (std::size_t i = from; i < size && want == mur::text::kNotFound; ++i)
              if (text[i] == '\0' || text[i] == 'A') want = i;
            EXPECT_EQ(want, mur::text::FindZeroOrBy(path, text, 'A', from)) << size << " " << at << " " << from;
          }
        }
      }
    }
    // A byte above 0x7F is neither, whatever its value after the XOR.
    EXPECT_EQ(mur::text::kNotFound, mur::text::FindZeroOrBy(path, std::string(200, '\xC1'), 'A'));
    EXPECT_EQ(mur::text::kNotFound, mur::text::FindZeroOrBy(path, std::string(200, '\x81'), '\x01'));
  }
}

}  // namespace
