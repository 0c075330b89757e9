#include "support/tree.h"

#include <algorithm>
#include <functional>
#include <stdexcept>

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

std::vector<std::string> ListTree(const std::string& root) {
  std::vector<std::string> out;
  std::function<void(const std::string&, const std::string&)> walk = [&](const std::string& dir,
                                                                        const std::string& rel) {
    WIN32_FIND_DATAA data;
    HANDLE h = ::FindFirstFileA((dir + "\\*").c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
      const std::string name = data.cFileName;
      if (name == "." || name == "..") continue;
      const bool is_dir = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
      out.push_back(rel + name + (is_dir ? "/" : ""));
      if (is_dir && !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        walk(dir + "\\" + name, rel + name + "/");
    } while (::FindNextFileA(h, &data));
    ::FindClose(h);
  };
  walk(root, "");
  std::sort(out.begin(), out.end());
  return out;
}

bool RunningUnderWine() {
  return ::GetProcAddress(::GetModuleHandleA("ntdll"), "wine_get_version") != nullptr;
}

bool MakeUnixSymlink(const std::string& target, const std::string& link) {
  using UnixNameFn = char*(CDECL*)(const WCHAR*);
  auto unix_name = reinterpret_cast<UnixNameFn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32"), "wine_get_unix_file_name")));
  if (!unix_name) return false;
  auto convert = [&](const std::string& path) -> std::string {
    std::wstring wide(path.begin(), path.end());
    char* name = unix_name(wide.c_str());
    if (!name) return {};
    std::string out = name;
    ::HeapFree(::GetProcessHeap(), 0, name);
    return out;
  };
  // The link does not exist yet: convert its folder and add its name.
  const std::size_t slash = link.find_last_of('\\');
  const std::string t = convert(target), folder = convert(link.substr(0, slash));
  if (t.empty() || folder.empty()) return false;
  const std::string l = folder + "/" + link.substr(slash + 1);
  std::string cmd = "/bin/ln -s \"" + t + "\" \"" + l + "\"";
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!::CreateProcessA("Z:\\bin\\ln", &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return false;
  ::WaitForSingleObject(pi.hProcess, 10000);
  ::CloseHandle(pi.hProcess);
  ::CloseHandle(pi.hThread);
  // Wine may report a Unix child as ended before it has run: wait for the link.
  for (int i = 0; i < 200; ++i) {
    if (::GetFileAttributesA(link.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    ::Sleep(50);
  }
  return false;
}

}  // namespace murtest
