// Key search throughput against glibc memmem over the same buffer, printed
// as ratios (median of several runs). Native build, no sanitizers.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "text/search.h"

namespace {

using mur::text::LeadBytes;
constexpr std::string_view kKey = "ACCESS_MODE";

double MedianSeconds(int runs, const std::function<void()>& work) {
  std::vector<double> t;
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    work();
    t.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(t.begin(), t.end());
  return t[t.size() / 2];
}

// Printable single-byte text with no key; with `dbcs`, half of its bytes are
// double-byte characters of code page 932 (lead 0x81-0x9F/0xE0-0xFC, trail 0x40-0xFC).
std::string MakeText(std::size_t size, bool dbcs, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s;
  s.reserve(size);
  const char alphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789 =;[]\r\n_BCDEFGHIJKLMNOPQRSTUVWXYZ";
  while (s.size() + 2 <= size) {
    if (dbcs && rng() % 2 == 0) {
      const unsigned r = rng();
      const unsigned char lead = (r & 1) ? 0x81 + (r >> 1) % 31 : 0xE0 + (r >> 1) % 29;
      const unsigned char trail = 0x40 + (r >> 8) % 189;
      s.push_back(static_cast<char>(lead));
      s.push_back(static_cast<char>(trail == 0x7F ? 0x80 : trail));
    } else {
      s.push_back(alphabet[rng() % (sizeof alphabet - 1)]);
    }
  }
  while (s.size() < size) s.push_back('x');
  return s;
}

void PlantKeys(std::string* s, std::size_t count) {
  const std::size_t step = s->size() / count;
  for (std::size_t i = 0; i < count; ++i) {
    std::size_t at = i * step;
    // Start after a single-byte character so that every key is a real one.
    while (at > 0 && static_cast<unsigned char>((*s)[at - 1]) >= 0x80) ++at;
    if (at + kKey.size() + 2 > s->size()) break;
    std::memcpy(&(*s)[at], kKey.data(), kKey.size());
    (*s)[at + kKey.size()] = ' ';
  }
}

// glibc's memmem finding every occurrence, as the search for the last one
// must: the reference.
std::size_t MemmemLast(const std::string& s) {
  std::size_t last = std::string::npos;
  const char* p = s.data();
  const char* end = s.data() + s.size();
  while (const void* hit = memmem(p, end - p, kKey.data(), kKey.size())) {
    last = static_cast<const char*>(hit) - s.data();
    p = static_cast<const char*>(hit) + kKey.size();
  }
  return last;
}

// The naive way: copy the remainder after every match.
std::size_t NaiveCopyLast(std::string text) {
  std::size_t total = 0, at;
  bool found = false;
  while ((at = text.find(kKey)) != std::string::npos) {
    found = true;
    total += at + kKey.size();
    text = text.substr(at + kKey.size());
  }
  return found ? total - kKey.size() : std::string::npos;
}

}  // namespace

int main() {
  constexpr std::size_t kSize = 256u << 20;
  constexpr int kRuns = 5;
  volatile std::size_t sink = 0;
  std::printf("Key search, %zu MiB buffer, median of %d runs (ratio = memmem time / our time; "
              "target: at least 0.5 single-byte, 0.25 code page 932)\n",
              kSize >> 20, kRuns);
  double case_a[2] = {0, 0};
  for (const bool dbcs : {false, true}) {
    const LeadBytes leads = dbcs ? LeadBytes::CodePage932() : LeadBytes();
    for (const std::size_t keys : {std::size_t{0}, std::size_t{1000000}}) {
      std::string text = MakeText(kSize, dbcs, 42);
      if (keys) PlantKeys(&text, keys);
      const std::size_t want = MemmemLast(text);
      const std::size_t got = mur::text::FindLast(text, kKey, leads);
      if (got != want) std::printf("  MISMATCH: %zu vs %zu\n", got, want);
      const double ref = MedianSeconds(kRuns, [&] { sink = sink + MemmemLast(text); });
      const double ours = MedianSeconds(kRuns, [&] { sink = sink + mur::text::FindLast(text, kKey, leads); });
      std::printf("  %-22s %-16s memmem %7.1f ms  ours %7.1f ms  %6.0f MB/s  ratio %.2f\n",
                  dbcs ? "code page 932 rule," : "single-byte rule,",
                  dbcs ? (keys ? "half DBCS, 1e6 keys" : "half DBCS, no key")
                       : (keys ? "1e6 keys" : "no key"),
                  ref * 1e3, ours * 1e3, kSize / ours / 1e6, ref / ours);
      if (!keys) {
        case_a[dbcs] = ours;
      } else {
        std::printf("  %-22s (b) / (a) = %.2f (target: at most 2)\n", "", ours / case_a[dbcs]);
      }
    }
  }
  std::string small = MakeText(4u << 20, false, 7);
  PlantKeys(&small, 100000);
  const LeadBytes single;
  const double ours = MedianSeconds(kRuns, [&] { sink = sink + mur::text::FindLast(small, kKey, single); });
  const double naive = MedianSeconds(1, [&] { sink = sink + NaiveCopyLast(small); });
  std::printf("Copying the remainder after every match, 4 MiB with 100,000 keys: %.1f ms, "
              "one pass %.2f ms: %.0f times slower\n",
              naive * 1e3, ours * 1e3, naive / ours);
  return sink == 1 ? 1 : 0;
}
