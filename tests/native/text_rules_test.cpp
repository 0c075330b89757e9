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
#include "support/text_rule_cases.h"

namespace {

using mur::text::LeadBytes;
using murtest::TextRuleCase;
const LeadBytes kSingle;
const LeadBytes k932 = LeadBytes::CodePage932();

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

TEST(TextRules, AccessMode) {
  for (const TextRuleCase& c : murtest::AccessModeCases()) {

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
  for (const TextRuleCase& c : murtest::VersionCases()) {

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
  for (const TextRuleCase& c : murtest::QuotingCases()) {

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

// Where the key stood, for a reader: its byte offset and line, the same
// whatever the blocks.
template <class Scan>
mur::probes::KeyPlace PlaceOf(const std::string& bytes, std::size_t block) {
  Scan scan(k932, true);
  for (std::size_t at = 0; at < bytes.size() && scan.Feed(std::string_view(bytes).substr(at, block)); at += block) {
  }
  return scan.place();
}

TEST(TextRules, TheKeysPlaceWhateverTheBlocks) {
  struct Case {
    const char* why;
    std::string bytes;
    std::uint64_t offset;
    std::uint64_t line;
  };
  const Case modes[] = {
      {"first line", "ACCESS_MODE 1", 0, 1},
      {"the last of two", "ACCESS_MODE 1\r\n; x\nACCESS_MODE 2", 19, 3},
      {"after a kana line", "\x83\x65\x83\x58\n\nACCESS_MODE 2", 6, 3},
  };
  for (const Case& c : modes) {
    SCOPED_TRACE(c.why);
    for (std::size_t block = 1; block <= c.bytes.size(); ++block) {
      const mur::probes::KeyPlace place = PlaceOf<mur::probes::AccessModeScan>(c.bytes, block);
      EXPECT_EQ(c.offset, place.offset) << block;
      EXPECT_EQ(c.line, place.line) << block;
    }
  }
  const Case versions[] = {
      {"the first of two", "x\n\nVer 1.2\nVer 3.4", 3, 3},
  };
  for (const Case& c : versions) {
    SCOPED_TRACE(c.why);
    for (std::size_t block = 1; block <= c.bytes.size(); ++block) {
      const mur::probes::KeyPlace place = PlaceOf<mur::probes::VersionScan>(c.bytes, block);
      EXPECT_EQ(c.offset, place.offset) << block;
      EXPECT_EQ(c.line, place.line) << block;
    }
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
