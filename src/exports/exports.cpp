// The library's exported functions. Each one runs the operation that
// exports/operations.h names, observed by no one, and leaves the code that
// decided its result as the thread's last error, as the Windows functions do.
// The export table (exports.table) exports these under their plain names.
#define MUR_API
#include "mur.h"

#include "exports/operations.h"
#include "platform/last_error.h"

namespace {

using mur::exports::Layout;
using mur::store::StoreKind;

// The result, with `code` left as the last error.
int Leaving(int result, DWORD code) {
  mur::platform::LeaveLastError(code);
  return result;
}

}  // namespace

// Defined with C linkage, as mur.h declares them: a definition whose
// signature differs from its declaration does not compile.
extern "C" {

int WINAPI MUR_CsMakeUserinfoFile(const char* product_dir, const char* user_name) {
  DWORD code = ERROR_SUCCESS;
  const int result = mur::exports::SeedStore(Layout::kRecord, StoreKind::kUser, product_dir, user_name, nullptr, &code);
  return Leaving(result, code);
}

int WINAPI MUR_CsMakeSectionFile(const char* product_dir, const char* section_name) {
  DWORD code = ERROR_SUCCESS;
  const int result = mur::exports::SeedStore(Layout::kRecord, StoreKind::kSection, product_dir, section_name, nullptr, &code);
  return Leaving(result, code);
}

int WINAPI MUR_ShMakeUserinfoFile(const char* product_dir, const char* user_name) {
  DWORD code = ERROR_SUCCESS;
  const int result = mur::exports::SeedStore(Layout::kText, StoreKind::kUser, product_dir, user_name, nullptr, &code);
  return Leaving(result, code);
}

int WINAPI MUR_ShMakeSectionFile(const char* product_dir, const char* section_name) {
  DWORD code = ERROR_SUCCESS;
  const int result = mur::exports::SeedStore(Layout::kText, StoreKind::kSection, product_dir, section_name, nullptr, &code);
  return Leaving(result, code);
}

int WINAPI MUR_GetAccessMode(const char* product_dir) {
  DWORD code = ERROR_SUCCESS;
  const int result = mur::exports::ReadAccessMode(product_dir, nullptr, &code);
  return Leaving(result, code);
}

int WINAPI MUR_GetVersion(const char* product_dir) {
  DWORD code = ERROR_SUCCESS;
  const int result = mur::exports::ReadVersion(product_dir, nullptr, &code);
  return Leaving(result, code);
}

// Allocates nothing: the command is only read, during the call.
int WINAPI MUR_CheckDoubleQuotation(const char* command) {
  DWORD code = ERROR_SUCCESS;
  const int result = mur::exports::ClassifyQuoting(command, nullptr, &code);
  return Leaving(result, code);
}

int WINAPI MUR_RemoveFiles(const char* directory) {
  DWORD code = ERROR_SUCCESS;
  const int result = mur::exports::RemoveTree(directory, nullptr, &code);
  return Leaving(result, code);
}

// Both paths are converted once to UTF-16; a null path, like an empty one,
// names the root. A failed conversion returns its error code.
int WINAPI MUR_CopyRegistarInfo(HKEY root, const char* source, const char* destination, int move_flag) {
  DWORD code = ERROR_SUCCESS;
  const int result = mur::exports::CopyKeyTree(root, source, destination, move_flag, nullptr, &code);
  return Leaving(result, code);
}

}  // extern "C"
