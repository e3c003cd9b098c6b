// Archives and imports: ZVA1 and ZVA2 byte for byte and round trip, the
// import of every kind of dropped file, and hostile archives, which must
// fail with 1023 before anything is written anywhere.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive.h"
#include "recorder_test_util.h"
#include "store.h"

namespace zvb {
namespace {

using namespace zvb::test;

std::string blob(const std::string& bytes) { return le32(uint32_t(bytes.size())) + bytes; }
std::string item(uint32_t type, const std::string& path) { return le32(type) + text_field(path, 130); }

// A user folder with a store, and a prompt that answers and records.
struct Side {
    TempFolder dir;
    Store store;
    bool answer = true;
    std::vector<int32_t> asked;
    std::vector<Message> told;
    UserPrompt prompt = {[](void* ctx, const Message& m) {
                             auto* self = static_cast<Side*>(ctx);
                             self->asked.push_back(m.number);
                             return self->answer;
                         },
                         [](void* ctx, const Message& m) { static_cast<Side*>(ctx)->told.push_back(m); }, this};
    Side() {
        Message error;
        store_open(&store, U(dir.root), &error);
        store_load(&store);
        store_save(&store);
    }
    ~Side() { store_close(&store); }
    fs::path data(const std::string& rel) const { return dir / ("data/" + rel); }
    void make(const std::string& rel, const std::string& bytes) {
        fs::create_directories(data(rel).parent_path());
        put_bytes(data(rel), bytes);
    }
    // Imports one file; the number of failures.
    int import(const fs::path& file) {
        int failures = 0;
        store_import(&store, {U(file)}, prompt, &failures);
        return failures;
    }
};

TEST(Archive, TimelineRoundTripByteForByte) {
    Side from, to;
    from.make("Rec.zv", std::string(2684, 'r'));
    from.make("Rec.zv.ini", "[OPTION]\r\nloop_count=2\r\n");
    store_load(&from.store);
    Message error;
    fs::path zva = from.dir / "x.zva";
    ASSERT_TRUE(store_export(&from.store, from.store.root->next, U(zva), &error));
    // No image store: an empty image blob.
    EXPECT_EQ(bytes_of(zva), "ZVA1" + blob(std::string(2684, 'r')) + blob("") + blob("[OPTION]\r\nloop_count=2\r\n"));

    // Imported under the archive's name; no image store is created, and a
    // script of that name gives way after the question.
    to.make("x.ksc", "old");
    to.answer = false;
    EXPECT_EQ(to.import(zva), 0);
    EXPECT_EQ(listing(to.dir / "data"), "x.ksc");
    to.answer = true;
    EXPECT_EQ(to.import(zva), 0);
    EXPECT_EQ(to.asked, (std::vector<int32_t>{1022, 1022}));
    EXPECT_EQ(listing(to.dir / "data"), "x.zv x.zv.ini");
    EXPECT_EQ(bytes_of(to.data("x.zv")), std::string(2684, 'r'));
    EXPECT_EQ(tree_text(to.store.root), "x");
    EXPECT_EQ(to.store.root->next->loop_count, 2);
}

TEST(Archive, GroupRoundTripWithEveryMemberType) {
    Side from, to;
    for (const char* f : {"G/t.zv", "G/t.zv.img", "G/s.ksc", "G/s.ksc.ini", "G/E/.keep", "G/H/u.zv", "G/H/v.ksc",
                          "G/N/.keep", "G.ini"})
        from.make(f, f);
    store_load(&from.store);
    ASSERT_EQ(tree_text(from.store.root), "G/(E/() H/(u v*) N/() s* t)");
    // A group without any member list contributes only its own item.
    ScenarioEntry* n = tree_find_name(from.store.root, u"G/N/", nullptr);
    list_free(n->child);
    n->child = nullptr;
    Message error;
    fs::path zva = from.dir / "g.zva";
    ASSERT_TRUE(store_export(&from.store, tree_find_name(from.store.root, u"G/", nullptr), U(zva), &error));
    std::string lst_g = bytes_of(from.data("G.lst")), lst_e = bytes_of(from.data("G/E.lst")),
                lst_h = bytes_of(from.data("G/H.lst"));
    EXPECT_EQ(lst_e, "");
    EXPECT_EQ(bytes_of(zva), "ZVA2" + item(2, "\\G") + blob(lst_g) + blob("G.ini") +                  //
                                 item(2, "\\G\\E") + blob("") + blob("") +                           //
                                 item(2, "\\G\\H") + blob(lst_h) + blob("") +                        //
                                 item(0, "\\G\\H\\u") + blob("G/H/u.zv") + blob("") + blob("") +     //
                                 item(1, "\\G\\H\\v") + blob("G/H/v.ksc") + blob("") +               //
                                 item(2, "\\G\\N") + blob("") + blob("") +                           //
                                 item(1, "\\G\\s") + blob("G/s.ksc") + blob("G/s.ksc.ini") +         //
                                 item(0, "\\G\\t") + blob("G/t.zv") + blob("G/t.zv.img") + blob(""));

    // Into an existing group folder; the replace question comes once.
    to.make("G/s.ksc", "older");
    to.make("G/t.zv", "older");
    EXPECT_EQ(to.import(zva), 0);
    EXPECT_EQ(to.asked, (std::vector<int32_t>{1034}));
    EXPECT_EQ(listing(to.dir / "data"), "G.ini G.lst G/ G/E.lst G/E/ G/H.lst G/H/ G/H/u.zv G/H/v.ksc G/N.lst G/N/ "
                                        "G/s.ksc G/s.ksc.ini G/t.zv G/t.zv.img");
    EXPECT_EQ(bytes_of(to.data("G/t.zv.img")), "G/t.zv.img");
    EXPECT_EQ(tree_text(to.store.root), "G/(E/() H/(u v*) N/() s* t)");

    // "No" to the question fails the import and writes nothing (the list
    // comes from the re-synchronisation that follows every import).
    Side third;
    third.make("G/t.zv", "mine");
    third.answer = false;
    EXPECT_EQ(third.import(zva), 1);
    EXPECT_EQ(listing(third.dir / "data"), "G.lst G/ G/t.zv");
}

TEST(Archive, HostileArchivesFailBeforeWritingAnything) {
    const std::string group = item(2, "\\G") + blob("") + blob("");
    struct Case {
        const char* what;
        std::string bytes;
    };
    std::vector<Case> cases = {
        {"not an archive", "hello"},
        {"dot-dot", "ZVA2" + item(0, "\\..\\evil") + blob("x") + blob("") + blob("")},
        {"dot-dot deeper", "ZVA2" + group + item(1, "\\G\\..\\..\\evil") + blob("x") + blob("")},
        {"drive letter", "ZVA2" + item(2, "C:\\evil") + blob("") + blob("")},
        {"colon", "ZVA2" + item(2, "\\C:\\evil") + blob("") + blob("")},
        {"stream", "ZVA2" + group + item(1, "\\G\\s:stream") + blob("x") + blob("")},
        {"second leading backslash", "ZVA2" + item(2, "\\\\server\\share") + blob("") + blob("")},
        {"device", "ZVA2" + item(1, "\\CON") + blob("x") + blob("")},
        {"device with extension", "ZVA2" + group + item(0, "\\G\\nul.txt") + blob("x") + blob("") + blob("")},
        {"empty component", "ZVA2" + group + item(1, "\\G\\\\s") + blob("x") + blob("")},
        {"empty path", "ZVA2" + item(2, "") + blob("") + blob("")},
        {"slash", "ZVA2" + item(2, "\\a/b") + blob("") + blob("")},
        {"unknown type", "ZVA2" + item(9, "\\x") + blob("")},
        {"blob longer than the file", "ZVA2" + item(0, "\\big") + le32(0x7FFFFFFF) + "tiny"},
        {"blob cut short", "ZVA2" + group + item(1, "\\G\\s") + blob("x") + le32(10) + "abc"},
        {"length cut short", "ZVA2" + group + item(1, "\\G\\s") + blob("x") + "ab"},
        {"timeline blob too long", "ZVA1" + blob("zv") + le32(1000) + "img"},
        {"timeline cut short", "ZVA1" + blob("zv") + blob("img")},
    };
#ifndef _WIN32
    cases.push_back({"through a link", "ZVA2" + item(0, "\\L\\x") + blob("x") + blob("") + blob("")});
#endif
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder outside;
        Side side;
#ifndef _WIN32
        fs::create_directory_symlink(outside.root, side.data("L"));
#endif
        fs::path zva = side.dir / "bad.zva";
        put_bytes(zva, c.bytes);
        std::string before = listing(side.dir.root);
        EXPECT_EQ(side.import(zva), 1);
        ASSERT_EQ(side.told.size(), 1u);
        EXPECT_EQ(side.told[0].number, 1023);
        EXPECT_EQ(message_string(side.told[0]), u"インポートに失敗しました。\n\nbad.zva");
        EXPECT_EQ(listing(side.dir.root), before);
        EXPECT_EQ(listing(outside.root), "");
    }
}

TEST(Archive, CutAtAnItemBoundaryImportsWhatItHoldsAndFailedWritesAreUndone) {
    Side side;
    std::string whole = "ZVA2" + item(2, "\\G") + blob("") + blob("") + item(1, "\\G\\s") + blob("#") + blob("");
    fs::path zva = side.dir / "cut.zva";
    put_bytes(zva, whole + le32(1) + "partial path");
    EXPECT_EQ(side.import(zva), 0);
    EXPECT_EQ(tree_text(side.store.root), "G/(s*)");

    // The group folder is a file: the blobs written before are removed.
    Side blocked;
    blocked.make("G", "a file");
    put_bytes(zva, "ZVA2" + item(2, "\\G") + blob("list?") + blob("[x]"));
    EXPECT_EQ(blocked.import(zva), 1);
    EXPECT_EQ(listing(blocked.dir / "data"), "G");
}

TEST(Import, FoldersFilesAndFailures) {
    Side src, side;
    src.make("Grp/a.zv", "a");
    src.make("Grp/a.zv.ini", "[HOTKEY]\r\nmodifiers=2\r\nvirtkey=70\r\n");
    src.make("k.ksc", "script");
    src.make("t.zv", "timeline");
    src.make("t.zv.img", "img");
    src.make("t.zv.ini", "ini");
    side.make("t.ksc", "old script");
    int failures = 0;
    std::vector<std::u16string> paths = {U(src.data("Grp")), U(src.data("k.ksc")), U(src.data("t.zv")),
                                         U(src.data("t.zv.img")), U(src.data("t.zv.ini")), U(src.data("missing.zv")),
                                         U(src.data("Grp"))};
    ScenarioEntry* selected = store_import(&side.store, paths, side.prompt, &failures);
    ASSERT_NE(selected, nullptr);
    EXPECT_EQ(std::u16string(selected->name), u"t");  // the last imported file
    EXPECT_EQ(failures, 2);
    ASSERT_EQ(side.told.size(), 2u);
    EXPECT_EQ(message_line(side.told[0], true).substr(0, 31), u"The import failed. missing.zv: ");
    EXPECT_EQ(side.told[1].number, 1021);  // the folder again: nothing is overwritten
    EXPECT_EQ(side.asked, (std::vector<int32_t>{1022}));  // t.ksc was there
    EXPECT_EQ(listing(side.dir / "data"), "Grp.lst Grp/ Grp/a.zv Grp/a.zv.ini k.ksc t.zv t.zv.img t.zv.ini");
    EXPECT_EQ(tree_text(side.store.root), "Grp/(a) k* t");
    EXPECT_EQ(tree_find_name(side.store.root, u"Grp/a", nullptr)->hotkey_key, 0);
    // The data folder into itself is refused.
    EXPECT_EQ(side.import(side.dir / "data"), 1);
    EXPECT_EQ(side.told.back().number, 1021);
}

}  // namespace
}  // namespace zvb
