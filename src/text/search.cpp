#include "text/search.h"

#include <atomic>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <emmintrin.h>
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

bool HaveSse2() {
#if defined(__SSE2__)
  return true;
#else
  // 32-bit builds also run on processors without SSE2. Asked once; a second
  // thread that asks at the same time stores the same answer.
  static std::atomic<int> have{-1};
  int answer = have.load(std::memory_order_relaxed);
  if (answer < 0) {
    __builtin_cpu_init();
    answer = __builtin_cpu_supports("sse2") != 0;
    have.store(answer, std::memory_order_relaxed);
  }
  return answer != 0;
#endif
}
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

std::size_t FindBytes(std::string_view text, std::string_view key, std::size_t from) {
  const std::size_t n = text.size(), m = key.size();
  if (m == 0 || from > n || m > n - from) return kNotFound;
#ifdef MUR_HAVE_SSE2_PATH
  if (HaveSse2()) return FindBytesSse2(text.data(), n, key.data(), m, from);
#endif
  return FindBytesScalar(text.data(), n, key.data(), m, from);
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
