#include "support/tree.h"

#include <winternl.h>

#include <algorithm>
#include <functional>
#include <stdexcept>
#include <utility>

#include "support/handles.h"
#include "support/scratch.h"

namespace murtest {
namespace {

std::string Native(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  if (!path.empty() && path.back() == '\\') path.pop_back();
  return path;
}

}  // namespace

void MakeTree(const std::string& root, const std::vector<TreeEntry>& entries) {
  for (const TreeEntry& e : entries) {
    const std::string path = root + "\\" + Native(e.path);
    // Parents first.
    for (std::size_t at = path.find('\\', root.size() + 1); at != std::string::npos;
         at = path.find('\\', at + 1))
      ::CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
    if (e.path.back() == '/') {
      if (!::CreateDirectoryA(path.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS)
        throw std::runtime_error("cannot create " + path);
    } else {
      WriteAll(path, e.path);
    }
  }
  for (const TreeEntry& e : entries)
    if (e.attributes) ::SetFileAttributesA((root + "\\" + Native(e.path)).c_str(), e.attributes);
}

namespace {

std::wstring Widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

std::wstring LongForm(const std::string& root, std::wstring relative) {
  std::replace(relative.begin(), relative.end(), L'/', L'\\');
  if (!relative.empty() && relative.back() == L'\\') relative.pop_back();
  return L"\\\\?\\" + Widen(root) + L"\\" + relative;
}

}  // namespace

void MakeWideTree(const std::string& root, const std::vector<WideTreeEntry>& entries) {
  for (const WideTreeEntry& e : entries) {
    const std::wstring path = LongForm(root, e.path);
    const std::size_t prefix = 4 + root.size();
    for (std::size_t at = path.find(L'\\', prefix + 1); at != std::wstring::npos; at = path.find(L'\\', at + 1))
      ::CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
    if (e.path.back() == L'/') {
      if (!::CreateDirectoryW(path.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS)
        throw std::runtime_error("cannot create a directory below " + root);
    } else {
      const FileHandle h(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
      if (!h) throw std::runtime_error("cannot create a file below " + root);
      DWORD put = 0;
      ::WriteFile(h.get(), "data", 4, &put, nullptr);
    }
  }
  for (const WideTreeEntry& e : entries)
    if (e.attributes) ::SetFileAttributesW(LongForm(root, e.path).c_str(), e.attributes);
}

bool WideExists(const std::string& root, const std::wstring& relative) {
  return ::GetFileAttributesW(LongForm(root, relative).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void RemoveWideTree(const std::string& root, const std::vector<WideTreeEntry>& entries) {
  for (auto e = entries.rbegin(); e != entries.rend(); ++e) {
    const std::wstring path = LongForm(root, e->path);
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!::DeleteFileW(path.c_str())) ::RemoveDirectoryW(path.c_str());
    // Parents made on the way.
    for (std::size_t at = path.rfind(L'\\'); at != std::wstring::npos && at > 4 + root.size();
         at = path.rfind(L'\\', at - 1))
      ::RemoveDirectoryW(path.substr(0, at).c_str());
  }
}

bool MakeDeepChain(const std::string& root, int levels, const std::wstring& name) {
  if (RunningUnderWine()) {
    // Wine's server spends time in proportion to the depth on every open:
    // the shell makes the chain in a moment.
    const std::string unix_root = UnixPath(root);
    const std::string narrow(name.begin(), name.end());
    // The script marks its end with ".made" at the top.
    if (unix_root.empty() ||
        !RunUnixShell("cd '" + unix_root + "' && i=0 && while [ $i -lt " + std::to_string(levels) + " ]; do mkdir '" +
                      narrow + "' && cd '" + narrow + "' || exit 1; i=$((i+1)); done && echo leaf > leaf.txt && " +
                      "touch '" + unix_root + "/.made'"))
      return false;
    const std::string made = root + "\\.made";
    for (int i = 0; i < 400; ++i) {
      if (::GetFileAttributesA(made.c_str()) != INVALID_FILE_ATTRIBUTES) return ::DeleteFileA(made.c_str()) != FALSE;
      ::Sleep(50);
    }
    return false;
  }
  using CreateFn = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK, PLARGE_INTEGER, ULONG,
                                    ULONG, ULONG, ULONG, PVOID, ULONG);
  auto create = reinterpret_cast<CreateFn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("ntdll"), "NtCreateFile")));
  // Each level is made relative to the one above and becomes the next parent.
  FileHandle parent(::CreateFileA(root.c_str(), FILE_LIST_DIRECTORY | FILE_TRAVERSE | SYNCHRONIZE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!create || !parent) return false;
  auto open = [&](const std::wstring& component, bool directory, FileHandle* out) {
    UNICODE_STRING counted;
    counted.Buffer = const_cast<PWSTR>(component.c_str());
    counted.Length = counted.MaximumLength = static_cast<USHORT>(component.size() * sizeof(wchar_t));
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &counted, 0, parent.get(), nullptr);
    IO_STATUS_BLOCK io;
    HANDLE made = nullptr;
    const bool ok = create(&made, (directory ? FILE_LIST_DIRECTORY | FILE_TRAVERSE : GENERIC_WRITE) | SYNCHRONIZE,
                  &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_CREATE,
                  (directory ? FILE_DIRECTORY_FILE : FILE_NON_DIRECTORY_FILE) | FILE_SYNCHRONOUS_IO_NONALERT, nullptr,
                  0) == 0;
    out->reset(ok ? made : INVALID_HANDLE_VALUE);
    return ok;
  };
  for (int level = 0; level < levels; ++level) {
    FileHandle child;
    if (!open(name, true, &child)) return false;
    parent = std::move(child);
  }
  FileHandle leaf;
  return open(L"leaf.txt", false, &leaf);
}

std::vector<std::string> ListTree(const std::string& root) {
  std::vector<std::string> out;
  std::function<void(const std::string&, const std::string&)> walk = [&](const std::string& dir,
                                                                        const std::string& rel) {
    WIN32_FIND_DATAA data;
    const FindHandle h(::FindFirstFileA((dir + "\\*").c_str(), &data));
    if (!h) return;
    do {
      const std::string name = data.cFileName;
      if (name == "." || name == "..") continue;
      const bool is_dir = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
      out.push_back(rel + name + (is_dir ? "/" : ""));
      if (is_dir && !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        walk(dir + "\\" + name, rel + name + "/");
    } while (::FindNextFileA(h.get(), &data));
  };
  walk(root, "");
  std::sort(out.begin(), out.end());
  return out;
}

bool RunningUnderWine() {
  return ::GetProcAddress(::GetModuleHandleA("ntdll"), "wine_get_version") != nullptr;
}

std::string UnixPath(const std::string& path) {
  using UnixNameFn = char*(CDECL*)(const WCHAR*);
  auto unix_name = reinterpret_cast<UnixNameFn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32"), "wine_get_unix_file_name")));
  if (!unix_name) return {};
  char* name = unix_name(Widen(path).c_str());
  if (!name) return {};
  std::string out = name;
  ::HeapFree(::GetProcessHeap(), 0, name);
  return out;
}

namespace {

// Starts the Unix program `program` (a Windows path to it) with the command
// line `cmd` and waits up to ten seconds for it.
bool RunUnixProgram(const char* program, std::string cmd) {
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!::CreateProcessA(program, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
  const Handle process(pi.hProcess), thread(pi.hThread);
  ::WaitForSingleObject(process.get(), 10000);
  return true;
}

}  // namespace

bool RunUnixShell(const std::string& script) {
  std::string quoted;
  for (char c : script) quoted += c == '"' ? std::string("\\\"") : std::string(1, c);
  return RunUnixProgram("Z:\\bin\\sh", "/bin/sh -c \"" + quoted + "\"");
}

bool WaitFor(bool (*done)(const std::string&), const std::string& argument) {
  for (int i = 0; i < 100; ++i) {
    if (done(argument)) return true;
    ::Sleep(50);
  }
  return false;
}

bool MakeUnixSymlink(const std::string& target, const std::string& link) {
  // The link does not exist yet: convert its folder and add its name.
  const std::size_t slash = link.find_last_of('\\');
  const std::string t = UnixPath(target), folder = UnixPath(link.substr(0, slash));
  if (t.empty() || folder.empty()) return false;
  const std::string l = folder + "/" + link.substr(slash + 1);
  if (!RunUnixProgram("Z:\\bin\\ln", "/bin/ln -s \"" + t + "\" \"" + l + "\"")) return false;
  // Wine may report a Unix child as ended before it has run: wait for the link.
  for (int i = 0; i < 200; ++i) {
    if (::GetFileAttributesA(link.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    ::Sleep(50);
  }
  return false;
}

}  // namespace murtest
