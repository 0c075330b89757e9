// Registry copy and move: MUR_CopyRegistarInfo against RegCopyTreeA (and
// RegCopyTreeA followed by RegDeleteTreeA for the move) on a tree of about
// 10,000 keys three levels deep with 5 small values each.
#include <windows.h>

#include <cstdio>
#include <string>

#include "bench_util.h"

namespace {

using CopyFn = int(WINAPI*)(HKEY, const char*, const char*, int);

const std::string kBase = "Software\\murbench_" + std::to_string(::GetCurrentProcessId());

void AddValues(HKEY key) {
  for (int v = 0; v < 5; ++v) {
    const std::string name = "value" + std::to_string(v);
    const std::string data = "data " + std::to_string(v);
    ::RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                     static_cast<DWORD>(data.size() + 1));
  }
}

HKEY Create(HKEY parent, const std::string& name) {
  HKEY key = nullptr;
  ::RegCreateKeyExA(parent, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  return key;
}

// 20 x 20 x 25 leaves under 20 x 20 and 20: 10,420 keys.
void BuildTree(const std::string& path) {
  HKEY root = Create(HKEY_CURRENT_USER, path);
  for (int a = 0; a < 20; ++a) {
    HKEY ka = Create(root, "a" + std::to_string(a));
    AddValues(ka);
    for (int b = 0; b < 20; ++b) {
      HKEY kb = Create(ka, "b" + std::to_string(b));
      AddValues(kb);
      for (int c = 0; c < 25; ++c) {
        HKEY kc = Create(kb, "c" + std::to_string(c));
        AddValues(kc);
        ::RegCloseKey(kc);
      }
      ::RegCloseKey(kb);
    }
    ::RegCloseKey(ka);
  }
  ::RegCloseKey(root);
}

void CopyTree(const std::string& from, const std::string& to) {
  HKEY src, dst;
  ::RegOpenKeyExA(HKEY_CURRENT_USER, from.c_str(), 0, KEY_READ, &src);
  dst = Create(HKEY_CURRENT_USER, to);
  ::RegCopyTreeA(src, nullptr, dst);
  ::RegCloseKey(src);
  ::RegCloseKey(dst);
}

}  // namespace

int main() {
  HMODULE dll = ::LoadLibraryA("MUR.dll");
  auto copy = dll ? reinterpret_cast<CopyFn>(reinterpret_cast<void*>(::GetProcAddress(dll, "MUR_CopyRegistarInfo")))
                  : nullptr;
  if (!copy) return 2;
  const std::string pristine = kBase + "\\pristine", src = kBase + "\\src", dst = kBase + "\\dst";
  BuildTree(pristine);
  CopyTree(pristine, src);
  auto clear_dst = [&] { ::RegDeleteTreeA(HKEY_CURRENT_USER, dst.c_str()); };
  auto fresh_src = [&] {
    clear_dst();
    ::RegDeleteTreeA(HKEY_CURRENT_USER, src.c_str());
    CopyTree(pristine, src);
  };
  int copy_result = -1, move_result = -1;
  const double ours_copy = murbench::Median(3, clear_dst, [&] {
    copy_result = copy(HKEY_CURRENT_USER, src.c_str(), dst.c_str(), 0);
  });
  const double ref_copy = murbench::Median(3, clear_dst, [&] { CopyTree(src, dst); });
  const double ours_move = murbench::Median(3, fresh_src, [&] {
    move_result = copy(HKEY_CURRENT_USER, src.c_str(), dst.c_str(), 1);
  });
  const double ref_move = murbench::Median(3, fresh_src, [&] {
    CopyTree(src, dst);
    ::RegDeleteTreeA(HKEY_CURRENT_USER, src.c_str());
  });
  ::RegDeleteTreeA(HKEY_CURRENT_USER, kBase.c_str());
  std::printf("  registry, 10,420 keys with 5 values each (median of 3):\n"
              "    copy: MUR_CopyRegistarInfo %.0f ms (result %d), RegCopyTreeA %.0f ms: ratio %.2f (target: at most 1.25)\n"
              "    move: MUR_CopyRegistarInfo %.0f ms (result %d), RegCopyTreeA + RegDeleteTreeA %.0f ms: ratio %.2f "
              "(target: at most 1.25)\n",
              ours_copy * 1e3, copy_result, ref_copy * 1e3, ours_copy / ref_copy, ours_move * 1e3, move_result,
              ref_move * 1e3, ours_move / ref_move);
  return 0;
}
