// The library's pure algorithms on their own: wildcard matching, JSON reading
// and writing, Base64, percent-coding, header blocks, the frame's arithmetic
// and records.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "codec.h"
#include "deskops_call.h"
#include "frame.h"
#include "json.h"
#include "platform.h"
#include "wildcard.h"

using deskops_test::render;
using deskops_test::utf16;
using deskops_test::utf8;

namespace {

bool match(const std::string& pattern, const std::string& text) {
    return deskops::wildcard_match(utf16(pattern).c_str(), utf16(text).c_str());
}

// Reads JSON (UTF-8) and renders the result; frees it.
std::string read_json(const std::string& text) {
    ksc::Node* holder = deskops_test::make_list({0});
    EXPECT_TRUE(deskops::json_read(utf16(text).c_str(), holder->value));
    std::string out = render(holder->value);
    deskops_test::free_list(holder);
    return out;
}

std::string unescape(const std::string& s) {
    std::u16string in = utf16(s), out(in.size() + 1, u'\0');
    out.resize(deskops::json_unescape(in.data(), in.size(), &out[0]));
    return utf8(out);
}

}  // namespace

TEST(Wildcard, WholeTextAsciiCaseFolded) {
    const struct {
        const char *pattern, *text;
        bool match;
    } cases[] = {
        {"*.TXT", "readme.txt", true}, {"a?c", "ac", false},  {"a?c", "abc", true},   {"*", "", true},
        {"", "", true},                {"", "a", false},      {"a", "", false},       {"*a", "", false},
        {"*b*", "abc", true},          {"a*c", "abcbd", false}, {"a*c*", "abcbd", true}, {"**?", "x", true},
        {"?", "", false},              {"Ä", "ä", false},     {"メモ*", "メモ帳", true}, {"*a*a*b", "aaab", true},
    };
    for (const auto& c : cases) EXPECT_EQ(match(c.pattern, c.text), c.match) << c.pattern << " / " << c.text;
}

TEST(Wildcard, ManyStarsStayFast) {
    // Backtracking into every star would take exponential time here.
    std::string pattern;
    for (int i = 0; i < 40; ++i) pattern += "*a";
    EXPECT_FALSE(match(pattern + "b", std::string(20000, 'a')));
    EXPECT_TRUE(match(pattern + "b", std::string(20000, 'a') + "b"));
}

TEST(JsonReader, UnescapesInOnePass) {
    EXPECT_EQ(unescape(R"(q\"a\'b\\c)"), "q\"a'b\\c");
    EXPECT_EQ(unescape(R"(\b\n\r\t)"), "\b\n\r\t");
    EXPECT_EQ(unescape(R"(\101\x41\u3042\U0041)"), "AAあA");
    EXPECT_EQ(unescape(R"(\1234567|\177777)"), "\xEA\x9C\xAE" "7|\xEF\xBF\xBF");  // U+A72E, U+FFFF
    // An escaped backslash is not read again as the start of an escape.
    EXPECT_EQ(unescape(R"(C:\\users\\x41)"), R"(C:\users\x41)");
    // Unknown sequences and escapes without digits stay as written.
    EXPECT_EQ(unescape(R"(\/\q\x\uZ)"), R"(\/\q\x\uZ)");
}

// Lenient syntax; malformed input stops the reader: what was built stays,
// an element made for the failing value holds 0.
TEST(JsonReader, ValuesAndLenientSyntax) {
    const char* const cases[][2] = {
        {R"({"Name": "x", "n": [1, 2.5, true, null]})", R"({"Name":"x","n":{1,2.5000000000000000,1,0}})"},
        {"5", "0"}, {"", "0"}, {"[1,,2,]", "{1,2}"}, {"[1 2]", "{1,2}"}, {"{}", "{}"},
        {"\xEF\xBB\xBF\xE3\x80\x80[TRUE, False, NULL]", "{1,0,0}"},  // byte-order mark, U+3000
        {R"(["C:\\", "x"])", R"({"C:\","x"})"}, {R"({"a\"b": 1})", R"({"a\"b":1})"},  // names taken as written
        {"[-.5, 1., -0, 2147483647, -2147483648]", "{-0.5000000000000000,1.0000000000000000,0,2147483647,-2147483648}"},
        // Integers beyond 32 bits keep their value as reals.
        {"[2147483648, 1700000000000]", "{2147483648.0000000000000000,1700000000000.0000000000000000}"},
        {"[1, :, 2]", "{1,0}"}, {R"({"a": 1, "b" 2, "c": 3})", R"({"a":1})"}, {R"({"a": })", R"({"a":0})"},
        {"[1, 2", "{1,2}"}, {"[1.2.3, 4]", "{0}"}, {"[-, 4]", "{0}"}, {"[nul, 4]", "{0}"}, {"[1, 1e5]", "{1,1,0}"},
        {R"(["open)", "{0}"},
    };
    for (const auto& c : cases) EXPECT_EQ(read_json(c[0]), c[1]) << c[0];
}

