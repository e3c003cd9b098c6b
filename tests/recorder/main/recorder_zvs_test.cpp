// zarvo-bot and zvs together under Wine: the edit command opens a script in
// zvs, and converting a timeline opens the generated script there and
// watches the editor until it closes. Runs in both locales (zvs's own texts
// and code page follow the locale; the scenario names are Japanese, one
// with a blank: zvs takes its whole command line as the path).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "recorder_driver.h"
#include "script_cases.h"
#include "target_driver.h"
#include "zv_test_support.h"
#include "zvs_driver.h"

namespace fs = std::filesystem;
using namespace zv::test;

namespace {

enum { kRefresh = 40003, kExit = 40008, kEdit = 40012, kRename = 40013, kConvert = 40019 };

const wchar_t kCannotWhileOpen[] = L"スクリプト編集画面を終了してください。";

// The list record of a top-level member, as data.lst holds it: -1 when the
// name is not there.
int listed_type(const UserFolder& folder, const std::wstring& name) {
    std::string lst = read(folder.path() / "data.lst");
    for (size_t at = 0; at + 524 <= lst.size(); at += 524) {
        const wchar_t* member = reinterpret_cast<const wchar_t*>(lst.data() + at + 4);
        if (name == member) return *reinterpret_cast<const int32_t*>(lst.data() + at + 516);
    }
    return -1;
}

std::wstring zvs_title(const fs::path& script) { return L"zarvo-bot Script - [" + script.wstring() + L"]"; }

// Opens the conversion of the selected timeline and takes over the zvs it
// starts.
std::unique_ptr<zvs_test::Zvs> convert(const Recorder& r, const fs::path& script) {
    r.command(kConvert);
    EXPECT_EQ(r.answer_box(IDYES),
              L"スクリプトに変換|スクリプトに変換しますか？\n\n・スクリプトに変換するとタイムライン形式には戻せません。"
              L"\n・上書き保存するまではタイムライン形式のままです。");
    HWND w = zvs_test::find_zvs_window(zvs_title(script));
    return w ? std::make_unique<zvs_test::Zvs>(w) : nullptr;
}

// Types at the start of the script and saves with Ctrl+S.
void edit_and_save(const zvs_test::Zvs& z, const fs::path& script, const std::string& line) {
    z.focus(z.editor);
    z.press(VK_HOME, VK_CONTROL);
    std::string before = read(script);
    z.type(z.editor, zvs_test::wide(line) + L"\n");
    z.press('S', VK_CONTROL);
    EXPECT_TRUE(eventually([&] { return read(script) == line + "\r\n" + before; })) << read(script);
}

void close(zvs_test::Zvs& z) {
    PostMessageW(z.main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(z.ended());
}

class RecorderZvsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!have_desktop()) GTEST_SKIP() << "no desktop";
    }
};

