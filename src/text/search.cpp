#include "text/search.h"

#include <atomic>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#define MUR_HAVE_SSE2_PATH 1
#endif

namespace mur::text {
namespace {

// Portable search: the first byte by plain comparison, then the rest.
std::size_t FindBytesScalar(const char* s, std::size_t n, const char* k, std::size_t m,
                            std::size_t i) {
  for (; i + m <= n; ++i)
    if (s[i] == k[0] && std::memcmp(s + i + 1, k + 1, m - 1) == 0) return i;
  return kNotFound;
}

#ifdef MUR_HAVE_SSE2_PATH
// Sixteen positions at a time: a position is a candidate when both the key's
// first and last bytes are in place; only candidates are compared in full.
__attribute__((target("sse2"))) std::size_t FindBytesSse2(const char* s, std::size_t n,
                                                          const char* k, std::size_t m,
                                                          std::size_t i) {
  const __m128i first = _mm_set1_epi8(k[0]);
  const __m128i last = _mm_set1_epi8(k[m - 1]);
  const std::size_t middle = m >= 2 ? m - 2 : 0;
  for (; n >= m - 1 + 16 && i <= n - (m - 1) - 16; i += 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + m - 1));
    unsigned mask = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, last))));
    while (mask != 0) {
      const unsigned bit = static_cast<unsigned>(__builtin_ctz(mask));
      if (std::memcmp(s + i + bit + 1, k + 1, middle) == 0) return i + bit;
      mask &= mask - 1;
    }
  }
  return FindBytesScalar(s, n, k, m, i);
}

#endif

// The first position at or after i that holds a zero byte or `c`, a byte at
// a time.
std::size_t FindZeroOrScalar(const char* s, std::size_t n, char c, std::size_t i) {
  for (; i < n; ++i)
    if (s[i] == 0 || s[i] == c) return i;
  return kNotFound;
}

#ifdef MUR_HAVE_SSE2_PATH
// A byte is zero or `c` exactly when the smaller of it and (it XOR c) is
// zero: one minimum per vector, and one comparison per four vectors.
__attribute__((target("sse2"))) inline __m128i ZeroOrSse2(const char* p, __m128i cs) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  return _mm_min_epu8(v, _mm_xor_si128(v, cs));
}

__attribute__((target("sse2"))) std::size_t FindZeroOrSse2(const char* s, std::size_t n, char c,
                                                           std::size_t i) {
  const __m128i cs = _mm_set1_epi8(c);
  const __m128i zero = _mm_setzero_si128();
  for (; n >= 64 && i <= n - 64; i += 64) {
    const __m128i m = _mm_min_epu8(_mm_min_epu8(ZeroOrSse2(s + i, cs), ZeroOrSse2(s + i + 16, cs)),
                                   _mm_min_epu8(ZeroOrSse2(s + i + 32, cs), ZeroOrSse2(s + i + 48, cs)));
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(m, zero)) != 0) break;
  }
  for (; n >= 16 && i <= n - 16; i += 16) {
    const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(ZeroOrSse2(s + i, cs), zero)));
    if (mask != 0) return i + static_cast<unsigned>(__builtin_ctz(mask));
  }
  return FindZeroOrScalar(s, n, c, i);
}

// The same, thirty-two bytes a vector, where the processor and the system
// have AVX2.
__attribute__((target("avx2"))) inline __m256i ZeroOrAvx2(const char* p, __m256i cs) {
  const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  return _mm256_min_epu8(v, _mm256_xor_si256(v, cs));
}

__attribute__((target("avx2"))) std::size_t FindZeroOrAvx2(const char* s, std::size_t n, char c,
                                                           std::size_t i) {
  const __m256i cs = _mm256_set1_epi8(c);
  const __m256i zero = _mm256_setzero_si256();
  for (; n >= 128 && i <= n - 128; i += 128) {
    const __m256i m = _mm256_min_epu8(_mm256_min_epu8(ZeroOrAvx2(s + i, cs), ZeroOrAvx2(s + i + 32, cs)),
                                      _mm256_min_epu8(ZeroOrAvx2(s + i + 64, cs), ZeroOrAvx2(s + i + 96, cs)));
    if (_mm256_movemask_epi8(_mm256_cmpeq_epi8(m, zero)) != 0) break;
  }
  std::size_t found = kNotFound;
  for (; n >= 32 && i <= n - 32; i += 32) {
    const unsigned mask =
        static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(ZeroOrAvx2(s + i, cs), zero)));
    if (mask != 0) {
      found = i + static_cast<unsigned>(__builtin_ctz(mask));
      break;
    }
  }
  _mm256_zeroupper();
  return found != kNotFound ? found : FindZeroOrSse2(s, n, c, i);
}

