// The uninstall command's quoting class through the real MUR.dll.
#include <gtest/gtest.h>

#include <string>

#include "support/library.h"

namespace murtest {
namespace {

int Classify(const char* command) { return MUR_CALL(Mur(), MUR_CheckDoubleQuotation)(command); }

TEST(Quoting, ClassesOfTheModelCommand) {
  const std::string prefix = "C:\\WINDOWS\\IsUn0411.exe -f";
  struct Case {
    std::string command;
    int single_byte;
    int cp932;
  };
  const Case cases[] = {
      {prefix + "\"C:\\App\\Uninst.isu\"", 1, 1},
      {prefix + "\"C:\\App\\Uninst.isu", 2, 2},
      {prefix + "C:\\App\\Uninst.isu\"", 3, 3},
      {prefix + "C:\\App\\Uninst.isu", 4, 4},
      {prefix + "\"", 1, 1},
      {"", 3, 3},
      {"\"C:\\WINDOWS\\IsUn0411.exe\"\"C:\\App\\Uninst.isu\"", 3, 3},
      // A lead byte right before the closing quote makes it a trail byte.
      {prefix + "\"C:\\\x83\"", 1, 2},
      // ... or before the opening quote.
      {std::string(25, 'x') + "\x83\"C:\\App\\Uninst.isu\"", 1, 3},
      // A path with double-byte characters whose trail byte is a backslash.
      {prefix + "\"C:\\\x95\x5C\x8E\xA6\\Uninst.isu\"", 1, 1},
  };
  const bool cp932 = ::GetACP() == 932;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    EXPECT_EQ(cp932 ? c.cp932 : c.single_byte, Classify(c.command.c_str()));
  }
  EXPECT_EQ(3, Classify(nullptr));
}

}  // namespace
}  // namespace murtest
