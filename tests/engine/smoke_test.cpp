// The harness itself: captured print(), results, error lines, no pinned values left.
#include <gtest/gtest.h>

#include "ksc_harness.h"
#include "value.h"

using namespace ksc_test;

TEST(Harness, RunsSnippetsAndCapturesOutput) {
    EXPECT_EQ(out("print(1 + 2)"), "3");
    EXPECT_EQ(first_error("x = 1 / 0\n"), error_line(ksc::kErrDivisionByZero, 1, "x = 1 / 0"));
    EXPECT_EQ(ksc::pinned_count(), 0u);
}