TEST(JsonReader, DeepNestingStopsAtTheBound) {
    std::string text = std::string(10000, '[') + std::string(10000, ']');
    ksc::Node* holder = deskops_test::make_list({0});
    ASSERT_TRUE(deskops::json_read(utf16(text).c_str(), holder->value));
    int depth = 0;
    ksc::Value* v = holder->value;
    while (v->kind == ksc::kArray && v->data.a) {
        v = v->data.a->value;
        ++depth;
    }
    EXPECT_EQ(depth, deskops::kJsonMaxDepth);  // the last container holds the 0 of the refused one
    deskops_test::free_list(holder);
}

TEST(JsonWriter, ObjectsArraysAndEscapes) {
    using deskops_test::Arg;
    ksc::Node* list = deskops_test::make_list(
        {Arg(1).keyed("a"), Arg("x").keyed("B"), Arg({1.5, Arg({}), "q\"\\\b\t\n\r/あ", Arg({7}).keyed("k")})});
    size_t len = 0;
    char16_t* text = deskops::json_write(list, &len);
    EXPECT_EQ(utf8(std::u16string(text, len)),
              R"({"a": 1, "B": "x", [1.5000000000000000, [], "q\"\\\b\t\n\r/あ", "k": [7]]})");
    zv::heap_free(text);
    deskops_test::free_list(list);

    text = deskops::json_write(nullptr, &len);
    EXPECT_EQ(utf8(text), "[]");
    zv::heap_free(text);
}

TEST(JsonWriter, DeepArraysWithoutRecursion) {
    // Scripts can nest arrays deeper than any reader would: the writer keeps
    // its own stack.
    const int depth = 200000;
    ksc::Node* inner = nullptr;
    for (int i = 0; i < depth; ++i) {
        ksc::Node* n = deskops_test::make_list({0});
        n->value->kind = ksc::kArray;
        n->value->data.a = inner;
        inner = n;
    }
    size_t len = 0;
    char16_t* text = deskops::json_write(inner, &len);
    EXPECT_EQ(len, size_t(2 * depth + 2));
    zv::heap_free(text);
    while (inner) {  // free without recursion
        ksc::Node* next = inner->value->data.a;
        inner->value->kind = ksc::kInt;
        deskops_test::free_list(inner);
        inner = next;
    }
}

TEST(JsonRoundTrip, LargeDocumentInLinearTime) {
    // 300,000 elements: a quadratic append or writer would run for minutes.
    std::string text = "{\"items\": [";
    for (int i = 0; i < 100000; ++i) text += (i ? ", " : "") + std::string("{\"id\": ") + std::to_string(i) + ", \"v\": \"s\\\\\"}";
    text += "]}";
    ksc::Node* holder = deskops_test::make_list({0});
    ASSERT_TRUE(deskops::json_read(utf16(text).c_str(), holder->value));
    size_t len = 0;
    char16_t* out = deskops::json_write(holder->value->data.a, &len);
    EXPECT_EQ(utf8(std::u16string(out, len)), text);
    zv::heap_free(out);
    deskops_test::free_list(holder);
}

