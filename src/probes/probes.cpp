#include "probes/probes.h"

#include "platform/codepage.h"
#include "probes/probe_text.h"
#include "probes/read_file_text.h"

namespace mur::probes {
namespace {

// Scans product_dir + tail; false when it cannot be read or is empty.
template <class Scan>
bool ScanProductFile(std::wstring_view product_dir, std::wstring_view tail, Scan* scan) {
  text::Wide path;
  platform::OpenerPatience patience;
  return path.Append(product_dir) && path.Append(tail) &&
         ScanFileText(path.c_str(), &patience, scan) == ERROR_SUCCESS;
}

}  // namespace

int GetAccessMode(std::wstring_view product_dir) {
  const text::LeadBytes leads = platform::SystemLeadBytes();
  AccessModeScan scan(leads);
  return ScanProductFile(product_dir, L"\\TALVINORE.INI", &scan) ? scan.Result() : 0;
}

int GetVersion(std::wstring_view product_dir) {
  const text::LeadBytes leads = platform::SystemLeadBytes();
  VersionScan scan(leads);
  return ScanProductFile(product_dir, L"\\version.txt", &scan) ? scan.Result() : -1;
}

}  // namespace mur::probes
