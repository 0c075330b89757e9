// The library's exported functions. Each one is a thin frame around the
// operation that its folder implements.
#include <windows.h>

#include <cstring>
#include <string_view>

#include "exports/frame.h"
#include "maintenance/copy_key_tree.h"
#include "maintenance/quoting.h"
#include "maintenance/remove_tree.h"
#include "platform/codepage.h"
#include "probes/probes.h"
#include "store/record_files.h"
#include "store/text_files.h"

using mur::exports::RunExport;
using mur::exports::TextArg;

extern "C" {

int WINAPI MUR_CsMakeUserinfoFile(const char* product_dir, const char* user_name) {
  return RunExport(0, [&] {
    return mur::store::SeedRecordStore(mur::store::StoreKind::kUser, TextArg(product_dir),
                                       TextArg(user_name));
  });
}

int WINAPI MUR_CsMakeSectionFile(const char* product_dir, const char* section_name) {
  return RunExport(0, [&] {
    return mur::store::SeedRecordStore(mur::store::StoreKind::kSection, TextArg(product_dir),
                                       TextArg(section_name));
  });
}

int WINAPI MUR_ShMakeUserinfoFile(const char* product_dir, const char* user_name) {
  return RunExport(0, [&] {
    return mur::store::SeedTextStore(mur::store::TextStore::kUser, TextArg(product_dir),
                                     TextArg(user_name));
  });
}

int WINAPI MUR_ShMakeSectionFile(const char* product_dir, const char* section_name) {
  return RunExport(0, [&] {
    return mur::store::SeedTextStore(mur::store::TextStore::kSection, TextArg(product_dir),
                                     TextArg(section_name));
  });
}

int WINAPI MUR_GetAccessMode(const char* product_dir) {
  return RunExport(0, [&] { return mur::probes::GetAccessMode(TextArg(product_dir)); });
}

int WINAPI MUR_GetVersion(const char* product_dir) {
  return RunExport(-1, [&] { return mur::probes::GetVersion(TextArg(product_dir)); });
}

// Allocates nothing: the command is only read, during the call.
int WINAPI MUR_CheckDoubleQuotation(const char* command) {
  const std::string_view text = command ? std::string_view(command, std::strlen(command)) : "";
  return RunExport(4, [&] {
    return mur::maintenance::QuotingClass(text, mur::platform::SystemLeadBytes());
  });
}

int WINAPI MUR_RemoveFiles(const char* directory) {
  return RunExport(0, [&] { return mur::maintenance::RemoveFiles(TextArg(directory)); });
}

// The two paths reach the registry as they are (a null path names the root).
int WINAPI MUR_CopyRegistarInfo(HKEY root, const char* source, const char* destination, int move_flag) {
  return RunExport(ERROR_NOT_ENOUGH_MEMORY, [&] {
    return static_cast<int>(mur::maintenance::CopyRegistryTree(root, source, destination, move_flag));
  });
}

}  // extern "C"