TEST_F(RecorderZvsTest, EditsScriptsAndConvertsTimelinesInTheScriptEditor) {
    UserFolder folder("zarvo-bot-zvs");
    fs::path data = folder.data();
    // zvs keeps its settings in the test's folder (the recorder passes its
    // environment on).
    fs::create_directories(folder.path() / "zvs");
    SetEnvironmentVariableW(L"ZVS_SETTINGS_DIR", (folder.path() / "zvs").wstring().c_str());
    zvb::test::write_play_settings(folder.path() / "zarvo-bot.ini", zvb::test::golden_play_settings());
    folder.put(u8"日報 週次.ksc", "print(1)\r\n");
    // Timelines: one saved in zvs, one closed unchanged, one renamed while
    // open and saved on a file system whose times do not move.
    int32_t id = 0;
    for (const char* name : {u8"マウス操作", u8"残す", u8"粗い"}) {
        for (const zvb::test::GoldenCase& c : zvb::test::golden_cases()) {
            if (std::string(c.golden) != "mouse.ksc") continue;
            zvb::test::Scenario s = c.scenario;
            s.name = name;
            zvb::entry_free(zvb::test::materialize(s, data, &id));
        }
    }
    const std::string golden = zvb::test::golden_bytes("mouse.ksc");
    Recorder r(folder);
    ASSERT_TRUE(r.started());

    // Edit on a script: zvs on its file, as it is.
    r.select(L"日報 週次");
    r.command(kEdit);
    HWND w = zvs_test::find_zvs_window(zvs_title(data / fs::u8path(u8"日報 週次.ksc")));
    ASSERT_TRUE(w);
    {
        zvs_test::Zvs z(w);
        EXPECT_EQ(z.editor_text(), L"print(1)\r\n");
        close(z);
    }

    // Convert: the script the generator writes without notifications, open
    // in zvs; a second conversion and exit wait for the editor.
    fs::path converted = data / fs::u8path(u8"マウス操作.ksc");
    r.select(L"マウス操作");
    auto z = convert(r, converted);
    ASSERT_TRUE(z);
    EXPECT_EQ(zvb::test::first_difference(golden, read(converted)), "");
    EXPECT_EQ(z->editor_text(), zvs_test::wide(golden));
    r.select(L"残す");
    r.command(kConvert);
    EXPECT_EQ(r.answer_box(), std::wstring(L"スクリプトに変換|") + kCannotWhileOpen);
    r.command(kExit);
    EXPECT_EQ(r.answer_box(), std::wstring(L"zarvo-bot|") + kCannotWhileOpen);
    EXPECT_EQ(r.wait(0), "[running]");
    // Saved in zvs: the entry becomes a script with the timeline's settings,
    // and the list file says so.
    std::string settings = read(data / fs::u8path(u8"マウス操作.zv.ini"));
    edit_and_save(*z, converted, "// 変換後");
    close(*z);
    int row = r.row_of(L"マウス操作");
    EXPECT_TRUE(eventually([&] { return r.row_type(row) == 1; }));
    EXPECT_EQ(r.row_path(row), converted.wstring());
    EXPECT_EQ(read(data / fs::u8path(u8"マウス操作.ksc.ini")), settings);
    EXPECT_THAT(settings, ::testing::HasSubstr("loop_count=2"));
    EXPECT_TRUE(eventually([&] { return listed_type(folder, L"マウス操作") == 1; }));
    EXPECT_TRUE(fs::exists(data / fs::u8path(u8"マウス操作.zv")));  // the timeline's files stay beside it
    r.select(L"マウス操作");
    r.command(kConvert);
    EXPECT_EQ(r.answer_box(), L"スクリプトに変換|対象データはすでにスクリプトです。");

    // Closed without a change: the script goes, the timeline stays (also
    // when a refresh meanwhile took the script beside it for the entry).
    fs::path kept = data / fs::u8path(u8"残す.ksc");
    r.select(L"残す");
    z = convert(r, kept);
    ASSERT_TRUE(z);
    EXPECT_TRUE(fs::exists(kept));
    r.command(kRefresh);
    EXPECT_TRUE(eventually([&] { return r.row_type(r.row_of(L"残す")) == 1; }));
    close(*z);
    EXPECT_TRUE(eventually([&] { return !fs::exists(kept); }));
    EXPECT_EQ(r.row_type(r.row_of(L"残す")), 0);
    EXPECT_EQ(listed_type(folder, L"残す"), 0);

    // Renamed while zvs has it open, then saved with a write time that did
    // not move (file systems with coarse times): the changed text still
    // counts, and the script follows the entry's new name.
    fs::path coarse = data / fs::u8path(u8"粗い.ksc");
    r.select(L"粗い");
    z = convert(r, coarse);
    ASSERT_TRUE(z);
    r.command(kRename);
    HWND d = r.dialog(L"名前の変更");
    ASSERT_TRUE(d);
    SetDlgItemTextW(d, 1024, L"細かい");
    press(d, IDOK);
    EXPECT_TRUE(eventually([&] { return fs::exists(data / fs::u8path(u8"細かい.zv")); }));
    FILETIME written = {};
    {
        HANDLE f = CreateFileW(coarse.wstring().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                               nullptr);
        GetFileTime(f, nullptr, nullptr, &written);
        CloseHandle(f);
    }
    edit_and_save(*z, coarse, "// 粗い");
    {
        HANDLE f = CreateFileW(coarse.wstring().c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, 0, nullptr);
        EXPECT_TRUE(SetFileTime(f, nullptr, nullptr, &written));
        CloseHandle(f);
    }
    close(*z);
    fs::path renamed = data / fs::u8path(u8"細かい.ksc");
    EXPECT_TRUE(eventually([&] { return r.row_type(r.row_of(L"細かい")) == 1; }));
    EXPECT_EQ(r.row_path(r.row_of(L"細かい")), renamed.wstring());
    EXPECT_EQ(read(renamed), "// 粗い\r\n" + golden);
    EXPECT_FALSE(fs::exists(coarse));
    EXPECT_TRUE(fs::exists(data / fs::u8path(u8"細かい.ksc.ini")));

    // Nothing open any more: exit goes through.
    r.command(kExit);
    EXPECT_EQ(r.wait(), "0");
    EXPECT_EQ(listed_type(folder, L"細かい"), 1);
}

}  // namespace
