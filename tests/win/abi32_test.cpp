// What only the shipped 32-bit build can get wrong: the __stdcall exports
// popping exactly their arguments, the predefined registry roots passed as
// the 32-bit handle values a setup script passes, and registry redirection of
// a 32-bit process on 64-bit Windows.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "support/handles.h"
#include "support/library.h"
#include "support/registry.h"
#include "support/scratch.h"

#if !defined(_WIN64)
// Calls `fn` as __stdcall with `count` 32-bit arguments and returns the
// stack imbalance it leaves in bytes (0 when it popped exactly what was
// pushed, negative when it left some behind); the
// stack is restored whatever happened, so an imbalance is observed safely.
extern "C" int __cdecl StdcallImbalance(void* fn, const std::uint32_t* args, int count);
asm(R"(
    .text
    .globl _StdcallImbalance
_StdcallImbalance:
    push %ebp
    mov %esp, %ebp
    push %esi
    push %edi
    push %ebx
    mov %esp, %esi
    mov 12(%ebp), %edi
    mov 16(%ebp), %ecx
1:  test %ecx, %ecx
    jz 2f
    dec %ecx
    push (%edi,%ecx,4)
    jmp 1b
2:  call *8(%ebp)
    mov %esp, %eax
    sub %esi, %eax
    mov %esi, %esp
    pop %ebx
    pop %edi
    pop %esi
    pop %ebp
    ret
)");
#endif

namespace murtest {
namespace {

TEST(Abi32, TestsRunInTheExpectedBitness) {
  const char* bits = std::getenv("MURTEST_BITS");
  ASSERT_NE(nullptr, bits);
  EXPECT_EQ(std::atoi(bits), static_cast<int>(sizeof(void*) * 8));
}

#if !defined(_WIN64)
std::uint32_t P(const void* p) { return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(p)); }

TEST(Abi32, EveryExportPopsExactlyItsArguments) {
  ScratchDir dir;
  TestKey key;
  const std::string src = key.path("src"), dst = key.path("dst");
  CreateRegKey(key.root(), src);
  const std::string tree = dir.path() + "\\gone";
  const std::string name = "abc", command = "C:\\WINDOWS\\IsUn0411.exe -f\"C:\\App\\Uninst.isu\"";
  struct Call {
    const char* name;
    std::vector<std::uint32_t> args;
  };
  const Call calls[] = {
      {"MUR_CsMakeUserinfoFile", {P(dir.path().c_str()), P(name.c_str())}},
      {"MUR_CsMakeSectionFile", {P(dir.path().c_str()), P(name.c_str())}},
      {"MUR_ShMakeUserinfoFile", {P(dir.path().c_str()), P(name.c_str())}},
      {"MUR_ShMakeSectionFile", {P(dir.path().c_str()), P(name.c_str())}},
      {"MUR_GetAccessMode", {P(dir.path().c_str())}},
      {"MUR_GetVersion", {P(dir.path().c_str())}},
      {"MUR_RemoveFiles", {P(tree.c_str())}},
      {"MUR_CheckDoubleQuotation", {P(command.c_str())}},
      {"MUR_CopyRegistarInfo", {0x80000001u, P(src.c_str()), P(dst.c_str()), 0}},
  };
  for (const Call& c : calls) {
    SCOPED_TRACE(c.name);
    void* fn = reinterpret_cast<void*>(::GetProcAddress(Mur().module(), c.name));
    ASSERT_NE(nullptr, fn);
    const int rounds = std::string(c.name) == "MUR_CheckDoubleQuotation" ? 100000 : 200;
    int unbalanced = 0;
    for (int i = 0; i < rounds; ++i)
      unbalanced += StdcallImbalance(fn, c.args.data(), static_cast<int>(c.args.size())) != 0;
    EXPECT_EQ(0, unbalanced);
  }
}

TEST(Abi32, AMistypedCallIsSeenAsAnImbalance) {
  // One argument too many for a one-argument export: 4 bytes stay behind
  // (the stack pointer ends 4 below where it started).
  void* fn = reinterpret_cast<void*>(::GetProcAddress(Mur().module(), "MUR_CheckDoubleQuotation"));
  const std::string command = "x";
  const std::uint32_t args[] = {P(command.c_str()), 0};
  EXPECT_EQ(-4, StdcallImbalance(fn, args, 2));
}
#endif

using CopyFn = decltype(&MUR_CopyRegistarInfo);

// The roots as the integers a setup script hands over.
TEST(Abi32, PredefinedRootsAsTheirHandleValues) {
  struct Root {
    std::uint32_t value;
    HKEY key;
    std::string parent;
  };
  const Root roots[] = {
      {0x80000001u, HKEY_CURRENT_USER, "Software"},
      {0x80000002u, HKEY_LOCAL_MACHINE, "Software"},
      {0x80000000u, HKEY_CLASSES_ROOT, "CLSID"},
      {0x80000003u, HKEY_USERS, ".DEFAULT\\Software"},
  };
  for (const Root& r : roots) {
    SCOPED_TRACE(r.parent);
    const HKEY as_passed = reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(static_cast<LONG>(r.value)));
    EXPECT_EQ(r.key, as_passed);
    TestKey t(r.key, r.parent);
    SetRegString(r.key, t.path("src\\sub"), "v", "value");
    const auto copy = Mur().Get<CopyFn>("MUR_CopyRegistarInfo");
    EXPECT_EQ(0, copy(as_passed, t.path("src").c_str(), t.path("dst").c_str(), 1));
    EXPECT_FALSE(RegKeyExists(r.key, t.path("src")));
    EXPECT_EQ(Sz(L"value"), Snapshot(r.key, t.path("dst")).at(L"sub").at(L"v").data);
  }
}

#if !defined(_WIN64)
// A 32-bit process sees HKLM\Software through the redirected view
// (Software\Wow6432Node in the 64-bit view); the copy lands there, and the
// move deletes the key it copied from in that same view.
TEST(Abi32, LocalMachineSoftwareIsTheRedirectedView) {
  BOOL wow64 = FALSE;
  ::IsWow64Process(::GetCurrentProcess(), &wow64);
  if (!wow64) GTEST_SKIP() << "not a 32-bit process on 64-bit Windows";
  TestKey t(HKEY_LOCAL_MACHINE, "Software");
  SetRegString(HKEY_LOCAL_MACHINE, t.path("src"), "v", "1");
  const std::string name = t.path().substr(std::string("Software\\").size());
  auto exists_64 = [&](const std::string& sub) {
    Key k;
    return ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, sub.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, k.put()) == ERROR_SUCCESS;
  };
  ASSERT_TRUE(exists_64("Software\\Wow6432Node\\" + name + "\\src"));
  ASSERT_FALSE(exists_64("Software\\" + name + "\\src"));

  EXPECT_EQ(0, Mur().Get<CopyFn>("MUR_CopyRegistarInfo")(HKEY_LOCAL_MACHINE, t.path("src").c_str(),
                                                         t.path("dst").c_str(), 1));
  EXPECT_TRUE(exists_64("Software\\Wow6432Node\\" + name + "\\dst"));
  EXPECT_FALSE(exists_64("Software\\" + name + "\\dst"));
  EXPECT_FALSE(exists_64("Software\\Wow6432Node\\" + name + "\\src"));
  EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, t.path("dst")));
}
#endif

}  // namespace
}  // namespace murtest
