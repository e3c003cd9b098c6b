// Values: name hashes and keys, assignment copy, text forms of numbers and
// arrays, the two readings of text, and the lifetime of element references.
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>

#include "ksc_harness.h"
#include "platform.h"
#include "value.h"

using namespace ksc;
using namespace ksc_test;

namespace {

std::string fmt(double d) { return u8(format_real(d)); }

Node* int_node(int32_t i, const char16_t* key = nullptr) {
    Node* n = node_new();
    value_set_int(n->value, i);
    node_set_key(n, key);
    return n;
}

}  // namespace

TEST(Names, HashAndAsciiFolding) {
    // "key": 121 + 2 * (101 + 2 * 107); "a" * n hashes to 97 * (2^n - 1) mod
    // 2^32, and from n = 32 on only -97 is left.
    const std::pair<std::u16string, int32_t> hashes[] = {
        {u"", 0}, {u"a", 97}, {u"key", 751}, {u"\u00e9", 0xE9}, {std::u16string(31, u'a'), 2147483551},
        {std::u16string(32, u'a'), -97}, {std::u16string(1000, u'a'), -97}};
    for (const auto& h : hashes) EXPECT_EQ(name_hash(h.first.c_str()), h.second) << h.first.size();

    char16_t* low = lower_dup(u"AbZ_9\u00c0\u0391\uff21");
    EXPECT_EQ(std::u16string(low), u"abz_9\u00c0\u0391\uff21");
    zv::heap_free(low);
    Node* n = int_node(0, u"MyKey");
    EXPECT_EQ(std::u16string(n->name), u"mykey");
    EXPECT_TRUE(name_equal(n, u"mykey", name_hash(u"mykey")));
    node_free(n);

    EXPECT_EQ(out("Total = 4; print(TOTAL + total)"), "8");
}

TEST(Assignment, NormalisesRealsAndCopiesDeeply) {
    const std::pair<double, bool> cases[] = {{2.0, true},          {-0.0, true},          {2.5, false},
                                             {-2147483648.0, true}, {2147483647.0, true},  {2147483648.0, false},
                                             {-2147483649.0, false}, {1e300, false}};
    for (const auto& c : cases) {
        Node* src = node_new();
        Node* dst = node_new();
        value_set_real(src->value, c.first);
        ASSERT_TRUE(value_assign(dst->value, src->value));
        EXPECT_EQ(dst->value->kind, c.second ? kInt : kReal) << c.first;
        EXPECT_EQ(value_number(dst->value), c.first);
        node_free(src);
        node_free(dst);
    }
    EXPECT_EQ(eval("{2.0}"), "{2}");

    // Labels are not copied, names and hashes are.
    Node* src = node_new();
    Node* e = int_node(7, u"K");
    e->label = str_dup(u"K");
    src->value->kind = kArray;
    src->value->data.a = e;
    Node* dst = node_new();
    value_set_string(dst->value, str_dup(u"old"));
    ASSERT_TRUE(value_assign(dst->value, src->value));
    Node* c = dst->value->data.a;
    EXPECT_TRUE(c != e && c->label == nullptr && c->hash == e->hash && std::u16string(c->name) == u"k");
    node_free(src);
    node_free(dst);

    EXPECT_EQ(out("a = {1, {2}}; b = a; b[0] = 9; b[1][0] = 8; print(\"\" + a[0] + a[1][0] + b[0] + b[1][0])"), "1298");
    EXPECT_EQ(eval("{1, {5, 6}}[1]"), "{5,6}");
    EXPECT_EQ(out("a = {1, {5, 6}}; a = a[1]; print(a[0] + a[1])"), "11");  // source inside the old value
}

// Expected texts are written out: a Windows C runtime does not print every
// digit exactly. Where glibc is at hand it confirms them.
TEST(RealText, SixteenDigitsCorrectlyRounded) {
    const std::string e300 =
        "1000000000000000052504760255204420248704468581108159154915854115511802457988908195786371375080447864043704"
        "4438328838781769425232353604305756447921847867069828483872009265758037378302337947880900593689532349707999"
        "45081119038967640880074652742780142494579258788820056842838115669472196386865459400540160.0000000000000000";
    const std::string max =
        "1797693134862315708145274237317043567980705675258449965989174768031572607800285387605895586327668781715404"
        "5895351438246423432132688946418276846754670353751698604991057655128207624549009038932894407586850845513394"
        "2304583236903222948165808559332123348274797826204144723168738177180919299881250404026184124858368"
        ".0000000000000000";
    ASSERT_EQ(e300.size(), 301u + 17u);
    const std::pair<double, std::string> cases[] = {
        {0.1, "0.1000000000000000"}, {0.5, "0.5000000000000000"}, {-0.5, "-0.5000000000000000"},
        {-0.0, "-0.0000000000000000"}, {123456789.123, "123456789.1229999959468842"},
        {1e-17, "0.0000000000000000"}, {-1e-17, "-0.0000000000000000"},
        {5e-17, "0.0000000000000000"},  // the double lies just below 5e-17
        {5.5e-17, "0.0000000000000001"}, {0.99999999999999989, "0.9999999999999999"},
        // exact ties at the 17th digit round to even
        {1.0 / 131072, "0.0000076293945312"}, {3.0 / 131072, "0.0000228881835938"},
        {9007199254740991.0, "9007199254740991.0000000000000000"},
        {9007199254740994.0, "9007199254740994.0000000000000000"},
        {4503599627370495.5, "4503599627370495.5000000000000000"},
        {1e300, e300}, {DBL_MAX, max}, {-DBL_MAX, "-" + max}, {4.9406564584124654e-324, "0.0000000000000000"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fmt(c.first), c.second);
#ifndef _WIN32
        char buf[400];
        snprintf(buf, sizeof buf, "%.16f", c.first);
        EXPECT_EQ(buf, c.second) << "the expected text itself is wrong";
#endif
    }
    EXPECT_EQ(out("print(\"x=\" + 0.25 + \",n\" + -4)"), "x=0.2500000000000000,n-4");
    EXPECT_EQ(out("print(9007199254740993.0)"), "9007199254740992.0000000000000000");  // 2^53 + 1 reads as 2^53
}

