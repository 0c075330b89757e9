// The library's resources, read as a host reads them: the completion dialog
// through FindResourceEx, parsed field by field, and the version block
// through GetFileVersionInfo and VerQueryValue.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/code_page.h"
#include "support/library.h"

namespace murtest {
namespace {

// UTF-16 from UTF-8 literals, so that expectations read as the texts do.
std::wstring W(const char* utf8) { return FromUtf8(utf8); }

// Reads a classic dialog template (DLGTEMPLATE and DLGITEMTEMPLATEs).
class TemplateReader {
 public:
  TemplateReader(const BYTE* data, DWORD size) : p_(data), end_(data + size) {}
  WORD Word() {
    Need(2);
    WORD w = static_cast<WORD>(p_[0] | (p_[1] << 8));
    p_ += 2;
    return w;
  }
  DWORD Dword() {
    DWORD lo = Word();
    return lo | (static_cast<DWORD>(Word()) << 16);
  }
  short Short() { return static_cast<short>(Word()); }
  // A string, or 0xFFFF and an ordinal (returned as "#n").
  std::wstring SzOrOrd() {
    std::wstring s;
    WORD w = Word();
    if (w == 0xFFFF) return L"#" + std::to_wstring(Word());
    while (w != 0) {
      s.push_back(static_cast<wchar_t>(w));
      w = Word();
    }
    return s;
  }
  void AlignDword(const BYTE* base) {
    while ((p_ - base) % 4) ++p_;
  }

 private:
  void Need(int n) {
    if (p_ + n > end_) throw std::runtime_error("template cut short");
  }
  const BYTE* p_;
  const BYTE* end_;
};

struct Item {
  DWORD style, ex_style;
  short x, y, cx, cy;
  WORD id;
  std::wstring window_class, text;
};

TEST(Resources, CompletionDialogTemplate) {
  HMODULE dll = Mur().module();
  HRSRC res = ::FindResourceExA(dll, RT_DIALOG, MAKEINTRESOURCEA(101), MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT));
  ASSERT_NE(nullptr, res) << "dialog 101, language 1041";
  const DWORD size = ::SizeofResource(dll, res);
  const BYTE* base = static_cast<const BYTE*>(::LockResource(::LoadResource(dll, res)));
  ASSERT_NE(nullptr, base);
  TemplateReader r(base, size);

  const DWORD style = r.Dword();
  EXPECT_EQ(static_cast<DWORD>(WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT), style);
  EXPECT_EQ(0u, style & WS_SYSMENU);
  EXPECT_EQ(0u, r.Dword()) << "extended style";
  const WORD count = r.Word();
  EXPECT_EQ(4, count);
  EXPECT_EQ(0, r.Short());
  EXPECT_EQ(0, r.Short());
  EXPECT_EQ(202, r.Short());
  EXPECT_EQ(143, r.Short());
  EXPECT_EQ(L"", r.SzOrOrd()) << "menu";
  EXPECT_EQ(L"", r.SzOrOrd()) << "class";
  EXPECT_EQ(W("ｲﾝｽﾄｰﾙの完了"), r.SzOrOrd());
  EXPECT_EQ(9, r.Word());
  EXPECT_EQ(W("ＭＳ Ｐゴシック"), r.SzOrOrd());

