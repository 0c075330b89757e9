// Fuzz targets: the library's text rules against the slow references of
// support/reference_text.h. The first input byte picks the code page (even:
// single-byte, odd: 932) and, for the probes, the size of the blocks the file
// arrives in (its other bits, plus one); the rest is the file or command
// text. Built three times, once per rule, with MUR_FUZZ_RULE set to 1, 2 or 3.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "maintenance/quoting.h"
#include "probes/probe_text.h"
#include "support/reference_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const bool cp932 = data[0] & 1;
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  const mur::text::LeadBytes leads =
      cp932 ? mur::text::LeadBytes::CodePage932() : mur::text::LeadBytes();
  const murtest::reference::IsLead lead =
      cp932 ? murtest::reference::Cp932Lead : murtest::reference::NoLeads;
    int got = 0, want = 0;
  // The probe reads the file in blocks: feed it so, and check the result
  // against the reference on the whole text.
  [[maybe_unused]] auto scanned = [&](auto scan) {
    const std::size_t block = (data[0] >> 1) + 1u;
    for (std::size_t at = 0; at < text.size() && scan.Feed(std::string_view(text).substr(at, block)); at += block) {
    }
    return scan.Result();
  };
#if MUR_FUZZ_RULE == 1
  got = scanned(mur::probes::AccessModeScan(leads));
  want = murtest::reference::AccessMode(text, lead);
#elif MUR_FUZZ_RULE == 2
  got = scanned(mur::probes::VersionScan(leads));
  want = murtest::reference::Version(text, lead);
#elif MUR_FUZZ_RULE == 3
  // A command is a zero-terminated string: it ends at its first zero byte.
  const std::string command = murtest::reference::Cut(text);
  got = mur::maintenance::QuotingClass(command, leads);
  want = murtest::reference::Quoting(command, lead);
#else
#error MUR_FUZZ_RULE must be 1, 2 or 3
#endif
  if (got != want) {
    std::fprintf(stderr, "mismatch (code page %s): library %d, reference %d\n", cp932 ? "932" : "single-byte",
                 got, want);
    std::abort();
  }
  return 0;
}
