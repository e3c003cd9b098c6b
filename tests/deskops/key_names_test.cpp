// The key tables and the key argument, on their own (native and Windows).
#include <gtest/gtest.h>

#include <iterator>
#include <set>
#include <string>

#include "deskops_call.h"
#include "key_names.h"

using deskops_test::Arg;

namespace {

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
        if (i > 0) {
            EXPECT_LE(table[i - 1].code, table[i].code) << table[i].name;
        }
    }
}

TEST(KeyNames, KeyArgumentOfEveryKind) {
    const struct {
        Arg arg;
        std::string code;
    } cases[] = {
        {13, "13"}, {321, "65"}, {-1, "255"}, {65.9, "65"}, {-2.9, "254"},
        // One-character strings through the ANSI code page: "a" is 0x61.
        {"A", "65"}, {"a", "97"}, {"1", "49"}, {"Apple", "65"}, {"", "0"}, {"vk", "118"},
        // Names: ASCII case ignored, whole names only, aliases all there.
        {"VK_RETURN", "13"}, {"Vk_ReTuRn", "13"}, {"VK_F24", "135"}, {"VK_OEM_CLEAR", "254"}, {"VK_KANA", "21"},
        {"vk_hangeul", "21"}, {"VK_HANGUL", "21"}, {"VK_KANJI", "25"}, {"VK_HANJA", "25"}, {"VK_NUMPAD9", "105"},
        {"VK_OEM_NEC_EQUAL", "146"}, {"vk_oem_fj_jisho", "146"}, {"VK_PA1", "253"}, {"VK_OEM_PA1", "235"},
        {"VK_SLEEP", "95"}, {"VK_A", "0"}, {"VK_RETUR", "0"}, {"VK_RETURNS", "0"}, {"VK_", "0"}, {" VK_RETURN", "32"},
        {Arg({65}), "引数に配列は指定できません。"},
    };
    for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(key_of(cases[i].arg), cases[i].code) << "case " << i;
}

TEST(KeyNames, ExtendedKeysAndFixedScanCodes) {
    std::string extended, fixed;
    for (int code = 1; code < 256; ++code) {
        if (deskops::is_extended_key(uint8_t(code))) extended += std::to_string(code) + " ";
        if (int scan = deskops::fixed_scan_code(uint8_t(code)); scan >= 0)
            fixed += std::to_string(code) + ":" + std::to_string(scan) + " ";
    }
    EXPECT_EQ(extended,
              "3 13 33 34 35 36 37 38 39 40 44 45 46 91 92 93 111 144 160 161 162 163 164 165 166 167 168 169 "
              "170 171 172 173 174 175 176 177 178 179 180 181 182 183 ");
    // Every other key takes its scan code from the keyboard layout.
    EXPECT_EQ(fixed,
              "19:69 44:55 91:91 92:92 96:82 97:79 98:80 99:81 100:75 101:76 102:77 103:71 104:72 105:73 106:55 "
              "107:78 109:74 110:83 111:53 144:69 160:42 161:54 162:29 163:29 164:56 165:56 ");
}
