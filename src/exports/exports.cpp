// The library's exported functions. Each one is a thin frame around the
// operation that its folder implements.
#include <windows.h>

#include "exports/frame.h"
#include "store/record_files.h"

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

}  // extern "C"
