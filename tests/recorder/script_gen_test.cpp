// Script generation: golden scripts for hand-built scenarios (generated
// twice, byte for byte, and loaded by the engine's parser), the play loop's
// frame, titles, and what makes generation fail.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "errors.h"
#include "file_util.h"
#include "operation_codes.h"
#include "operation_title.h"
#include "platform.h"
#include "script_cases.h"
#include "script_gen.h"
#include "timeline.h"
#include "zv_test_support.h"

namespace zvb {
namespace {

using namespace zvb::test;
using zv::test::tr;

std::string generate(const ScenarioEntry* e, const ScriptRequest& req, const fs::path& out) {
    uint32_t error = 0;
    EXPECT_TRUE(script_write(e, req, U(out).c_str(), &error)) << error;
    return bytes_of(out);
}

TEST(ScriptGolden, EveryCaseGeneratesItsGoldenScriptTwiceAndParses) {
    for (const GoldenCase& c : golden_cases()) {
        SCOPED_TRACE(c.golden);
        std::string golden = golden_bytes(c.golden);
        TempFolder dir;
        write_play_settings(dir / "zarvo-bot.ini", golden_play_settings());
        fs::create_directories(dir / "data");
        int32_t id = 1;
        ScenarioEntry* e = materialize(c.scenario, dir / "data", &id);
        ScriptRequest req;
        req.notify = c.notify;
        req.start_index = c.start_index;
        req.play = play_settings_read(U(dir / "zarvo-bot.ini").c_str());

        EXPECT_EQ(ksc_parse_errors(golden), "");
        EXPECT_EQ(first_difference(golden, generate(e, req, dir / "first.ksc")), "");
        EXPECT_EQ(first_difference(golden, generate(e, req, dir / "second.ksc")), "");
        entry_free(e);
    }
}

// The store gives play identifiers of its own: compared as N.
std::string any_ids(const std::string& script) {
    static const std::regex id("__play_(start|end)\\([0-9]+\\)");
    return std::regex_replace(script, id, "__play_$1(N)");
}

zv::test::RunResult zvb_cmd(const fs::path& user, std::vector<std::string> args) {
    args.insert(args.begin(), {"/dir", user.u8string()});
    return zv::test::run_program(zv::test::program_path("zvb_cmd"), args);
}

std::string console(const std::string& utf8) { return zv::test::from_console(zv::test::to_console(utf8)); }

// The golden scripts again, from one user folder that the store loads, with
// the PLAY values of its settings file; exports of timelines as scripts;
// script entries copied; failures told on standard error with exit code 1.
TEST(ScriptCommand, GoldenScriptsExportsCopiesAndFailures) {
    TempFolder user, out;
    write_play_settings(user / "zarvo-bot.ini", golden_play_settings());
    fs::create_directories(user / "data");
    int32_t id = 1;
    std::vector<GoldenCase> cases = golden_cases();
    for (const GoldenCase& c : cases) entry_free(materialize(c.scenario, user / "data", &id));
    Scenario empty;
    empty.name = "Empty";
    empty.type = kTypeGroup;
    entry_free(materialize(empty, user / "data", &id));

    for (const GoldenCase& c : cases) {
        std::vector<std::string> args = {"script", c.scenario.name + (c.scenario.type == kTypeGroup ? "/" : ""),
                                         (out / c.golden).u8string()};
        if (c.notify) args.push_back("/NOTIFY");
        if (c.start_index) args.insert(args.end(), {"-from", std::to_string(c.start_index)});
        auto r = zvb_cmd(user.root, args);
        EXPECT_EQ(r.exit_code, 0) << c.golden << ": " << r.err;
        EXPECT_EQ(first_difference(any_ids(golden_bytes(c.golden)), any_ids(bytes_of(out / c.golden))), "")
            << c.golden;
    }
    std::string mouse = bytes_of(out / "mouse.ksc");
    auto r = zvb_cmd(user.root, {"export", "mouse", (out / "exported.KSC").u8string()});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(bytes_of(out / "exported.KSC"), mouse);
    put_bytes(user / "data/Memo.ksc", "\xEF\xBB\xBFprint(1)");
    r = zvb_cmd(user.root, {"script", "memo", (out / "memo.ksc").u8string(), "/notify", "/from", "3"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(bytes_of(out / "memo.ksc"), "\xEF\xBB\xBFprint(1)");

    const struct {
        std::vector<std::string> args;
        std::string error;
    } failures[] = {
        {{"script", "Empty/", (out / "e.ksc").u8string()},
         tr("The script could not be created.", "スクリプト作成に失敗しました。")},
        {{"script", "none", (out / "e.ksc").u8string()}, "none"},
        {{"script", "Mouse", (out / "e.ksc").u8string(), "/from", "-1"}, "[/from N]"},
        {{"script", "Mouse", (out / "e.ksc").u8string(), "/from"}, "[/from N]"},
        {{"script", "Mouse", (out / "e.ksc").u8string(), "/fast"}, "[/from N]"},
        {{"script", "Mouse", (out / "no" / "e.ksc").u8string()}, tr("could not be created", "作成に失敗")},
    };
    for (const auto& f : failures) {
        r = zvb_cmd(user.root, f.args);
        EXPECT_EQ(r.exit_code, 1) << f.args[1];
        EXPECT_NE(zv::test::from_console(r.err).find(console(f.error)), std::string::npos) << r.err;
    }
    EXPECT_FALSE(fs::exists(out / "e.ksc"));
}

// The play loop around an empty timeline, for each way it can open and close.
TEST(ScriptFrame, RepeatLoopConfirmationsAndLoopSleep) {
    const std::string head = "#import(\"DESKOPS\")\r\n\r\n";
    const std::string ask =
        "if (message_box(\"シナリオを再生します。\\n終了するまでマウス操作、キーボード操作を行わないようにしてくださ"
        "い。\", \"シナリオの再生\", 0x1 | 0x40) != 1) {\r\n\texit\r\n}\r\n\r\n";
    const std::string done = "sleep(100)\r\nmessage_box(\"再生を終了しました。\", \"シナリオの再生\", 0x40)\r\n";
    const struct {
        int32_t repeat, loops, start_confirm, end_confirm;
        std::string text;
    } rows[] = {
        {0, 1, 0, 0, head + "for (play_index = 0; play_index < 1; play_index++) {\r\n\r\n}\r\n"},
        {0, 4, 1, 1, head + ask + "for (play_index = 0; play_index < 4; play_index++) {\r\n\r\nsleep(0)\r\n}\r\n" + done},
        // A repeat count: no question, no blank line, but the loop sleep.
        {3, 1, 1, 0, head + "for (play_index = 0; play_index < 3; play_index++) {\r\nsleep(0)\r\n}\r\n"},
        {1, 1, 1, 1, head + "for (play_index = 0; play_index < 1; play_index++) {\r\n}\r\n" + done},
        {1, 2, 0, 0, head + "for (play_index = 0; play_index < 1; play_index++) {\r\nsleep(0)\r\n}\r\n"},
    };
    OperationRecord* head_record = timeline_new();
    ScenarioEntry* e = entry_new();
    for (const auto& r : rows) {
        e->repeat_override = r.repeat;
        e->loop_count = r.loops;
        e->play_start_confirm = r.start_confirm;
        e->play_end_confirm = r.end_confirm;
        ScriptRequest req;
        req.play.loop_interval = 0;
        req.play.window_operation_interval = 100;
        EXPECT_EQ(script_text_of_records(e, head_record, req), r.text) << r.repeat << " " << r.loops;
    }
    entry_free(e);
    timeline_free(head_record);
}

// What the golden scripts do not show (they show the special key names).
TEST(OperationTitles, KeyTextsOnlyForKeyOperations) {
    const struct {
        int32_t category, code;
        uint32_t key, modifiers;
        std::u16string title;
    } rows[] = {
        {0, 1324, 'A', kModCtrl, u"マウスの左ボタンをクリック"},
        {1, 1427, 'A', kModWin | kModAlt | kModShift | kModCtrl, u"「Ctrl + Shift + Alt + Win + A」キーを入力する"},
        {1, 261, 0x1F00, 0, u"「(7936)」キーを離す"},
        {1, 1427, 0, kModShift, u"「Shift」キーを入力する"},
        {1, 1427, 0, 0, u"キーを入力する"},
        {2, 9999, 0, 0, u""},
    };
    for (const auto& r : rows) {
        OperationRecord o = {};
        o.category = r.category;
        o.code = r.code;
        o.key_code = r.key;
        o.modifiers = r.modifiers;
        EXPECT_EQ(operation_title(o), r.title) << r.code << " " << r.key;
    }
    EXPECT_EQ(operation_key_text(0, 0), zv::ui_japanese() ? u"なし" : u"None");
    EXPECT_EQ(operation_key_text(kModCtrl, 'Z'), u"Ctrl + Z");
}

// A group member whose member list was never read is left out; an empty
// list still writes its loop. Failures leave the previous output in place.
TEST(ScriptFailures, EmptyGroupsMissingMembersAndUnparsableConditions) {
    TempFolder dir;
    fs::create_directories(dir / "data");
    std::string previous = "previous script\r\n";
    put_bytes(dir / "out.ksc", previous);
    int32_t id = 1;
    uint32_t error = 0;
    ScriptRequest req;

    Scenario empty_group;
    empty_group.name = "Empty";
    empty_group.type = kTypeGroup;
    ScenarioEntry* g = materialize(empty_group, dir / "data", &id);
    EXPECT_FALSE(script_write(g, req, U(dir / "out.ksc").c_str(), &error));
    EXPECT_EQ(error, uint32_t(kErrorNothingToPlay));
    EXPECT_NE(error_text(error), u"");

    // Members: a group without a list, an empty group, a missing timeline.
    Scenario t;
    t.name = "Gone";
    t.ops = {Op(kCodeSetText).text("x")};
    ScenarioEntry* unread = entry_new();
    unread->type = kTypeGroup;
    entry_set_name(unread, u"Unread");
    ScenarioEntry* inner = materialize(empty_group, dir / "data", &id);
    ScenarioEntry* gone = materialize(t, dir / "data", &id);
    g->child->next = unread;
    unread->next = inner;
    inner->next = gone;
    fs::remove(fs::path(std::u16string(gone->path)));
    EXPECT_FALSE(script_write(g, req, U(dir / "out.ksc").c_str(), &error));
    EXPECT_NE(error, 0u);
    EXPECT_EQ(bytes_of(dir / "out.ksc"), previous);
    inner->next = nullptr;
    g->play_start_confirm = g->play_end_confirm = 0;
    g->loop_count = 1;
    inner->loop_count = 1;
    ASSERT_TRUE(script_write(g, req, U(dir / "out.ksc").c_str(), &error));
    EXPECT_EQ(bytes_of(dir / "out.ksc"),
              "#import(\"DESKOPS\")\r\n\r\nfor (play_index = 0; play_index < 1; play_index++) {\r\n\r\n"
              "for (play_index_1 = 0; play_index_1 < 1; play_index_1++) {\r\n}\r\n}\r\n");
    entry_free(g);
    entry_free(gone);

    // A condition text is inserted as written: one with a quote breaks the
    // script, which the runner reports when the play starts.
    OperationRecord* head = timeline_new();
    timeline_append(head, record_clone(&Op(kCodeWait).text("say \"hi").data(1).wait(10).r));
    ScenarioEntry* e = entry_new();
    std::string text = script_text_of_records(e, head, req);
    EXPECT_NE(text.find("str_match(\"say \"hi\", get_clipboard()) != 0"), std::string::npos) << text;
    EXPECT_NE(ksc_parse_errors(text), "");
    // Why a script member's byte-order mark is dropped.
    EXPECT_NE(ksc_parse_errors("x = 1\r\n\xEF\xBB\xBFy = 2\r\n"), "");
    entry_free(e);
    timeline_free(head);
}

}  // namespace
}  // namespace zvb