// What the processor offers the searches, asked once with CPUID (a second
// thread that asks at the same time stores the same answer): bit 0 SSE2,
// bit 1 AVX2 that the system saves the registers of (CPUID says it may use
// XSAVE, and XCR0 holds the SSE and AVX states).
enum : int { kSse2 = 1, kAvx2 = 2 };

int AskProcessor() {
  int features = 0;
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (!__get_cpuid(1, &a, &b, &c, &d)) return features;
  if (d & bit_SSE2) features |= kSse2;
  const bool os_saves_avx = (c & bit_OSXSAVE) && (c & bit_AVX) && [] {
    unsigned low = 0, high = 0;
    __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    return (low & 6) == 6;
  }();
  if (os_saves_avx && __get_cpuid_max(0, nullptr) >= 7) {
    __cpuid_count(7, 0, a, b, c, d);
    if (b & bit_AVX2) features |= kAvx2;
  }
  return features;
}

int ProcessorFeatures() {
  static std::atomic<int> features{-1};
  int answer = features.load(std::memory_order_relaxed);
  if (answer < 0) {
    answer = AskProcessor();
    features.store(answer, std::memory_order_relaxed);
  }
  return answer;
}

// 32-bit builds also run on processors without SSE2.
bool HaveSse2() {
#if defined(__SSE2__)
  return true;
#else
  return (ProcessorFeatures() & kSse2) != 0;
#endif
}

bool HaveAvx2() { return (ProcessorFeatures() & kAvx2) != 0; }
#endif

// Whether `p` starts a character, given `known`, a boundary at or before p
// (moved forward as a side effect, so a run of candidates costs linear time).
// Every byte that is not a lead-byte value ends a character (as a single-byte
// character or a trail byte), so the bytes between the last such byte and p
// are lead values that pair up: p is a boundary when their count is even.
bool IsBoundary(std::string_view text, std::size_t p, std::size_t* known, const LeadBytes& leads) {
  std::size_t q = p;
  while (q > *known && leads(static_cast<unsigned char>(text[q - 1]))) --q;
  const bool boundary = (p - q) % 2 == 0;
  *known = boundary ? p : p - 1;
  return boundary;
}

// Whether `q` in `s` starts a character, given whether s[0] does.
bool StartsAt(std::string_view s, std::size_t q, bool first_starts, const LeadBytes& leads) {
  std::size_t k = q;
  while (k > 0 && leads(static_cast<unsigned char>(s[k - 1]))) --k;
  const std::size_t run = q - k;
  // A byte that is not a lead value ends a character, so k starts one; and
  // when the run reaches s[0], that byte starts one only if first_starts.
  if (k > 0 || first_starts) return run % 2 == 0;
  return run > 0 && (run - 1) % 2 == 0;
}

std::size_t FindFirstFrom(std::string_view text, std::string_view key, const LeadBytes& leads,
                          std::size_t from) {
  std::size_t known = from;
  for (std::size_t at = from;; ) {
    const std::size_t p = FindBytes(text, key, at);
    if (p == kNotFound || !leads.any() || IsBoundary(text, p, &known, leads)) return p;
    at = p + 1;
  }
}

}  // namespace

BlockSearch::BlockSearch(std::string_view key, const LeadBytes& leads)
    : key_(key.size() <= kMaxKey ? key : std::string_view()), leads_(&leads) {}

// An occurrence that begins in the carried bytes and ends in `block`.
// Only one can: the key does not overlap itself, and any occurrence ends
// past the carry.
std::size_t BlockSearch::EndInCarry(std::string_view block) {
  const std::size_t m = key_.size();
  char joined[2 * kMaxKey];
  const std::size_t from_block = block.size() < m - 1 ? block.size() : m - 1;
  std::memcpy(joined, carry_, carry_size_);
  std::memcpy(joined + carry_size_, block.data(), from_block);
  const std::string_view text(joined, carry_size_ + from_block);
  std::size_t known = carry_starts_ ? 0 : 1;
  for (std::size_t i = carry_starts_ ? 0 : 1; i < carry_size_ && i + m <= text.size(); ++i) {
    if (std::memcmp(text.data() + i, key_.data(), m) == 0 && IsBoundary(text, i, &known, *leads_))
      return i + m - carry_size_;
  }
  return kNotFound;
}

