// The key tables and the key argument, on their own (native and Windows).
#include <gtest/gtest.h>

#include <iterator>
#include <set>
#include <string>

#include "deskops_call.h"
#include "key_names.h"

using deskops_test::Arg;

namespace {

uint8_t code_of(const char* name) { return deskops::key_code_of_name(deskops_test::utf16(name).c_str()); }

// read_key on one argument: the code, or the message.
std::string key_of(const Arg& a) {
    ksc::Node* list = deskops_test::make_list({a});
    char16_t errbuf[256] = {};
    uint8_t code = 0;
    bool ok = deskops::read_key(list->value, &code, errbuf);
    deskops_test::free_list(list);
    return ok ? std::to_string(code) : deskops_test::utf8(errbuf);
}

}  // namespace

TEST(KeyNames, TableHoldsEveryNameOnceInCodeOrder) {
    size_t count = 0;
    const deskops::KeyName* table = deskops::key_name_table(&count);
    ASSERT_EQ(count, 160u);
    EXPECT_STREQ(table[0].name, "VK_LBUTTON");
    EXPECT_STREQ(table[count - 1].name, "VK_OEM_CLEAR");
    std::set<std::string> names;
    for (size_t i = 0; i < count; ++i) {
        EXPECT_TRUE(names.insert(table[i].name).second) << table[i].name;
        if (i > 0) EXPECT_LE(table[i - 1].code, table[i].code) << table[i].name;
    }
    // Aliases sit together, in the order the lookup meets them.
    for (size_t i = 0; i < count; ++i)
        if (std::string(table[i].name) == "VK_KANA") {
            EXPECT_STREQ(table[i + 1].name, "VK_HANGEUL");
            EXPECT_STREQ(table[i + 2].name, "VK_HANGUL");
        }
}

TEST(KeyNames, LookupIgnoresAsciiCaseAndWantsTheWholeName) {
    const struct {
        const char* name;
        int code;
    } cases[] = {
        {"VK_RETURN", 0x0D}, {"vk_return", 0x0D}, {"Vk_ReTuRn", 0x0D}, {"VK_F24", 0x87},
        {"VK_OEM_CLEAR", 0xFE}, {"VK_KANA", 0x15}, {"vk_hangeul", 0x15}, {"VK_HANGUL", 0x15},
        {"VK_KANJI", 0x19}, {"VK_HANJA", 0x19}, {"VK_OEM_NEC_EQUAL", 0x92}, {"vk_oem_fj_jisho", 0x92},
        {"VK_NUMPAD0", 0x60}, {"VK_NUMPAD9", 0x69}, {"VK_PA1", 0xFD}, {"VK_OEM_PA1", 0xEB},
        {"VK_LWIN", 0x5B}, {"VK_SLEEP", 0x5F}, {"VK_OEM_102", 0xE2}, {"VK_PACKET", 0xE7},
        // No letters, digits or partial names.
        {"VK_A", 0}, {"VK_1", 0}, {"VK_RETUR", 0}, {"VK_RETURNS", 0}, {"VK_", 0}, {" VK_RETURN", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(code_of(c.name), c.code) << c.name;
}

TEST(KeyNames, KeyArgumentOfEveryKind) {
    const struct {
        Arg arg;
        std::string code;
    } cases[] = {
        {13, "13"}, {321, "65"}, {-1, "255"}, {65.9, "65"}, {-2.9, "254"},
        {"A", "65"}, {"a", "97"}, {"1", "49"}, {"Apple", "65"}, {"", "0"},
        {"vk_return", "13"}, {"VK_TAB", "9"}, {"vk_nothing", "0"}, {"VK_", "0"}, {"vk", "118"},
        {Arg({65}), "引数に配列は指定できません。"}, {Arg({}), "引数に配列は指定できません。"},
    };
    for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(key_of(cases[i].arg), cases[i].code) << "case " << i;
}

TEST(KeyNames, ExtendedKeysAndFixedScanCodes) {
    std::string extended;
    for (int code = 1; code < 256; ++code)
        if (deskops::is_extended_key(uint8_t(code))) extended += std::to_string(code) + " ";
    EXPECT_EQ(extended,
              "3 13 33 34 35 36 37 38 39 40 44 45 46 91 92 93 111 144 160 161 162 163 164 165 166 167 168 169 "
              "170 171 172 173 174 175 176 177 178 179 180 181 182 183 ");
    const struct {
        int code, scan;
    } fixed[] = {
        {0x13, 0x45}, {0x90, 0x45}, {0x2C, 0x37}, {0x6A, 0x37}, {0x5B, 0x5B}, {0x5C, 0x5C}, {0x60, 0x52},
        {0x61, 0x4F}, {0x62, 0x50}, {0x63, 0x51}, {0x64, 0x4B}, {0x65, 0x4C}, {0x66, 0x4D}, {0x67, 0x47},
        {0x68, 0x48}, {0x69, 0x49}, {0x6B, 0x4E}, {0x6D, 0x4A}, {0x6E, 0x53}, {0x6F, 0x35}, {0xA0, 0x2A},
        {0xA1, 0x36}, {0xA2, 0x1D}, {0xA3, 0x1D}, {0xA4, 0x38}, {0xA5, 0x38},
    };
    int with_fixed = 0;
    for (int code = 0; code < 256; ++code)
        if (deskops::fixed_scan_code(uint8_t(code)) >= 0) ++with_fixed;
    EXPECT_EQ(with_fixed, int(std::size(fixed)));
    for (const auto& f : fixed) EXPECT_EQ(deskops::fixed_scan_code(uint8_t(f.code)), f.scan) << f.code;
    EXPECT_EQ(deskops::fixed_scan_code(0x0D), -1);  // from the keyboard layout
}
