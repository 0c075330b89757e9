#include "exports/operations.h"

#include "exports/frame.h"
#include "maintenance/copy_key_tree.h"
#include "maintenance/quoting.h"
#include "maintenance/remove_tree.h"
#include "platform/codepage.h"
#include "probes/probes.h"
#include "store/record_files.h"
#include "store/text_files.h"

namespace mur::exports {
namespace {

// The result, told last.
int Told(const Observer* observer, int result, DWORD code) {
  report::Tell(observer, {report::Event::kResult, {}, result, 0, code});
  return result;
}

}  // namespace

int SeedStore(Layout layout, store::StoreKind kind, const char* product_dir, const char* name,
              const Observer* observer, DWORD* code) {
  const int result = WithWidePath(product_dir, 0, code, [&](std::wstring_view dir) {
    store::Seeding seeding(observer);
    const text::LeadBytes leads = platform::SystemLeadBytes();
    const int seeded =
        layout == Layout::kRecord
            ? store::SeedRecordStore(kind, dir, NarrowArg(name), leads, &seeding)
            : store::SeedTextStore(kind, dir, NarrowArg(name), leads, &seeding);
    *code = seeded == 1 ? ERROR_SUCCESS : seeding.code;
    return seeded;
  });
  return Told(observer, result, *code);
}

int ReadAccessMode(const char* product_dir, const Observer* observer, DWORD* code) {
  const int result = WithWidePath(product_dir, 0, code, [&](std::wstring_view dir) {
    return probes::GetAccessMode(dir, observer, code);
  });
  return Told(observer, result, *code);
}

int ReadVersion(const char* product_dir, const Observer* observer, DWORD* code) {
  const int result = WithWidePath(product_dir, -1, code, [&](std::wstring_view dir) {
    return probes::GetVersion(dir, observer, code);
  });
  return Told(observer, result, *code);
}

int ClassifyQuoting(const char* command, const Observer* observer, DWORD* code) {
  const std::string_view text = NarrowArg(command);
  const text::LeadBytes leads = platform::SystemLeadBytes();
  const maintenance::QuotePositions quotes = maintenance::FindQuotes(text, leads);
  report::Tell(observer, {report::Event::kQuotes, {}, quotes.first, quotes.last});
  *code = ERROR_SUCCESS;
  return Told(observer, maintenance::QuotingClass(quotes, text.size()), *code);
}

int RemoveTree(const char* directory, const Observer* observer, DWORD* code) {
  const int result = WithWidePath(directory, 0, code, [&](std::wstring_view path) {
    return maintenance::RemoveFiles(path, observer, code);
  });
  return Told(observer, result, *code);
}

int CopyKeyTree(HKEY root, const char* source, const char* destination, int move_flag, const Observer* observer,
                DWORD* code) {
  const int result = WithWidePaths(source, destination, code, [&](const wchar_t* from, const wchar_t* to) {
    *code = maintenance::CopyRegistryTree(root, from, to, move_flag, observer);
    return static_cast<int>(*code);
  });
  return Told(observer, result, *code);
}

}  // namespace mur::exports
