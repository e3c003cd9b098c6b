// A recording round trip through zarvo-bot.exe under Wine: recording started
// with the record button, the test target driven with synthesized input
// (clicks, typing with Shift and Ctrl, a drag, a wheel turn, a pause, an
// insert through the recording menu, a click on a taskbar), stopped and
// saved under a Japanese name; the saved timeline checked record by record
// with its screenshots; then played from the main window, after which the
// target must have received the same input in the same order.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "operation_file.h"
#include "picture_util.h"
#include "recorder_driver.h"
#include "target_driver.h"
#include "timeline.h"

namespace fs = std::filesystem;
using namespace zv::test;

namespace {

enum { kRecordButton = 1003, kPauseButton = 1004, kStopButton = 1005 };
enum { kExit = 40008, kPlay = 40010, kRecordCommand = 40020, kInsertText = 40024 };

// ---- input as a user makes it ------------------------------------------------

// A mouse event; with a point, at that point of the screen.
void mouse(DWORD flags, const POINT* at = nullptr, DWORD data = 0) {
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flags;
    in.mi.mouseData = data;
    if (at) {
        in.mi.dwFlags |= MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
        in.mi.dx = MulDiv(at->x, 65536, GetSystemMetrics(SM_CXSCREEN)) + 1;
        in.mi.dy = MulDiv(at->y, 65536, GetSystemMetrics(SM_CYSCREEN)) + 1;
    }
    SendInput(1, &in, sizeof in);
}

void move_to(POINT p) { mouse(0, &p); }

void key(BYTE vk, bool down) {
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = WORD(MapVirtualKeyW(vk, 0));
    in.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &in, sizeof in);
}

void tap(BYTE vk) { key(vk, true), key(vk, false); }

POINT on(HWND w, int x, int y) {
    POINT p = {x, y};
    ClientToScreen(w, &p);
    return p;
}

POINT center(HWND w) {
    RECT r;
    GetWindowRect(w, &r);
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

// The windows whose threads see the pointer: under Wine on X11 each reports
// a pointer move back a moment later, when it next handles its messages, and
// a button pressed before that lands where the pointer was.
std::vector<HWND> g_pointer_windows;

// The pointer counts as settled once it stays at p while every such thread
// has handled its messages three times in a row.
void settle_at(POINT p) {
    int steady = 0;
    eventually([&] {
        for (HWND w : g_pointer_windows) {
            DWORD_PTR ignored;
            SendMessageTimeoutW(w, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
        }
        POINT c;
        if (GetCursorPos(&c) && c.x == p.x && c.y == p.y) return ++steady >= 3;
        steady = 0;
        move_to(p);
        return false;
    });
}

// Each button event carries its point: the display may report an old
// pointer position in between.
void click(POINT p) {
    move_to(p);
    settle_at(p);
    mouse(MOUSEEVENTF_LEFTDOWN, &p);
    mouse(MOUSEEVENTF_LEFTUP, &p);
}

// ---- the target's log as the sequence of input it received -------------------

// Key, character, button and wheel lines (focus changes and the characters
// send_text sends are not input), without the scan codes.
std::vector<std::string> input_lines(const std::string& log, size_t from, size_t to = std::string::npos) {
    std::vector<std::string> out;
    std::istringstream in(log.substr(from, to == std::string::npos ? to : to - from));
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string kind, control, a, b;
        words >> kind >> control >> a >> b;
        if (kind == "keydown" || kind == "keyup" || kind == "syskeydown" || kind == "syskeyup") {
            std::string mods = line.substr(line.find("mods="));
            out.push_back(kind + " " + control + " " + a + " " + mods);
        } else if (kind == "clicked") {
            out.push_back("clicked button");  // without the count
        } else if (kind == "char" || kind == "wheel" || kind.find("button") != std::string::npos || kind == "dblclk") {
            out.push_back(line);
        }
    }
    return out;
}

std::wstring clipboard_text() {
    std::wstring text;
    if (!OpenClipboard(nullptr)) return L"[closed]";
    if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
        text = static_cast<const wchar_t*>(GlobalLock(h));
        GlobalUnlock(h);
    }
    CloseClipboard();
    return text;
}

// A message box of any process (the player's), answered.
bool answer_any_box(const wchar_t* caption, int ms = 30000) {
    HWND box = nullptr;
    if (!eventually([&] { return (box = FindWindowW(L"#32770", caption)) && IsWindowVisible(box); }, ms)) return false;
    press(box, IDOK);
    return true;
}


