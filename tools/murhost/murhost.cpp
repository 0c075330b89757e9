// murhost: calls MUR.dll the way a setup script's host does, by export name.
//
//   murhost [--dll PATH] EXPORT [ARG...]   call an export, print its result
//   murhost explain [--json] EXPORT [ARG...]
//                                          run an export's work, as the
//                                          library does, and print each
//                                          decision as it is made
//   murhost inspect DIR                    decode the record-layout stores
//   murhost [--dll PATH] dialog            show the completion dialog (101) as
//                                          the installer does, print the choices
//
// Text arguments are passed as narrow strings; the word -null- passes a null
// pointer. Registry roots are HKCR, HKCU, HKLM, HKU or a number.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "mur.h"
#include "mur_exports.h"
#include "murhost/args.h"
#include "murhost/explain.h"
#include "murhost/inspect.h"

namespace {

// One signature per export, from the export table: s = text, r = registry
// root, i = integer.
struct ExportSignature {
  const char* name;
  const char* args;
};

#define MUR_SIGNATURE(name, args, failure) {#name, args},
constexpr ExportSignature kExports[] = {MUR_EXPORTS(MUR_SIGNATURE)};
#undef MUR_SIGNATURE

using murhost::Fail;
using murhost::ParseInt;
using murhost::ParseRoot;
using murhost::Text;

int CallExport(HMODULE dll, const ExportSignature& sig, const std::vector<std::string>& a) {
  FARPROC proc = ::GetProcAddress(dll, sig.name);
  if (!proc) return Fail(std::string("the library has no export ") + sig.name);
  if (a.size() != std::strlen(sig.args))
    return Fail(std::string(sig.name) + " takes " + std::to_string(std::strlen(sig.args)) +
                " arguments, not " + std::to_string(a.size()));
  void* p = reinterpret_cast<void*>(proc);
  int result = 0;
  const std::string args = sig.args;
  if (args == "s") {
    result = reinterpret_cast<decltype(&MUR_GetVersion)>(p)(Text(a[0]));
  } else if (args == "ss") {
    result = reinterpret_cast<decltype(&MUR_CsMakeUserinfoFile)>(p)(Text(a[0]), Text(a[1]));
  } else if (args == "rssi") {
    HKEY root;
    int flag = 0;
    if (!ParseRoot(a[0], &root)) return Fail("not a registry root: " + a[0]);
    if (!ParseInt(a[3], &flag)) return Fail("not an integer: " + a[3]);
    result = reinterpret_cast<decltype(&MUR_CopyRegistarInfo)>(p)(root, Text(a[1]), Text(a[2]), flag);
  } else {
    return Fail(std::string("no way to call ") + sig.name + " (" + sig.args + ")");
  }
  std::printf("%d\n", result);
  return 0;
}

// The completion dialog's controls.
constexpr int kStartMenu = 1000;
constexpr int kDesktopShortcut = 1001;
constexpr int kFinish = 1002;

INT_PTR CALLBACK CompletionDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  if (message == WM_INITDIALOG) return TRUE;
  if (message == WM_COMMAND && (LOWORD(wparam) == kFinish || LOWORD(wparam) == IDCANCEL)) {
    const int start_menu = ::IsDlgButtonChecked(dialog, kStartMenu) == BST_CHECKED;
    const int desktop = ::IsDlgButtonChecked(dialog, kDesktopShortcut) == BST_CHECKED;
    ::EndDialog(dialog, 0x100 | start_menu | desktop << 1);
    return TRUE;
  }
  return FALSE;
}

// Shows dialog 101 from the library as a host does, with the library's module
// handle, and prints the two check boxes' states when it closes.
int ShowCompletionDialog(HMODULE dll) {
  const INT_PTR ended = ::DialogBoxParamA(dll, MAKEINTRESOURCEA(101), nullptr, CompletionDialogProc, 0);
  if (ended == -1 || ended == 0) return Fail("cannot show dialog 101 (error " + std::to_string(::GetLastError()) + ")");
  std::printf("start menu: %s\ndesktop shortcut: %s\n", (ended & 1) ? "checked" : "unchecked",
              (ended & 2) ? "checked" : "unchecked");
  return 0;
}

void Usage() {
  std::fprintf(stderr,
               "usage: murhost [--dll PATH] EXPORT [ARG...]\n"
               "       murhost explain [--json] EXPORT [ARG...]\n"
               "       murhost inspect DIR\n"
               "       murhost [--dll PATH] dialog\n"
               "exports:");
  for (const ExportSignature& s : kExports) std::fprintf(stderr, " %s", s.name);
  std::fprintf(stderr, "\n");
}

}  // namespace

int main(int argc, char** argv) {
  // Plain line feeds: the output is read by scripts.
  _setmode(_fileno(stdout), _O_BINARY);
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string dll_path = "MUR.dll";
  if (args.size() >= 2 && args[0] == "--dll") {
    dll_path = args[1];
    args.erase(args.begin(), args.begin() + 2);
  }
  if (args.empty()) {
    Usage();
    return 2;
  }
  const std::string command = args[0];
  args.erase(args.begin());
  if (command == "explain") {
    bool json = false;
    if (!args.empty() && args[0] == "--json") {
      json = true;
      args.erase(args.begin());
    }
    if (args.empty()) return Fail("explain takes an export and its arguments");
    const std::string name = args[0];
    args.erase(args.begin());
    return murhost::Explain(name, args, json);
  }
  if (command == "inspect") {
    if (args.size() != 1) return Fail("inspect takes one product directory");
    return murhost::InspectRecordStores(args[0]);
  }
  if (command == "dialog") {
    if (!args.empty()) return Fail("dialog takes no arguments");
    HMODULE dll = ::LoadLibraryA(dll_path.c_str());
    if (!dll) return Fail("cannot load " + dll_path + " (error " + std::to_string(::GetLastError()) + ")");
    const int status = ShowCompletionDialog(dll);
    ::FreeLibrary(dll);
    return status;
  }
  const ExportSignature* sig = nullptr;
  for (const ExportSignature& s : kExports)
    if (command == s.name) sig = &s;
  if (!sig) return Fail("unknown export " + command);
  HMODULE dll = ::LoadLibraryA(dll_path.c_str());
  if (!dll) return Fail("cannot load " + dll_path + " (error " + std::to_string(::GetLastError()) + ")");
  const int status = CallExport(dll, *sig, args);
  ::FreeLibrary(dll);
  return status;
}
