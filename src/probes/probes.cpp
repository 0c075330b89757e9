#include "probes/probes.h"

#include "platform/codepage.h"
#include "probes/probe_text.h"
#include "probes/read_file_text.h"

namespace mur::probes {
namespace {

// Reads product_dir + tail; false when it cannot be read or is empty.
bool ReadProductFile(std::wstring_view product_dir, std::wstring_view tail, text::Bytes* bytes) {
  text::Wide path;
  return path.Append(product_dir) && path.Append(tail) &&
         ReadFileText(path.c_str(), bytes) == ReadOutcome::kRead;
}

}  // namespace

int GetAccessMode(std::wstring_view product_dir) {
  text::Bytes bytes;
  if (!ReadProductFile(product_dir, L"\\TALVINORE.INI", &bytes)) return 0;
  return AccessModeFromText(bytes.view(), platform::SystemLeadBytes());
}

int GetVersion(std::wstring_view product_dir) {
  text::Bytes bytes;
  if (!ReadProductFile(product_dir, L"\\version.txt", &bytes)) return -1;
  return VersionFromText(bytes.view(), platform::SystemLeadBytes());
}

}  // namespace mur::probes
