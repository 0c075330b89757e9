// The library's exported functions. Each one is a thin frame around the
// operation that its folder implements.
// The export table (MUR.def) exports these under their plain names.
#define MUR_API
#include "mur.h"

#include "exports/frame.h"
#include "maintenance/copy_key_tree.h"
#include "maintenance/quoting.h"
#include "maintenance/remove_tree.h"
#include "probes/probes.h"
#include "store/record_files.h"
#include "store/text_files.h"

using mur::exports::NarrowArg;
using mur::exports::WithWidePath;
using mur::exports::WithWidePaths;
using mur::platform::SystemLeadBytes;
using mur::store::StoreKind;
using mur::store::TextStore;

// Defined with C linkage, as mur.h declares them: a definition whose
// signature differs from its declaration does not compile.
extern "C" {

int WINAPI MUR_CsMakeUserinfoFile(const char* product_dir, const char* user_name) {
  return WithWidePath(product_dir, 0, [&](std::wstring_view dir) {
    return mur::store::SeedRecordStore(StoreKind::kUser, dir, NarrowArg(user_name), SystemLeadBytes());
  });
}

int WINAPI MUR_CsMakeSectionFile(const char* product_dir, const char* section_name) {
  return WithWidePath(product_dir, 0, [&](std::wstring_view dir) {
    return mur::store::SeedRecordStore(StoreKind::kSection, dir, NarrowArg(section_name), SystemLeadBytes());
  });
}

int WINAPI MUR_ShMakeUserinfoFile(const char* product_dir, const char* user_name) {
  return WithWidePath(product_dir, 0, [&](std::wstring_view dir) {
    return mur::store::SeedTextStore(TextStore::kUser, dir, NarrowArg(user_name), SystemLeadBytes());
  });
}

int WINAPI MUR_ShMakeSectionFile(const char* product_dir, const char* section_name) {
  return WithWidePath(product_dir, 0, [&](std::wstring_view dir) {
    return mur::store::SeedTextStore(TextStore::kSection, dir, NarrowArg(section_name), SystemLeadBytes());
  });
}

int WINAPI MUR_GetAccessMode(const char* product_dir) {
  return WithWidePath(product_dir, 0, [](std::wstring_view dir) { return mur::probes::GetAccessMode(dir); });
}

int WINAPI MUR_GetVersion(const char* product_dir) {
  return WithWidePath(product_dir, -1, [](std::wstring_view dir) { return mur::probes::GetVersion(dir); });
}

// Allocates nothing: the command is only read, during the call.
int WINAPI MUR_CheckDoubleQuotation(const char* command) {
  return mur::maintenance::QuotingClass(NarrowArg(command), mur::platform::SystemLeadBytes());
}

int WINAPI MUR_RemoveFiles(const char* directory) {
  return WithWidePath(directory, 0, [](std::wstring_view path) { return mur::maintenance::RemoveFiles(path); });
}

// Both paths are converted once to UTF-16; a null path, like an empty one,
// names the root. A failed conversion returns its error code.
int WINAPI MUR_CopyRegistarInfo(HKEY root, const char* source, const char* destination, int move_flag) {
  return WithWidePaths(source, destination, [&](const wchar_t* from, const wchar_t* to) {
    return static_cast<int>(mur::maintenance::CopyRegistryTree(root, from, to, move_flag));
  });
}

}  // extern "C"
