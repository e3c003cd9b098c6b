// Registered with LOCALES: ctest runs it once with LANG/LC_ALL=C.UTF-8 and
// once with ja_JP.UTF-8.  Checks that the requested locale really is in
// effect, so locale-dependent engine tests do not pass vacuously.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>

#ifdef _WIN32
#  include <windows.h>
#else
#  include <langinfo.h>
#endif

namespace {

std::string requested() {
  const char* v = std::getenv("LC_ALL");
  return v ? v : "";
}

bool japanese() { return requested().rfind("ja_JP", 0) == 0; }

}  // namespace

TEST(Locale, RequestedLocaleIsInEffect) {
  if (requested().empty()) GTEST_SKIP() << "LC_ALL not set (run via ctest)";
#ifdef _WIN32
  // Wine derives the user locale and code pages from LANG/LC_ALL.
  if (japanese()) {
    EXPECT_EQ(GetACP(), 932u);
    EXPECT_EQ(PRIMARYLANGID(GetUserDefaultLangID()), LANG_JAPANESE);
  } else {
    EXPECT_NE(GetACP(), 932u);
    EXPECT_NE(PRIMARYLANGID(GetUserDefaultLangID()), LANG_JAPANESE);
  }
#else
  // setlocale fails if the locale was not generated (locale-gen).
  ASSERT_NE(std::setlocale(LC_ALL, ""), nullptr)
      << requested() << " is not installed";
  EXPECT_STREQ(nl_langinfo(CODESET), "UTF-8");
  // Sunday: Japanese locale data, not the C fallback.
  if (japanese())
    EXPECT_STREQ(nl_langinfo(DAY_1), "\xE6\x97\xA5\xE6\x9B\x9C\xE6\x97\xA5");
  else
    EXPECT_STREQ(nl_langinfo(DAY_1), "Sunday");
  std::setlocale(LC_ALL, "C");
#endif
}