TEST(Base64, EncodeAndDecode) {
    const char* vectors[][2] = {{"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},        {"foo", "Zm9v"},
                                {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}};
    for (auto& v : vectors) {
        std::string raw = v[0];
        EXPECT_EQ(utf8(deskops::base64_encode(reinterpret_cast<const unsigned char*>(raw.data()), raw.size())), v[1]);
        EXPECT_EQ(deskops::base64_decode(v[1]), raw);
    }
    EXPECT_EQ(deskops::base64_decode(" Zm\r\n9v\tYg = ignored"), "foob");
    EXPECT_EQ(deskops::base64_decode("Z"), "");           // a lone last character gives nothing
    EXPECT_EQ(deskops::base64_decode("!!!!"), std::string(3, '\0'));  // outside the alphabet: 0
}

TEST(PercentCoding, EncodeAndDecode) {
    EXPECT_EQ(utf8(deskops::url_encode("a b&c-._~\xE3\x81\x82")), "a%20b%26c-._~%E3%81%82");
    EXPECT_EQ(deskops::url_decode("a+b%20c"), "a+b c");
    EXPECT_EQ(deskops::url_decode("%00x%zz%4%e3%81%82%"), "xzz\x04\xE3\x81\x82");
}

TEST(HeaderBlock, FieldsInOrder) {
    auto fields = [](const std::string& text) {
        std::string out;
        std::u16string t = utf16(text);
        long n = deskops::header_fields(
            t.c_str(),
            [](const deskops::HeaderField& f, void* ctx) {
                *static_cast<std::string*>(ctx) += "[" + utf8(std::u16string(f.name, f.name_len)) + "=" +
                                                   utf8(std::u16string(f.value, f.value_len)) + "]";
                return true;
            },
            &out);
        return std::to_string(n) + out;
    };
    EXPECT_EQ(fields("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n"), "1[Content-Type=text/html]");
    EXPECT_EQ(fields("  http/2 404"), "0");
    EXPECT_EQ(fields("A:1\n\n  B :\t2 \r\nNoColon\r\n   \r\nA: 3"), "4[A=1][B =2 ][NoColon=][A=3]");
    EXPECT_EQ(fields(""), "0");
}

TEST(Frame, ScalingArithmetic) {
    EXPECT_EQ(deskops::mul_div(100, 150, 100), 150);
    EXPECT_EQ(deskops::mul_div(1, 100, 150), 1);  // 0.67 rounds to 1
    EXPECT_EQ(deskops::mul_div(-1, 1, 2), -1);    // halves round away from zero
    EXPECT_EQ(deskops::mul_div(5, 5, 0), -1);
    int32_t saved_awareness = deskops::dpi_awareness(), saved_percent = deskops::scale_percent();
    deskops::set_display_scale(0, 150);
    EXPECT_EQ(deskops::to_physical(100), 100);
    deskops::set_display_scale(1, 150);
    EXPECT_EQ(deskops::to_physical(100), 150);
    EXPECT_EQ(deskops::to_logical(150), 100);
    deskops::set_display_scale(saved_awareness, saved_percent);

    EXPECT_EQ(deskops::truncate_real(2.9), 2);
    EXPECT_EQ(deskops::truncate_real(-2.9), -2);
    EXPECT_EQ(deskops::truncate_real(NAN), INT32_MIN);
    EXPECT_EQ(deskops::truncate_real(3e9), INT32_MIN);
    EXPECT_EQ(utf8(deskops::format_real(1.5)), "1.5000000000000000");
}

TEST(Frame, KeyedElementsCarryNameLabelAndHash) {
    ksc::Node* holder = deskops_test::make_list({0});
    deskops::ListBuilder b;
    deskops::list_start(holder->value, &b);
    ksc::Node* e = deskops::list_add(&b);
    ASSERT_TRUE(deskops::element_set_key(e, u"Content-Type", 12));
    EXPECT_EQ(utf8(e->name), "content-type");
    EXPECT_EQ(utf8(e->label), "Content-Type");
    uint32_t h = 0;
    for (char16_t c : std::u16string(u"content-type")) h = c + 2u * h;
    EXPECT_EQ(e->hash, int32_t(h));
    ASSERT_TRUE(deskops::element_set_key(deskops::list_add(&b), u"", 0));
    EXPECT_EQ(render(holder->value), "{\"Content-Type\":0,0}");
    deskops_test::free_list(holder);
}
