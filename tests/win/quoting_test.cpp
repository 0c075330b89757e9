// The uninstall command's quoting class through the real MUR.dll, for every
// row of the shared table, in the code page of the run.
#include <gtest/gtest.h>

#include <string>

#include "support/code_page.h"
#include "support/library.h"
#include "support/text_rule_cases.h"

namespace murtest {
namespace {

int Classify(const char* command) { return MUR_CALL(Mur(), MUR_CheckDoubleQuotation)(command); }

TEST(Quoting, ClassesOfTheModelCommand) {
  for (const TextRuleCase& c : QuotingCases()) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(Cp932() ? c.cp932 : c.single, Classify(c.bytes.c_str()));
  }
  EXPECT_EQ(3, Classify(nullptr));
}

}  // namespace
}  // namespace murtest