TEST(RecordingRoundTrip, RecordSaveCheckAndPlayBack) {
    if (!have_desktop()) GTEST_SKIP() << "no desktop";
    zvb::test::GdiplusOn gdiplus;
    UserFolder folder("zarvo-bot-recording", false, "main_left=700\r\n[RECORD]\r\nrec_mouse_move=1\r\n");
    Target t;
    ASSERT_TRUE(t.started());
    // A taskbar of the test's own: a click on it is a click on the desktop.
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = L"Shell_TrayWnd";
    RegisterClassW(&wc);
    HWND taskbar = CreateWindowExW(WS_EX_TOOLWINDOW, L"Shell_TrayWnd", L"", WS_POPUP | WS_VISIBLE, 0,
                                   GetSystemMetrics(SM_CYSCREEN) - 30, GetSystemMetrics(SM_CXSCREEN), 30, nullptr,
                                   nullptr, nullptr, nullptr);
    ASSERT_TRUE(taskbar);
    Recorder r(folder);
    ASSERT_TRUE(r.started());
    g_pointer_windows = {r.main, t.main, taskbar};

    // Record with the button: the window becomes the always-on-top bar.
    HWND record = GetDlgItem(r.main, kRecordButton);
    ASSERT_TRUE(eventually([&] { return IsWindowEnabled(record) != FALSE; }));
    click(center(record));
    ASSERT_TRUE(eventually([&] { return title_of(r.main) == L"記録中..."; }));
    RECT client;
    GetClientRect(r.main, &client);
    EXPECT_EQ(client.right, 190);
    EXPECT_EQ(client.bottom, 63);
    EXPECT_TRUE(eventually([&] { return (GetWindowLongW(r.main, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }));
    EXPECT_FALSE(GetWindowLongW(r.main, GWL_STYLE) & WS_THICKFRAME);
    EXPECT_FALSE(IsWindowVisible(r.list));
    EXPECT_FALSE(IsWindowEnabled(record));

    size_t recorded_from = t.log().size();
    auto logged = [&](const std::string& line) { return eventually([&] { return t.logged(line); }); };
    // Click into the edit, type "Ab" with Shift, select all with Ctrl+A.
    POINT edit = on(t.edit, 30, 10);
    click(edit);
    ASSERT_TRUE(logged("lbuttonup edit x=30 y=10"));
    ASSERT_TRUE(eventually([&] { return GetForegroundWindow() == t.main; }));  // keys go there now
    key(VK_SHIFT, true), tap('A'), key(VK_SHIFT, false), tap('B');
    key(VK_CONTROL, true), tap('A'), key(VK_CONTROL, false);
    ASSERT_TRUE(logged("keyup edit vk=17 scan=29 ext=0 mods=none"));
    // A button, a drag and a wheel turn on the pad.
    click(on(t.button, 40, 12));
    ASSERT_TRUE(logged("clicked button count=1"));
    POINT from = on(t.pad, 20, 20), to = on(t.pad, 120, 60);
    move_to(from);
    settle_at(from);
    mouse(MOUSEEVENTF_LEFTDOWN, &from);
    for (int i = 1; i <= 4; ++i) move_to(on(t.pad, 20 + 25 * i, 20 + 10 * i));
    settle_at(to);
    mouse(MOUSEEVENTF_LEFTUP, &to);
    ASSERT_TRUE(logged("lbuttonup pad x=120 y=60"));
    mouse(MOUSEEVENTF_WHEEL, nullptr, DWORD(-120));
    ASSERT_TRUE(logged("wheel pad delta=-120"));
    DWORD wheel_at = GetTickCount();
    // Text a program sends is not input: nothing of it is recorded.
    std::vector<std::string> expected = input_lines(t.log(), recorded_from);
    EXPECT_EQ(t.script("send_text(edit, \"日本語\")"), "");
    ASSERT_TRUE(logged("ime_char edit code=35486"));
    size_t after_send = t.log().size();

    // Paused, nothing is recorded, and the time does not count.
    size_t paused_from = t.log().size();
    click(center(GetDlgItem(r.main, kPauseButton)));
    ASSERT_TRUE(eventually([&] { return title_of(r.main) == L"一時停止"; }));
    DWORD paused_at = GetTickCount();
    click(edit);
    ASSERT_TRUE(eventually([&] { return GetForegroundWindow() == t.main; }));
    tap('Z');
    ASSERT_TRUE(logged("keyup edit vk=90 scan=44 ext=0 mods=none"));
    click(center(record));
    ASSERT_TRUE(eventually([&] { return title_of(r.main) == L"記録中..."; }));
    DWORD paused_for = GetTickCount() - paused_at;
    size_t after_pause = t.log().size();

    // An insert through the recording menu sets the clipboard at once.
    r.command(kInsertText);
    HWND insert = r.dialog(L"テキストをクリップボードにセット");
    ASSERT_TRUE(insert);
    DWORD dialog_at = GetTickCount();
    SetDlgItemTextW(insert, 1018, L"請求書\r\n\"2024\"");
    // The pointer waits on the edit: the display reports where it was when
    // the dialog goes, a moment later.
    move_to(edit);
    press(insert, IDOK);
    DWORD dialog_for = GetTickCount() - dialog_at;
    EXPECT_EQ(clipboard_text(), L"請求書\r\n\"2024\"");
    click(edit);
    ASSERT_TRUE(eventually([&] { return GetForegroundWindow() == t.main; }));
    tap('X');
    ASSERT_TRUE(logged("keyup edit vk=88 scan=45 ext=0 mods=none")) << t.log().substr(after_pause);
    POINT on_taskbar = {400, GetSystemMetrics(SM_CYSCREEN) - 15};
    click(on_taskbar);
    for (const std::string& line : input_lines(t.log(), after_send, paused_from)) expected.push_back(line);
    for (const std::string& line : input_lines(t.log(), after_pause)) expected.push_back(line);

    // Stop with the button; save under a Japanese name.
    click(center(GetDlgItem(r.main, kStopButton)));
    HWND save = r.dialog(L"シナリオの保存");
    ASSERT_TRUE(save);
    EXPECT_TRUE(IsWindowVisible(r.list));
    EXPECT_FALSE(GetWindowLongW(r.main, GWL_EXSTYLE) & WS_EX_TOPMOST);
    SetDlgItemTextW(save, 1024, L"記録テスト");
    press(save, IDOK);
    ASSERT_TRUE(eventually([&] { return r.row_of(L"記録テスト") >= 0; }));
    EXPECT_EQ(r.selected_row(), r.row_of(L"記録テスト"));
    EXPECT_EQ(title_of(r.main).rfind(L"zarvo-bot Ver", 0), 0u);

    // ---- the saved timeline --------------------------------------------------
    fs::path zv = folder.data() / fs::u8path("記録テスト.zv");
    EXPECT_NE(folder.entry_setting("記録テスト.zv.ini", "TIME", "record"), "");
    EXPECT_NE(folder.entry_setting("記録テスト.zv.ini", "TIME", "record_timestamp"), "");
    zvb::OperationRecord* head = zvb::timeline_read(reinterpret_cast<const char16_t*>(zv.wstring().c_str()));
    ASSERT_TRUE(head);
    std::string store = zvb::test::file_bytes(zv.wstring() + L".img");
    RECT frame;
    GetWindowRect(t.main, &frame);
    std::vector<std::string> codes;
    const zvb::OperationRecord* inserted = nullptr;
    const zvb::OperationRecord* first_after_pause = nullptr;
    const zvb::OperationRecord* wheel = nullptr;
    for (const zvb::OperationRecord* o = head->next; o; o = o->next) {
        std::string c = std::to_string(o->code);
        if (o->category == 1) c += ":" + std::to_string(o->key_code) + "+" + std::to_string(o->modifiers);
        // The display may report a pointer warp as a move of its own.
        if (c != "512" || codes.back() != "512") codes.push_back(c);
        SCOPED_TRACE(c);
        EXPECT_EQ(o->data_version, 1u);
        EXPECT_EQ(o->event_data1, 0);
        if (o->code == 1526) inserted = o;
        if (o->code == 1328) wheel = o;
        if (inserted && !first_after_pause && o != inserted) first_after_pause = o;
        if (o->category == 2) continue;
        SIZE picture = zvb::test::picture_size(store, o);
        if (o->desktop) {
            EXPECT_EQ(std::u16string(o->window_class), u"Shell_TrayWnd");
            EXPECT_EQ(o->mouse_pos.x, on_taskbar.x);
            EXPECT_EQ(o->mouse_pos.y, on_taskbar.y);
            EXPECT_EQ(picture.cx, GetSystemMetrics(SM_CXSCREEN));
            EXPECT_EQ(picture.cy, GetSystemMetrics(SM_CYSCREEN));
            continue;
        }
        EXPECT_EQ(std::u16string(o->window_class), u"zv_test_target");
        EXPECT_EQ(o->window_rect.left, frame.left);
        EXPECT_EQ(o->window_rect.bottom, frame.bottom);
        EXPECT_EQ(picture.cx, frame.right - frame.left);
        EXPECT_EQ(picture.cy, frame.bottom - frame.top);
        if (o->category == 0) {
            EXPECT_EQ(o->mouse_rel.x, o->mouse_pos.x - frame.left);
            EXPECT_EQ(o->mouse_rel.y, o->mouse_pos.y - frame.top);
        }
    }
    // Click; Shift+A, B; Ctrl+A; click on the button; the drag (its first
    // moves within the click distance go); the wheel; the insert; click, X;
    // the taskbar.
    EXPECT_THAT(codes, testing::ElementsAre("1324", "1427:65+1", "1427:66+0", "1427:65+2", "1324", "513", "512", "514",
                                            "1328", "1526", "1324", "1427:88+0", "1324"));
    POINT button_point = on(t.button, 40, 12);
    EXPECT_EQ(head->next->mouse_pos.x, edit.x);
    const zvb::OperationRecord* button_click = head->next->next->next->next->next;
    EXPECT_EQ(button_click->mouse_pos.x, button_point.x);
    EXPECT_EQ(std::u16string(button_click->control_class), u"Button");
    EXPECT_EQ(button_click->control_id, 102);
    ASSERT_TRUE(inserted && wheel && first_after_pause);
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(inserted->event_text1)), L"請求書\r\n\"2024\"");
    EXPECT_EQ(inserted->desktop, wheel->desktop);  // the previous operation's window and picture
    EXPECT_EQ(inserted->image_offset, wheel->image_offset);
    // Neither the pause nor the dialog counts: the insert comes about as
    // long after the wheel as the test took outside them.
    DWORD elapsed = dialog_at + dialog_for - wheel_at;
    EXPECT_LE(inserted->interval + paused_for + dialog_for, elapsed + 300) << elapsed;
    zvb::timeline_free(head);

    // ---- played back from the main window --------------------------------------
    SendMessageW(t.edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
    size_t played_from = t.log().size();
    if (OpenClipboard(nullptr)) EmptyClipboard(), CloseClipboard();
    r.select_row(r.row_of(L"記録テスト"));
    r.command(kPlay);
    // The play's start confirmation, or the recorder's message that it failed.
    HWND confirm = nullptr, refused = nullptr;
    ASSERT_TRUE(eventually([&] {
        confirm = FindWindowW(L"#32770", L"シナリオの再生");
        refused = r.dialog(nullptr, 10);
        return (confirm && IsWindowVisible(confirm)) || refused;
    }, 30000));
    ASSERT_FALSE(refused && !confirm) << narrow(box_text(refused));
    press(confirm, IDOK);
    ASSERT_TRUE(answer_any_box(L"シナリオの再生", 60000));  // "再生を終了しました。"
    EXPECT_EQ(input_lines(t.log(), played_from), expected);
    EXPECT_EQ(clipboard_text(), L"請求書\r\n\"2024\"");
}

// The temporary recording files go with the program; a temporary folder
// that is missing stops a recording before it starts, with a message.
TEST(RecordingRoundTrip, ExitWhileRecordingAndAMissingTemporaryFolder) {
    if (!have_desktop()) GTEST_SKIP() << "no desktop";
    UserFolder folder("zarvo-bot-recording-exit");
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    fs::path operations = fs::path(temp) / "zarvo-bot_tmp.zv";
    {
        Recorder r(folder);
        ASSERT_TRUE(r.started());
        r.command(kRecordCommand);
        ASSERT_TRUE(eventually([&] { return title_of(r.main) == L"記録中..."; }));
        EXPECT_TRUE(fs::exists(operations));
        EXPECT_TRUE(fs::exists(operations.wstring() + L".img"));
        r.command(kExit);
        EXPECT_EQ(r.wait(), "0");
        EXPECT_FALSE(fs::exists(operations));
        EXPECT_FALSE(fs::exists(operations.wstring() + L".img"));
    }
    std::wstring missing = (fs::path(temp) / "zarvo-bot-missing" / "").wstring();
    SetEnvironmentVariableW(L"TMP", missing.c_str());
    SetEnvironmentVariableW(L"TEMP", missing.c_str());
    Recorder r(folder);
    SetEnvironmentVariableW(L"TMP", temp);
    SetEnvironmentVariableW(L"TEMP", temp);
    ASSERT_TRUE(r.started());
    r.command(kRecordCommand);
    HWND box = r.dialog(L"エラー");
    ASSERT_TRUE(box);
    EXPECT_EQ(box_text(box).rfind(L"記録を開始できませんでした。\n\n", 0), 0u) << narrow(box_text(box));
    press(box, IDOK);
    EXPECT_EQ(title_of(r.main).rfind(L"zarvo-bot Ver", 0), 0u);
    EXPECT_TRUE(IsWindowVisible(r.list));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(r.main, kRecordButton)));
}

}  // namespace
