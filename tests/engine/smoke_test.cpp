#include <gtest/gtest.h>

#include "ksc_harness.h"
#include "error.h"
#include "value.h"

using namespace ksc_test;

TEST(Harness, RunsSnippetsAndCapturesOutput) {
    EXPECT_EQ(out("print(1 + 2)"), "3");
    EXPECT_EQ(eval("7 / 2"), "3.5000000000000000");
    EXPECT_EQ(first_error("x = 1 / 0\n"),
              "Error: [test.ksc]: " + u8(ksc::error_message(ksc::kErrDivisionByZero)) + "(1): x = 1 / 0");
    EXPECT_EQ(ksc::pinned_count(), 0u);
}
