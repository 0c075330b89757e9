// The test programs' main: GoogleTest, and a failure when the filter that
// ctest passes selects no test at all, so that a renamed suite cannot turn a
// test group into an empty pass.
#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const int status = RUN_ALL_TESTS();
  if (::testing::UnitTest::GetInstance()->test_to_run_count() == 0) {
    std::fprintf(stderr, "no test matched the filter\n");
    return 1;
  }
  return status;
}
