// The scenario store on temporary data folders: loading, re-synchronising
// with files added and removed by hand, the list files byte for byte, and
// every edit checked in the tree and on disk.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "list_file.h"
#include "profile.h"
#include "recorder_test_util.h"
#include "settings.h"
#include "store.h"

namespace zvb {
namespace {

using namespace zvb::test;

// A store on a fresh user folder, with a prompt that records questions.
struct StoreFixture : ::testing::Test {
    TempFolder dir;
    Store store;
    std::vector<int32_t> asked;
    bool answer = true;
    UserPrompt prompt = {
        [](void* ctx, const Message& m) {
            auto* self = static_cast<StoreFixture*>(ctx);
            self->asked.push_back(m.number);
            return self->answer;
        },
        nullptr, this};

    void SetUp() override {
        Message error;
        ASSERT_TRUE(store_open(&store, U(dir.root), &error));
    }
    void TearDown() override { store_close(&store); }
    fs::path data(const std::string& rel = "") const { return rel.empty() ? dir / "data" : dir / ("data/" + rel); }
    std::string files() const { return listing(data()); }
    std::string tree() const { return tree_text(store.root); }
    ScenarioEntry* find(const std::string& group_path) {
        return tree_find_name(store.root, U16(group_path), nullptr);
    }
};

std::string list_record(const std::string& name, int32_t type, int32_t expanded, uint32_t size = 524) {
    std::string r = le32(size) + text_field(name, 256) + le32(uint32_t(type)) + le32(uint32_t(expanded));
    r.resize(size, 'x');
    return r;
}

TEST_F(StoreFixture, LoadResyncAndListFiles) {
    for (const char* f : {"b.zv", "a.ksc", "c.zv", "c.ksc", ".zv", "notes.txt", "G/x.zv", "G/y.ksc", "G/S/.keep"})
        fs::create_directories(data(f).parent_path()), put_bytes(data(f), "");
    put_bytes(data("a.ksc.ini"), "[OPTION]\r\nloop_count=3\r\ncheck_busy = 0\r\nloop_count=9\r\n"  // the first counts
                                 "[HOTKEY]\r\nmodifiers=2\r\nvirtkey=65\r\n");
    put_bytes(dir / "zarvo-bot.ini", "[LIST]\r\nb=0\r\na=1\r\nzz=1\r\n");
#ifndef _WIN32
    fs::create_directory_symlink(data("G"), data("L"));  // a link back into the tree is no group
#endif
    store_load(&store);
    // LIST order first (zz has no files), then what the folder adds, by name;
    // c is a converted script (its timeline stays beside it).
    EXPECT_EQ(tree(), "b a* c* G/(S/() x y*)");
    ScenarioEntry* a = find("a");
    EXPECT_EQ(a->loop_count, 3);
    EXPECT_EQ(a->check_busy, 0);
    EXPECT_EQ(a->check_window_title, 1);
    EXPECT_EQ(a->recovery_window_pos, 0);
    ASSERT_NE(a->hotkey_text, nullptr);
    EXPECT_EQ(std::u16string(a->hotkey_text), u"Ctrl+A");
    EXPECT_EQ(std::u16string(find("G/y")->path), U(data("G/y.ksc")));
    EXPECT_TRUE(find("G/")->expanded);

    ASSERT_TRUE(store_save(&store));
    EXPECT_EQ(bytes_of(dir / "data.lst"),
              list_record("b", 0, 0) + list_record("a", 1, 0) + list_record("c", 1, 0) + list_record("G", 2, 1));
    EXPECT_EQ(bytes_of(data("G.lst")), list_record("S", 2, 1) + list_record("x", 0, 0) + list_record("y", 1, 0));
    EXPECT_EQ(bytes_of(data("G/S.lst")), "");

    // By hand: b goes, a timeline appears in S, G collapses in its list.
    fs::remove(data("b.zv"));
    put_bytes(data("G/S/new.zv"), "");
    store_resync(&store);
    EXPECT_EQ(tree(), "a* c* G/(S/(new) x y*)");
    find("G/")->expanded = 0;
    store_save(&store);

    // A second start reads the lists (LIST is no longer used).
    Store again;
    Message error;
    ASSERT_TRUE(store_open(&again, U(dir.root), &error));
    store_load(&again);
    EXPECT_EQ(tree_text(again.root), "a* c* G/(S/(new) x y*)");
    EXPECT_FALSE(tree_find_name(again.root, u"G/", nullptr)->expanded);
    store_close(&again);
}

TEST_F(StoreFixture, HostileListFilesAreReadSafely) {
    for (const char* f : {"a.zv", "b.zv", "c.zv", "d.zv", "G/x.zv"})
        fs::create_directories(data(f).parent_path()), put_bytes(data(f), "");
    put_bytes(dir / "data.lst", list_record("d", 0, 0, 600) +  // longer record: the rest is skipped
                                    list_record("a:b", 0, 0) + list_record("..", 2, 1) + list_record("c", 7, 0) +
                                    list_record("D", 0, 0) +  // the same name again
                                    list_record("G", 2, 1) + list_record("a", 0, 0, 520) + le32(2) +
                                    list_record("b", 0, 0));
    put_bytes(data("G.lst"), list_record("x", 0, 0).substr(0, 300));  // cut short
    store_load(&store);
    EXPECT_EQ(tree(), "d G/(x) a b c");
    EXPECT_EQ(list_bytes(store.root).size(), 5u * 524);
#ifndef _WIN32
    // A list that names a group whose list is itself (through a link): the
    // reading stops at the depth limit, re-synchronisation drops the rest.
    put_bytes(data("G.lst"), list_record("G", 2, 1));
    fs::create_symlink("../G.lst", data("G/G.lst"));
    store_load(&store);
    EXPECT_EQ(tree(), "d G/(x) a b c");
#endif
}

TEST_F(StoreFixture, CreateRenameAndNames) {
    Message error;
    ScenarioEntry* g = store_create_group(&store, nullptr, u"G", &error);
    ASSERT_NE(g, nullptr);
    EXPECT_TRUE(g->expanded);
    EXPECT_EQ(g->loop_count, 1);
    ScenarioEntry* s = store_create_script(&store, nullptr, U16("スクリプト"), &error);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(bytes_of(data("スクリプト.ksc")), "#import(\"DESKOPS\")\r\n\r\n");
    ScenarioEntry* t = store_create_script(&store, g, u"T", &error);  // right after G, in G's folder
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(tree(), "G/() T* スクリプト*");

    struct Refusal {
        const char* name;
        int32_t message;
    };
    for (const Refusal& r : {Refusal{"", 1202}, Refusal{"a/b", 1203}, Refusal{"g", 1204}, Refusal{"t", 1204}}) {
        EXPECT_EQ(store_create_group(&store, nullptr, U16(r.name), &error), nullptr) << r.name;
        EXPECT_EQ(error.number, r.message) << r.name;
        EXPECT_FALSE(store_rename(&store, s, U16(r.name), &error));
        EXPECT_EQ(error.number, r.message);
    }

    // A group rename moves the folder, its list and settings and every
    // member's place; a case-only rename is a rename, not a duplicate.
    put_bytes(data("G/m.zv"), "");
    put_bytes(data("G/m.zv.img"), "img");
    put_bytes(data("G.ini"), "");
    store_resync(&store);
    store_save(&store);
    ASSERT_TRUE(store_rename(&store, g, u"H", &error));
    EXPECT_EQ(std::u16string(find("H/m")->path), U(data("H/m.zv")));
    ScenarioEntry* m = find("H/m");
    ASSERT_TRUE(store_rename(&store, m, u"M", &error));
    ASSERT_TRUE(store_rename(&store, s, u"renamed", &error));
    EXPECT_EQ(files(), "H.ini H.lst H/ H/M.zv H/M.zv.img T.ksc renamed.ksc");
    EXPECT_EQ(bytes_of(data("H.lst")), list_record("M", 0, 0));
    EXPECT_EQ(tree(), "H/(M) T* renamed*");

    // A main file that cannot be moved fails with the system's text.
    fs::remove(data("T.ksc"));
    EXPECT_FALSE(store_rename(&store, t, u"T2", &error));
    EXPECT_EQ(error.number, 1205);
    EXPECT_FALSE(error.args.at(0).empty());
    EXPECT_EQ(std::u16string(t->name), u"T");
}

TEST_F(StoreFixture, CopiesGetFreeNamesAndNoCallKey) {
    for (const char* f : {"A.zv", "A.zv.img", "G/x.zv", "G/S/y.ksc"})
        fs::create_directories(data(f).parent_path()), put_bytes(data(f), f);
    const std::string keyed = "[HOTKEY]\r\nmodifiers=2\r\nvirtkey=65\r\n[PLAY]\r\nstart=4\r\n";
    for (const char* f : {"A.zv.ini", "G.ini", "G/x.zv.ini", "G/S.ini"}) put_bytes(data(f), keyed);
    store_load(&store);
    ScenarioEntry* a = find("A");
    ScenarioEntry* g = find("G/");
    ASSERT_NE(a->hotkey_text, nullptr);
    Message error;

    ScenarioEntry* c1 = store_copy(&store, a, a, &error);
    ScenarioEntry* c2 = store_copy(&store, a, a, &error);
    ASSERT_TRUE(c1 && c2);
    EXPECT_EQ(tree(), "A A - コピー (1) A - コピー G/(S/(y*) x)");
    EXPECT_EQ(c1->hotkey_key, 0);
    EXPECT_EQ(c1->hotkey_text, nullptr);
    EXPECT_NE(c1->play_id, a->play_id);
    EXPECT_EQ(bytes_of(data("A - コピー.zv.img")), "A.zv.img");
    std::u16string ini = entry_settings_path(c1);
    EXPECT_EQ(zv::profile_int(ini.c_str(), u"HOTKEY", u"virtkey", -1), 0);
    EXPECT_EQ(zv::profile_int(ini.c_str(), u"PLAY", u"start", -1), 4);

    // A group copy takes everything below it, and no settings file inside
    // keeps its call key.
    ScenarioEntry* gc = store_copy(&store, g, a, &error);
    ASSERT_NE(gc, nullptr);
    EXPECT_EQ(tree(), "A G - コピー/(S/(y*) x) A - コピー (1) A - コピー G/(S/(y*) x)");
    for (const char* f : {"G - コピー.ini", "G - コピー/x.zv.ini", "G - コピー/S.ini"})
        EXPECT_EQ(zv::profile_int(U(data(f)).c_str(), u"HOTKEY", u"modifiers", -1), 0) << f;
    EXPECT_EQ(bytes_of(data("G - コピー/S/y.ksc")), "G/S/y.ksc");
    EXPECT_EQ(bytes_of(data("G - コピー.lst")), bytes_of(data("G.lst")));

    // Into itself (an expanded group takes a copy as its first member) or
    // below itself: refused, nothing written.
    std::string before = files();
    EXPECT_EQ(store_copy(&store, g, g, &error), nullptr);
    EXPECT_EQ(error.number, 1019);
    EXPECT_EQ(store_copy(&store, g, find("G/S/y"), &error), nullptr);
    EXPECT_EQ(error.number, 1019);
    EXPECT_EQ(files(), before);
    ASSERT_NE(store_copy(&store, find("G/x"), g, &error), nullptr);
    EXPECT_EQ(tree_text(g->child), "x - コピー S/(y*) x");
    // To the top level without a target: first.
    ASSERT_NE(store_copy(&store, find("G/x"), nullptr, &error), nullptr);
    EXPECT_EQ(tree_text(store.root).substr(0, 4), "x A ");
}

TEST_F(StoreFixture, MovesInAndOutOfGroups) {
    for (const char* f : {"a.zv", "b.ksc", "c.zv", "G/x.zv", "G/y.zv"})
        fs::create_directories(data(f).parent_path()), put_bytes(data(f), "");
    put_bytes(data("a.zv.img"), "i");
    put_bytes(data("b.zv"), "converted");
    store_load(&store);
    ASSERT_EQ(tree(), "a b* c G/(x y)");
    Message error;
    ScenarioEntry* a = find("a");
    ScenarioEntry* b = find("b");
    ScenarioEntry* g = find("G/");

    struct Step {
        const char* what;
        std::function<bool()> act;
        const char* tree;
    };
    const Step steps[] = {
        {"down swaps", [&] { return store_move_down(&store, a, &error); }, "b* a c G/(x y)"},
        {"up swaps back", [&] { return store_move_up(&store, a, &error); }, "a b* c G/(x y)"},
        {"up at the top does nothing", [&] { return store_move_up(&store, a, &error); }, "a b* c G/(x y)"},
        {"drop on a group: first member", [&] { return store_move_to(&store, a, g, &error); }, "b* c G/(a x y)"},
        {"up as first member: leaves the group", [&] { return store_move_up(&store, a, &error); },
         "b* c a G/(x y)"},
        {"down into the group below", [&] { return store_move_down(&store, a, &error); }, "b* c G/(a x y)"},
        {"drop after an entry of another folder", [&] { return store_move_to(&store, b, find("G/y"), &error); },
         "c G/(a x y b*)"},
        {"down as last member: leaves the group", [&] { return store_move_down(&store, b, &error); },
         "c G/(a x y) b*"},
        {"up into the expanded group above: last member", [&] { return store_move_up(&store, b, &error); },
         "c G/(a x y b*)"},
        {"drop at the top", [&] { return store_move_to(&store, find("G/x"), nullptr, &error); },
         "x c G/(a y b*)"},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        EXPECT_TRUE(s.act());
        EXPECT_EQ(tree(), s.tree);
    }
    // Files followed, with the converted script's timeline and the images.
    EXPECT_EQ(files(), "G.lst G/ G/a.zv G/a.zv.img G/b.ksc G/b.zv G/y.zv c.zv x.zv");
    EXPECT_EQ(bytes_of(dir / "data.lst"), list_record("x", 0, 0) + list_record("c", 0, 0) + list_record("G", 2, 1));

    // A name already used in the target folder, or a group into itself:
    // 1015, and neither tree nor files change.
    put_bytes(data("G/c.ksc"), "");
    put_bytes(data("a.ksc"), "");
    std::string before = files();
    EXPECT_FALSE(store_move_to(&store, find("c"), find("G/y"), &error));
    EXPECT_EQ(error.number, 1015);
    EXPECT_FALSE(store_move_up(&store, find("G/a"), &error));
    EXPECT_EQ(error.number, 1015);
    EXPECT_FALSE(store_move_to(&store, g, find("G/y"), &error));
    EXPECT_EQ(error.number, 1015);
    EXPECT_EQ(tree(), "x c G/(a y b*)");
    EXPECT_EQ(files(), before);

    // Group with: the target first, the dragged entry second.
    fs::remove(data("G/c.ksc"));
    fs::remove(data("a.ksc"));
    ScenarioEntry* w = store_group_with(&store, find("x"), find("G/y"), u"W", &error);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(tree(), "c G/(a W/(y x) b*)");
    EXPECT_TRUE(fs::exists(data("G/W/x.zv")) && fs::exists(data("G/W/y.zv")));
    EXPECT_EQ(store_group_with(&store, g, find("G/a"), u"V", &error), nullptr);
}

TEST_F(StoreFixture, DeleteAsksAndRemovesEveryFile) {
    for (const char* f : {"t.zv", "t.zv.img", "t.zv.ini", "s.ksc", "s.ksc.ini", "s.zv", "G/x.zv", "G.lst", "G.ini"})
        fs::create_directories(data(f).parent_path()), put_bytes(data(f), "");
    store_load(&store);
    Message error;
    answer = false;
    EXPECT_FALSE(store_delete(&store, find("t"), false, prompt, &error));
    EXPECT_EQ(error.number, 0);
    answer = true;
    EXPECT_TRUE(store_delete(&store, find("t"), false, prompt, &error));
    EXPECT_TRUE(store_delete(&store, find("s"), true, prompt, &error));
    EXPECT_TRUE(store_delete(&store, find("G/"), true, prompt, &error));
    EXPECT_EQ(asked, (std::vector<int32_t>{1026, 1026, 1025, 1025}));
    EXPECT_EQ(tree(), "");
    EXPECT_EQ(files(), "");
    EXPECT_EQ(bytes_of(dir / "data.lst"), "");
}

}  // namespace
}  // namespace zvb
