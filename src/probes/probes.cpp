#include "probes/probes.h"

#include "platform/codepage.h"
#include "probes/probe_text.h"
#include "probes/read_file_text.h"

namespace mur::probes {
int GetAccessMode(const std::string& product_dir) {
  const FileText file = ReadFileText(product_dir + "\\TALVINORE.INI");
  if (file.outcome != ReadOutcome::kRead) return 0;
  return AccessModeFromText(file.bytes, platform::SystemLeadBytes());
}

int GetVersion(const std::string& product_dir) {
  const FileText file = ReadFileText(product_dir + "\\version.txt");
  if (file.outcome != ReadOutcome::kRead) return -1;
  return VersionFromText(file.bytes, platform::SystemLeadBytes());
}

}  // namespace mur::probes
