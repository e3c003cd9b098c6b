// The build and test machinery works on this target: the right platform and
// flags, threads, fixtures reachable, child processes can be driven.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "zv_test_support.h"

#ifdef _WIN32
#  include <windows.h>
#endif

using zv::test::program_path;
using zv::test::run_program;

namespace {

std::string child() { return program_path("zv_test_child"); }

}  // namespace

#ifdef _WIN32
TEST(Build, Win32TreeIs32Bit) {
  EXPECT_EQ(sizeof(void*), 4u);
  // Not emulated x86-64 code either: the process is a genuine 32-bit one.
  SYSTEM_INFO si;
  GetSystemInfo(&si);
  EXPECT_EQ(si.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_INTEL);
}
#endif

TEST(Build, SanitizerOptionReachesCompiler) {
#if defined(ZV_SANITIZE)
#  if defined(__SANITIZE_ADDRESS__)
  SUCCEED();
#  elif defined(__has_feature)
#    if __has_feature(address_sanitizer)
  SUCCEED();
#    else
  FAIL() << "ZV_SANITIZE is defined but AddressSanitizer is not enabled";
#    endif
#  else
  FAIL() << "ZV_SANITIZE is defined but AddressSanitizer is not enabled";
#  endif
#else
  GTEST_SKIP() << "not a sanitizer build";
#endif
}

TEST(Build, ThreadsAndMutexesWork) {
  // The posix thread model (winpthreads, linked statically) under Wine.
  std::mutex m;
  long counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 10000; ++i) {
        std::lock_guard<std::mutex> lock(m);
        ++counter;
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(counter, 40000);
}

TEST(Fixtures, RepositoryFilesAreReadable) {
  std::string text = zv::test::read_file(zv::test::source_path("CMakeLists.txt"));
  EXPECT_NE(text.find("project(zarvo_bot"), std::string::npos);
}

TEST(Fixtures, MissingFileThrows) {
  EXPECT_THROW(zv::test::read_file(zv::test::source_path("no/such/file")),
               std::runtime_error);
}

TEST(RunProgram, ExitCodeAndSeparateStreams) {
  auto r = run_program(child(), {"exit", "42"});
  EXPECT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_code, 42);
  EXPECT_EQ(r.out, "out");
  EXPECT_EQ(r.err, "err");

  EXPECT_EQ(run_program(child(), {"exit", "0"}).exit_code, 0);
}

TEST(RunProgram, ArgumentsArriveUnchanged) {
  // Cases that break naive command-line quoting on Windows.
  std::vector<std::string> args = {
      "plain", "two words", "", "quote\"inside", "trailing\\",
      "C:\\dir with space\\", "back\\\\\"slash", "\xE6\x97\xA5\xE6\x9C\xAC"};
  std::vector<std::string> cmd = {"args"};
  cmd.insert(cmd.end(), args.begin(), args.end());
  auto r = run_program(child(), cmd);
  ASSERT_EQ(r.exit_code, 0) << r.err;
  std::string expected;
  for (const auto& a : args) expected += "<" + a + ">\n";
  EXPECT_EQ(r.out, expected);
}

TEST(RunProgram, StdinIsFed) {
  std::string data = "line 1\nline 2\n\x01\xff binary";
  zv::test::RunOptions opt;
  opt.stdin_data = data;
  auto r = run_program(child(), {"cat"}, opt);
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, data);
}

TEST(RunProgram, HangingChildIsKilled) {
  zv::test::RunOptions opt;
  opt.timeout_ms = 300;
  auto start = std::chrono::steady_clock::now();
  auto r = run_program(child(), {"sleep", "60000"}, opt);
  auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_TRUE(r.timed_out);
  EXPECT_NE(r.exit_code, 0);
  EXPECT_LT(elapsed, std::chrono::seconds(20));
}

TEST(RunProgram, MissingProgramThrows) {
  EXPECT_THROW(run_program(program_path("zv_no_such_program"), {}),
               std::runtime_error);
}

#ifdef _WIN32
TEST(Resources, VersionReachesResourceScripts) {
  std::wstring path;
  {
    std::string p = child();
    path.assign(p.begin(), p.end());  // ASCII build path
  }
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  ASSERT_GT(size, 0u) << "no version resource in " << child();
  std::vector<char> data(size);
  ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, data.data()));
  VS_FIXEDFILEINFO* info = nullptr;
  UINT len = 0;
  ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", (void**)&info, &len));
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(HIWORD(info->dwFileVersionMS), ZV_VERSION_MAJOR);
  EXPECT_EQ(LOWORD(info->dwFileVersionMS), ZV_VERSION_MINOR);
  EXPECT_EQ(HIWORD(info->dwFileVersionLS), ZV_VERSION_BUILD);
}
#endif
