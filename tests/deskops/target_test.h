// The fixture of the tests that drive zv_target: a fresh target for every
// test (skipped without a desktop), with the library started in this
// process for the direct calls.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "frame.h"
#include "target_driver.h"

namespace zv::test {

class TargetTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!have_desktop()) GTEST_SKIP() << "no desktop to create windows on";
        deskops::library_start(GetModuleHandleW(nullptr));
        target_ = std::make_unique<Target>();
        ASSERT_TRUE(target_->started()) << "zv_target did not report its windows:\n" << target_->log();
    }
    void TearDown() override { target_.reset(); }
    Target& target() { return *target_; }

    std::unique_ptr<Target> target_;
};

}  // namespace zv::test
