// The scenario tree in memory: identifiers, places, group paths, name
// lookups, call-key texts and the naming rules.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "desktop.h"
#include "file_util.h"
#include "names.h"
#include "recorder_test_util.h"
#include "scenario.h"

namespace zvb {
namespace {

using namespace zvb::test;

ScenarioEntry* add(ScenarioEntry* head, const std::u16string& name, int32_t type) {
    ScenarioEntry* e = entry_new();
    entry_set_name(e, name);
    e->type = type;
    if (type == kTypeGroup) e->child = list_new();
    ScenarioEntry* last = head;
    while (last->next) last = last->next;
    last->next = e;
    return e;
}

TEST(ScenarioTree, IdentifiersPlacesPathsAndLookups) {
    // Daily/ { Reports/ { Export, Empty/ }, Mail }, Export, daily
    ScenarioEntry* root = list_new();
    ScenarioEntry* daily = add(root, u"Daily", kTypeGroup);
    ScenarioEntry* reports = add(daily->child, u"Reports", kTypeGroup);
    ScenarioEntry* deep_export = add(reports->child, u"Export", kTypeTimeline);
    ScenarioEntry* empty = add(reports->child, u"Empty", kTypeGroup);
    ScenarioEntry* mail = add(daily->child, u"Mail", kTypeScript);
    ScenarioEntry* top_export = add(root, u"Export", kTypeTimeline);
    ScenarioEntry* lower_daily = add(root, u"daily", kTypeTimeline);

    // Identifiers: distinct, non-negative, found anywhere; heads have none.
    std::vector<ScenarioEntry*> all = {daily, reports, deep_export, empty, mail, top_export, lower_daily};
    for (size_t i = 0; i < all.size(); ++i) {
        EXPECT_GE(all[i]->play_id, 0);
        EXPECT_EQ(tree_find_id(root, all[i]->play_id), all[i]);
        for (size_t j = 0; j < i; ++j) EXPECT_NE(all[i]->play_id, all[j]->play_id);
    }
    EXPECT_EQ(root->play_id, -1);
    EXPECT_EQ(tree_find_id(root, -1), nullptr);

    TreePlace place;
    ASSERT_TRUE(tree_find_place(root, empty, &place));
    EXPECT_EQ(place.head, reports->child);
    EXPECT_EQ(place.prev, deep_export);
    EXPECT_EQ(place.group, reports);
    ASSERT_TRUE(tree_find_place(root, daily, &place));
    EXPECT_EQ(place.prev, root);
    EXPECT_EQ(place.group, nullptr);
    EXPECT_TRUE(tree_contains(daily, empty));
    EXPECT_FALSE(tree_contains(reports, mail));

    EXPECT_EQ(tree_group_path(root, deep_export), u"Daily/Reports/Export");
    EXPECT_EQ(tree_group_path(root, reports), u"Daily/Reports/");
    EXPECT_EQ(tree_group_path(root, top_export), u"Export");

    struct Lookup {
        std::u16string name;
        ScenarioEntry* found;
        bool by_path;
    };
    const Lookup lookups[] = {
        {u"daily/REPORTS/export", deep_export, true},  // group path, case ignored
        {u"Daily/Reports/", reports, true},
        {u"Daily/Reports", nullptr, false},            // a group's path ends with '/'
        {u"Export", top_export, true},                 // a top-level path before any name
        {u"Mail", mail, false},                        // a plain name, depth-first
        {u"EMPTY", empty, false},
        {u"daily", lower_daily, true},                 // the timeline: "Daily" is "Daily/"
        {u"Nothing", nullptr, false},
    };
    for (const Lookup& l : lookups) {
        SCOPED_TRACE(std::string(l.name.begin(), l.name.end()));
        bool by_path = !l.by_path;
        EXPECT_EQ(tree_find_name(root, l.name, &by_path), l.found);
        if (l.found) {
            EXPECT_EQ(by_path, l.by_path);
        }
    }

    // Places follow the tree; members move with their group's path.
    ASSERT_TRUE(entry_set_place(daily, U16("data")));
    ASSERT_TRUE(entry_update_members(daily));
    std::u16string sep(1, kSep);
    EXPECT_EQ(std::u16string(deep_export->path), u"data" + sep + u"Daily" + sep + u"Reports" + sep + u"Export.zv");
    EXPECT_EQ(std::u16string(mail->folder), u"data" + sep + u"Daily");
    EXPECT_EQ(std::u16string(mail->path), u"data" + sep + u"Daily" + sep + u"Mail.ksc");
    EXPECT_EQ(entry_settings_path(empty), u"data" + sep + u"Daily" + sep + u"Reports" + sep + u"Empty.ini");
    EXPECT_FALSE(entry_set_place(mail, std::u16string(250, u'x')));  // path + ".ini" must fit 260 units
    EXPECT_FALSE(entry_set_name(mail, std::u16string(256, u'x')));
    EXPECT_EQ(std::u16string(mail->name), u"Mail");

    int32_t freed_id = mail->play_id;
    list_free(root);
    ScenarioEntry* later = entry_new();
    EXPECT_GT(later->play_id, freed_id);  // never handed out twice
    entry_free(later);
}

TEST(ScenarioTree, CallKeyTexts) {
    struct Row {
        int32_t modifiers, key;
        const char16_t* text;  // null: no text
    };
    const Row rows[] = {
        {6, 'A', u"Ctrl+Shift+A"},   {1 | 8, 0x74, u"Alt+Win+F5"}, {2, '7', u"Ctrl+7"},
        {2, 0, nullptr},             {15, 'Z', u"Ctrl+Shift+Alt+Win+Z"},
    };
    ScenarioEntry* e = entry_new();
    for (const Row& r : rows) {
        e->hotkey_modifiers = r.modifiers;
        e->hotkey_key = r.key;
        entry_update_hotkey_text(e);
        if (r.text) {
            ASSERT_NE(e->hotkey_text, nullptr);
            EXPECT_EQ(std::u16string(e->hotkey_text), r.text);
        } else {
            EXPECT_EQ(e->hotkey_text, nullptr);
        }
    }
    entry_free(e);
}

TEST(Names, RulesFoldingAndCopyNames) {
    struct Check {
        const char* name;
        int32_t message;
    };
    const Check checks[] = {
        {"", 1202},          {"Report 1", 0},  {"日本語の名前", 0}, {"a/b", 1203}, {"a\\b", 1203},
        {"a:b", 1203},       {"a*b", 1203},    {"a?b", 1203},       {"a\"b", 1203}, {"a<b", 1203},
        {"a>b", 1203},       {"a|b", 1203},    {".", 1203},         {"..", 1203},   {"name.", 1203},
        {"name ", 1203},     {"CON", 1203},    {"lpt1.txt", 1203},  {"COM0", 0},    {"CONSOLE", 0},
        {"tab\there", 1203}, {".hidden", 0},
    };
    for (const Check& c : checks) EXPECT_EQ(name_check_text(U16(c.name)), c.message) << c.name;
    EXPECT_EQ(name_check_text(std::u16string(255, u'x')), 0);
    EXPECT_EQ(name_check_text(std::u16string(256, u'x')), 1203);

    EXPECT_TRUE(name_equal(u"Report", u"rEPORT"));
    EXPECT_TRUE(name_equal(U16("ÄÖÜ éß").c_str(), U16("äöü Éß").c_str()));
    EXPECT_TRUE(name_equal(U16("Ｒｅｐｏｒｔ").c_str(), U16("ｒｅｐｏｒｔ").c_str()));
    EXPECT_TRUE(name_equal(U16("Отчёт").c_str(), U16("ОТЧЁТ").c_str()));
    EXPECT_FALSE(name_equal(u"Report", u"Reports"));
    EXPECT_FALSE(name_equal(U16("レポート").c_str(), U16("れぽーと").c_str()));

    // Copy names: free in the list and in the folder.
    TempFolder dir;
    ScenarioEntry* head = list_new();
    add(head, u"A", kTypeTimeline);
    EXPECT_EQ(copy_name(head, U(dir.root), u"B"), u"B");
    EXPECT_EQ(copy_name(head, U(dir.root), u"a"), U16("a - コピー"));
    add(head, U16("A - コピー"), kTypeTimeline);
    EXPECT_EQ(copy_name(head, U(dir.root), u"A"), U16("A - コピー (1)"));
    put_bytes(dir / "A - コピー (1).ksc", "");
    fs::create_directory(dir / "a - コピー (2)");
    EXPECT_EQ(copy_name(head, U(dir.root), u"A"), U16("A - コピー (3)"));
    EXPECT_TRUE(name_taken(U(dir.root), U16("A - コピー (2)")));
    EXPECT_FALSE(name_taken(U(dir.root), U16("A - コピー (1).ksc")));
    list_free(head);
}

}  // namespace
}  // namespace zvb