// Keeps the text's last bytes, fewer than the key's, and where characters
// start at them and after them.
void BlockSearch::Carry(std::string_view block, bool block_starts) {
  const std::size_t keep_max = key_.size() - 1;
  if (block.size() >= keep_max) {
    const std::size_t from = block.size() - keep_max;
    carry_starts_ = StartsAt(block, from, block_starts, *leads_);
    std::memcpy(carry_, block.data() + from, keep_max);
    carry_size_ = keep_max;
  } else {
    char joined[2 * kMaxKey];
    std::memcpy(joined, carry_, carry_size_);
    std::memcpy(joined + carry_size_, block.data(), block.size());
    const std::size_t total = carry_size_ + block.size();
    const std::size_t from = total > keep_max ? total - keep_max : 0;
    carry_starts_ = StartsAt(std::string_view(joined, total), from, carry_starts_, *leads_);
    std::memcpy(carry_, joined + from, total - from);
    carry_size_ = total - from;
  }
  next_starts_ = StartsAt(block, block.size(), block_starts, *leads_);
}

std::size_t BlockSearch::Scan(std::string_view block, bool last, std::size_t* text_size) {
  *text_size = block.size();
  if (block.empty() || key_.empty()) return kNotFound;
  const bool block_starts = next_starts_;
  const std::size_t m = key_.size();
  // No occurrence holds a zero byte: one that began in the carry is whole
  // before the text's end, if any.
  std::size_t found = carry_size_ != 0 ? EndInCarry(block) : kNotFound;
  if (found != kNotFound && !last) return found;
  // The zero byte and the occurrences inside the block, in one pass that
  // stops at each zero byte and each byte that may begin the key.
  std::size_t known = block_starts ? 0 : 1;
  for (std::size_t at = found == kNotFound ? 0 : found;;) {
    const std::size_t p = FindZeroOr(block, key_[0], at);
    if (p == kNotFound) break;
    if (block[p] == 0) {
      *text_size = p;
      return found;  // the text has ended: nothing after it matters
    }
    at = p + 1;
    if (p + m > block.size() || std::memcmp(block.data() + p, key_.data(), m) != 0) continue;
    const bool starts = p == 0 ? block_starts : (!leads_->any() || IsBoundary(block, p, &known, *leads_));
    if (!starts) continue;
    found = p + m;
    if (!last) return found;
    at = known = p + m;
  }
  Carry(block, block_starts);
  return found;
}

std::size_t FindBytes(std::string_view text, std::string_view key, std::size_t from) {
  const std::size_t n = text.size(), m = key.size();
  if (m == 0 || from > n || m > n - from) return kNotFound;
#ifdef MUR_HAVE_SSE2_PATH
  if (HaveSse2()) return FindBytesSse2(text.data(), n, key.data(), m, from);
#endif
  return FindBytesScalar(text.data(), n, key.data(), m, from);
}

bool PathAvailable(SearchPath path) {
  switch (path) {
    case SearchPath::kScalar:
      return true;
#ifdef MUR_HAVE_SSE2_PATH
    case SearchPath::kSse2:
      return HaveSse2();
    case SearchPath::kAvx2:
      return HaveAvx2();
#endif
    default:
      return false;
  }
}

std::size_t FindZeroOrBy(SearchPath path, std::string_view text, char c, std::size_t from) {
  if (from >= text.size() || !PathAvailable(path)) return kNotFound;
#ifdef MUR_HAVE_SSE2_PATH
  if (path == SearchPath::kAvx2) return FindZeroOrAvx2(text.data(), text.size(), c, from);
  if (path == SearchPath::kSse2) return FindZeroOrSse2(text.data(), text.size(), c, from);
#endif
  return FindZeroOrScalar(text.data(), text.size(), c, from);
}

std::size_t FindZeroOr(std::string_view text, char c, std::size_t from) {
#ifdef MUR_HAVE_SSE2_PATH
  if (HaveAvx2()) return FindZeroOrBy(SearchPath::kAvx2, text, c, from);
  if (HaveSse2()) return FindZeroOrBy(SearchPath::kSse2, text, c, from);
#endif
  return FindZeroOrBy(SearchPath::kScalar, text, c, from);
}

std::string_view UntilZero(std::string_view bytes) {
  const std::size_t zero = FindBytes(bytes, std::string_view("\0", 1));
  return zero == kNotFound ? bytes : std::string_view(bytes.data(), zero);
}

std::size_t FindFirst(std::string_view text, std::string_view key, const LeadBytes& leads) {
  return FindFirstFrom(text, key, leads, 0);
}

std::size_t FindLast(std::string_view text, std::string_view key, const LeadBytes& leads) {
  std::size_t last = kNotFound;
  for (std::size_t p = FindFirstFrom(text, key, leads, 0); p != kNotFound;
       p = FindFirstFrom(text, key, leads, p + key.size()))
    last = p;
  return last;
}

}  // namespace mur::text
