#include "probes/probes.h"

#include "platform/codepage.h"
#include "platform/file.h"
#include "probes/probe_text.h"
#include "text/buffer.h"

namespace mur::probes {
namespace {

// Bytes read at a time: memory stays this and a constant, whatever the
// file's size.
constexpr std::size_t kReadBlockSize = 256 * 1024;

// The probes' read of a file as text: opens `path` for reading, sharing
// reading, writing and deletion (so only an opener that does not share
// reading keeps it out), and hands its bytes from the start to scan.Feed()
// in blocks of up to kReadBlockSize, until Feed() answers false or the file
// ends. ERROR_SUCCESS when at least one byte was read and every read that
// the scan needed succeeded; ERROR_HANDLE_EOF when the file is empty;
// otherwise the error of the open, the read or the close.
template <class Scan>
DWORD ReadFileText(const wchar_t* path, platform::OpenerPatience* patience, Scan* scan) {
  platform::UniqueHandle file;
  const DWORD opened = platform::OpenFileHandle(path, platform::FileMode::kReadShared, patience, &file);
  if (opened != ERROR_SUCCESS) return opened;
  text::Bytes block;
  if (!block.Resize(kReadBlockSize)) return ERROR_NOT_ENOUGH_MEMORY;
  bool any = false;
  for (;;) {
    std::uint32_t got = 0;
    const DWORD read = platform::ReadBytes(file.get(), block.data(), kReadBlockSize, &got, patience);
    if (read != ERROR_SUCCESS) return read;
    if (got == 0) break;
    any = true;
    if (!scan->Feed(std::string_view(block.data(), got))) break;
  }
  const DWORD closed = file.Close();
  if (closed != ERROR_SUCCESS) return closed;
  return any ? ERROR_SUCCESS : ERROR_HANDLE_EOF;
}

// Scans product_dir + tail; false when it cannot be read or is empty.
template <class Scan>
bool ScanProductFile(std::wstring_view product_dir, std::wstring_view tail, Scan* scan) {
  text::Wide path;
  platform::OpenerPatience patience;
  return path.Append(product_dir) && path.Append(tail) &&
         ReadFileText(path.c_str(), &patience, scan) == ERROR_SUCCESS;
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