  std::vector<Item> items;
  for (int i = 0; i < count; ++i) {
    r.AlignDword(base);
    Item it;
    it.style = r.Dword();
    it.ex_style = r.Dword();
    it.x = r.Short();
    it.y = r.Short();
    it.cx = r.Short();
    it.cy = r.Short();
    it.id = r.Word();
    it.window_class = r.SzOrOrd();
    it.text = r.SzOrOrd();
    EXPECT_EQ(0, r.Word()) << "creation data";
    items.push_back(it);
  }
  ASSERT_EQ(4u, items.size());
  const DWORD child = WS_CHILD | WS_VISIBLE;
  struct Expected {
    WORD id;
    const wchar_t* window_class;  // "#128" button, "#130" static
    DWORD style;
    short x, y, cx, cy;
    const char* text;
  };
  const Expected expected[] = {
      {1002, L"#128", child | WS_TABSTOP | BS_PUSHBUTTON, 148, 116, 44, 16, "完了"},
      {1000, L"#128", child | WS_TABSTOP | BS_AUTOCHECKBOX, 47, 60, 80, 10, "ｽﾀｰﾄﾒﾆｭｰに登録する"},
      {1001, L"#128", child | WS_TABSTOP | BS_AUTOCHECKBOX, 47, 84, 106, 10, "ﾃﾞｽｸﾄｯﾌﾟにｼｮｰﾄｶｯﾄを作成する"},
      {1003, L"#130", child | WS_GROUP | SS_LEFT, 8, 8, 184, 40, ""},
  };
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    const Item& it = items[i];
    const Expected& e = expected[i];
    EXPECT_EQ(e.id, it.id);
    EXPECT_EQ(std::wstring(e.window_class), it.window_class);
    EXPECT_EQ(e.style, it.style);
    EXPECT_EQ(0u, it.ex_style);
    EXPECT_EQ(e.x, it.x);
    EXPECT_EQ(e.y, it.y);
    EXPECT_EQ(e.cx, it.cx);
    EXPECT_EQ(e.cy, it.cy);
    EXPECT_EQ(W(e.text), it.text);
  }
  // The push button is not the default button; the check boxes are automatic.
  EXPECT_EQ(0u, items[0].style & BS_DEFPUSHBUTTON);
  EXPECT_EQ(static_cast<DWORD>(BS_AUTOCHECKBOX), items[1].style & 0xF);
}

TEST(Resources, VersionBlock) {
  char path[MAX_PATH];
  ASSERT_NE(0u, ::GetModuleFileNameA(Mur().module(), path, MAX_PATH));
  DWORD handle = 0;
  const DWORD size = ::GetFileVersionInfoSizeA(path, &handle);
  ASSERT_NE(0u, size);
  std::vector<BYTE> block(size);
  ASSERT_TRUE(::GetFileVersionInfoA(path, 0, size, block.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(::VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(0xFEEF04BDu, fixed->dwSignature);
  EXPECT_EQ(0x00010000u, fixed->dwFileVersionMS);
  EXPECT_EQ(0x00000001u, fixed->dwFileVersionLS);
  EXPECT_EQ(0x00010000u, fixed->dwProductVersionMS);
  EXPECT_EQ(0x00000001u, fixed->dwProductVersionLS);
  EXPECT_EQ(0x3Fu, fixed->dwFileFlagsMask);
  EXPECT_EQ(0u, fixed->dwFileFlags);
  EXPECT_EQ(4u, fixed->dwFileOS);
  EXPECT_EQ(2u, fixed->dwFileType);
  EXPECT_EQ(0u, fixed->dwFileSubtype);

  WORD* translation = nullptr;
  ASSERT_TRUE(::VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                               &length));
  ASSERT_EQ(4u, length);
  EXPECT_EQ(0x0411, translation[0]);
  EXPECT_EQ(1200, translation[1]);

  // The entries, read through the wide function so that nothing depends on
  // the code page in force.
  const struct {
    const char* name;
    const char* value;
  } entries[] = {
      {"FileVersion", "1, 0, 0, 1"},
      {"ProductVersion", "1, 0, 0, 1"},
      {"InternalName", "MUR"},
      {"OriginalFilename", "MUR.DLL"},
      {"FileDescription", "ｲﾝｽﾄｰﾗｰ 拡張機能 DLL"},
      {"ProductName", "SETUP ﾀﾞｲﾅﾐｯｸ ﾘﾝｸ ﾗｲﾌﾞﾗﾘ"},
      {"CompanyName", "The MUR library developers"},
      {"LegalCopyright", "Copyright (C) 2026 The MUR library developers"},
  };
  std::vector<BYTE> wide_block(::GetFileVersionInfoSizeW(W(path).c_str(), &handle));
  ASSERT_TRUE(::GetFileVersionInfoW(W(path).c_str(), 0, static_cast<DWORD>(wide_block.size()), wide_block.data()));
  for (const auto& e : entries) {
    SCOPED_TRACE(e.name);
    wchar_t* text = nullptr;
    const std::wstring key = L"\\StringFileInfo\\041104b0\\" + W(e.name);
    ASSERT_TRUE(::VerQueryValueW(wide_block.data(), key.c_str(), reinterpret_cast<void**>(&text), &length));
    EXPECT_EQ(W(e.value), std::wstring(text));
  }
}

}  // namespace
}  // namespace murtest