#ifndef _WIN32
TEST(RealText, AgreesWithGlibcOnRandomDoubles) {
    std::mt19937_64 rng(12345);
    int mismatches = 0;
    for (int i = 0; i < 20000 && mismatches < 5; ++i) {
        uint64_t bits = rng();
        if (i % 2) bits = (bits & 0x800FFFFFFFFFFFFFull) | ((963 + rng() % 120) << 52);  // 2^-60 .. 2^60
        double d;
        memcpy(&d, &bits, sizeof d);
        if (!std::isfinite(d)) continue;
        char want[400];
        snprintf(want, sizeof want, "%.16f", d);
        if (fmt(d) != want) {
            ADD_FAILURE() << std::hex << bits << ": " << fmt(d) << " != " << want;
            ++mismatches;
        }
    }
}
#endif

TEST(IntegerAndArrayText, DecimalHexKeysEscapes) {
    EXPECT_EQ(u8(format_int(INT_MAX) + u" " + format_int(INT_MIN) + u" " + format_int(-1)),
              "2147483647 -2147483648 -1");
    EXPECT_EQ(u8(format_int(0, true) + u" " + format_int(255, true) + u" " + format_int(INT_MIN, true)),
              "0x0 0xFF 0x80000000");
    EXPECT_EQ(eval("{1, \"k\": \"x\", {}}"), "{1,\"k\":\"x\",{}}");
    EXPECT_EQ(eval("{{1, {2, \"a\"}}, -3, 0.5}"), "{{1,{2,\"a\"}},-3,0.5000000000000000}");
    // Values are escaped, keys are written as they are.
    EXPECT_EQ(eval("{\"a\\\"b\\\\\": \"\\b\\t\\n\\r\\\"\\\\z\"}"), "{\"a\"b\\\":\"\\b\\t\\n\\r\\\"\\\\z\"}");
    // A variable inside a literal gives the element its (lower-cased) name.
    EXPECT_EQ(out("Count = 3; error({Count, 1})"), "{\"count\":3,1}\n");
    RunOptions hex;
    hex.hex = true;
    EXPECT_EQ(run_ksc("exit {16, {-1}, 1.5, \"10\"}", hex).result, "{0x10,{0xFFFFFFFF},1.5000000000000000,\"10\"}");

    // A label (the key as its producer wrote it) wins over the name.
    Node* a = node_new();
    Node* labelled = int_node(255, u"Width");
    labelled->label = str_dup(u"Width");
    labelled->next = int_node(-1, u"Height");
    a->value->kind = kArray;
    a->value->data.a = labelled;
    EXPECT_EQ(u8(value_display(a->value, false)), "{\"Width\":255,\"height\":-1}");
    EXPECT_EQ(u8(value_display(a->value, true)), "{\"Width\":0xFF,\"height\":0xFFFFFFFF}");
    EXPECT_EQ(u8(value_text(a->value)), "");
    node_free(a);
}

TEST(TextReading, IntegerAndRealReadings) {
    struct {
        const char16_t* text;
        int32_t i;
        double r;
    } cases[] = {
        {u"", 0, 0},          {u"  42", 42, 42},        {u"\t\n-7", -7, -7},       {u"+5", 5, 5},
        {u"12abc", 12, 12},   {u"abc", 0, 0},           {u"-", 0, 0},             {u"1.5e3", 1, 1500},
        {u".5", 0, 0.5},      {u"-2.5E-1x", -2, -0.25}, {u"7.", 7, 7},            {u"1e+", 1, 1},
        {u"2147483648", INT_MIN, 2147483648.0},         {u"4294967297", 1, 4294967297.0},
        {u"99999999999999999999", 1661992959, 1e20},    {u"9007199254740993", 1, 9007199254740992.0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(read_integer(c.text), c.i) << u8(c.text);
        EXPECT_EQ(read_real(c.text), c.r) << u8(c.text);
    }
    EXPECT_EQ(read_real((std::u16string(600, u'0') + u"1.25").c_str()), 1.25);
}

// An element reference outlives its array when the array is replaced in the
// same statement; the sanitizers watch these runs.
TEST(ElementReference, SurvivesReplacementOfItsArray) {
    const std::pair<const char*, const char*> cases[] = {
        {"a = {1,2}; a[0] = a = 5; print(a)", "5"},
        {"a = {{1}}; a[0][0] = a = 0; print(a)", "0"},
        {"a = {1}; a[0]++, a = 0; print(a)", "0"},
        {"a = {1}; a[0] += int(a = 3); print(a)", "3"},
        {"a = {1}; b = a[0] + int(a = 4) + a; print(b)", "9"},
        {"a = {1}; b = {a[0], a = 4}; print(b[0] + b[\"a\"])", "5"},
    };
    for (const auto& c : cases) {
        RunOutput r = run_ksc(c.first);
        EXPECT_TRUE(r.rc == 0 && r.errors.empty()) << c.first;
        EXPECT_EQ(r.printed, c.second) << c.first;
        EXPECT_EQ(pinned_count(), 0u) << c.first;
    }
    EXPECT_EQ(run_ksc("a = {1}; a[0] = int(a = 0) / 0").rc, -1);
    EXPECT_EQ(pinned_count(), 0u);
}
