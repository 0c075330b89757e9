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
// otherwise the error of the open, the read or the close. With `size`, the
// opened file's size goes there (it stays as it was when unknown).
template <class Scan>
DWORD ReadFileText(const wchar_t* path, platform::OpenerPatience* patience, Scan* scan, std::int64_t* size) {
  platform::UniqueHandle file;
  const DWORD opened = platform::OpenFileHandle(path, platform::FileMode::kReadShared, patience, &file);
  if (opened != ERROR_SUCCESS) return opened;
  std::uint64_t bytes = 0;
  if (size && platform::FileSize(file.get(), &bytes) == ERROR_SUCCESS) *size = static_cast<std::int64_t>(bytes);
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

using report::Event;

// Reads product_dir + tail into `scan`: ERROR_SUCCESS, or why it could not be
// read. An observer is told the file and its size.
template <class Scan>
DWORD ScanProductFile(std::wstring_view product_dir, std::wstring_view tail, const report::Observer* observer,
                      Scan* scan) {
  text::Wide path;
  if (!path.Append(product_dir) || !path.Append(tail)) return ERROR_NOT_ENOUGH_MEMORY;
  platform::OpenerPatience patience;
  std::int64_t size = -1;  // unknown: the file could not be opened
  const DWORD read = ReadFileText(path.c_str(), &patience, scan, observer ? &size : nullptr);
  report::Tell(observer, {Event::kProbeRead, path.view(), size, 0, read});
  return read;
}

// The code of an access mode whose file was read: what the scan found.
DWORD FoundCode(const AccessModeScan& scan) {
  if (!scan.Found()) return ERROR_NOT_FOUND;
  return scan.Readable() ? ERROR_SUCCESS : ERROR_INVALID_DATA;
}

}  // namespace

int GetAccessMode(std::wstring_view product_dir, const report::Observer* observer, DWORD* code) {
  const text::LeadBytes leads = platform::SystemLeadBytes();
  AccessModeScan scan(leads, observer != nullptr);
  *code = ScanProductFile(product_dir, L"\\TALVINORE.INI", observer, &scan);
  if (*code != ERROR_SUCCESS) return 0;
  *code = FoundCode(scan);
  if (observer) {
    const char value = scan.ValueByte();
    if (scan.Found()) {
      report::Tell(observer, {Event::kKeyFound, {}, static_cast<std::int64_t>(scan.place().offset),
                              static_cast<std::int64_t>(scan.place().line), *code,
                              std::string_view(&value, value ? 1 : 0)});
    } else {
      report::Tell(observer, {Event::kNoKey, {}, 0, 0, *code, "no ACCESS_MODE before the text's end"});
    }
  }
  return scan.Result();
}

int GetVersion(std::wstring_view product_dir, const report::Observer* observer, DWORD* code) {
  const text::LeadBytes leads = platform::SystemLeadBytes();
  VersionScan scan(leads, observer != nullptr);
  *code = ScanProductFile(product_dir, L"\\version.txt", observer, &scan);
  if (*code != ERROR_SUCCESS) return -1;
  // Any key gives a version (a byte that is no digit counts 0).
  *code = scan.Found() ? ERROR_SUCCESS : ERROR_NOT_FOUND;
  if (observer) {
    if (scan.Found()) {
      report::Tell(observer, {Event::kKeyFound, {}, static_cast<std::int64_t>(scan.place().offset),
                              static_cast<std::int64_t>(scan.place().line), *code, scan.Value()});
    } else {
      report::Tell(observer, {Event::kNoKey, {}, 0, 0, *code, "no Ver before the text's end"});
    }
  }
  return scan.Result();
}

}  // namespace mur::probes
