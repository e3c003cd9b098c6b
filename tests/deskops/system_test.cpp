// The dialog, desktop, process, clipboard and play-notification functions on
// a desktop: zvs_cmd scripts call them while the test plays the user (answers
// the dialogs) and the recorder (a "zarvo-bot_main" window); English and
// Japanese environments (the engine's texts differ).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "catalogue.h"
#include "deskops_call.h"
#include "dialog_ids.h"
#include "frame.h"
#include "target_driver.h"
#include "zv_test_support.h"

namespace fs = std::filesystem;
using zv::test::eventually;
using zv::test::text_of;

namespace {

const wchar_t kTextCaption[] = L"入力してクリップボードにセット";
const wchar_t kNumberCaption[] = L"数値入力";
const wchar_t kPasswordCaption[] = L"パスワード入力";

std::string utf8(const std::wstring& w) { return deskops_test::utf8(std::u16string(w.begin(), w.end())); }

std::string convert(UINT from, UINT to, const std::string& s) {
    std::wstring w(size_t(MultiByteToWideChar(from, 0, s.data(), int(s.size()), nullptr, 0)), L'\0');
    MultiByteToWideChar(from, 0, s.data(), int(s.size()), &w[0], int(w.size()));
    std::string out(size_t(WideCharToMultiByte(to, 0, w.data(), int(w.size()), nullptr, 0, nullptr, nullptr)), '\0');
    WideCharToMultiByte(to, 0, w.data(), int(w.size()), &out[0], int(out.size()), nullptr, nullptr);
    return out;
}

// What the console shows of a text (the ANSI code page, "?" for the rest).
std::string shown(const std::string& text) { return convert(CP_ACP, CP_UTF8, convert(CP_UTF8, CP_ACP, text)); }

std::string system_text(DWORD code) {
    wchar_t buf[256];
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, buf, 256,
                             nullptr);
    while (n && wcschr(L"\r\n \t", buf[n - 1])) --n;
    return utf8(std::wstring(buf, n));
}

INT_PTR CALLBACK passive_dialog(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

constexpr auto fn = deskops::catalogue_function;

// A ksc string literal of the text (paths hold backslashes).
std::string literal(const std::string& s) {
    std::string out = "\"";
    for (char c : s) out += c == '\\' || c == '"' ? std::string("\\") + c : std::string(1, c);
    return out + "\"";
}

std::string brief(const deskops_test::Outcome& o) {
    return std::to_string(o.rc) + "|" + (o.rc == -1 ? o.error : o.value);
}

std::wstring clipboard_text() {
    std::wstring text;
    eventually([] { return OpenClipboard(nullptr) != FALSE; });
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        text = static_cast<const wchar_t*>(GlobalLock(data));
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

// The clipboard as another program leaves it: the text, or none when null.
void put_clipboard(const wchar_t* text) {
    ASSERT_TRUE(eventually([] { return OpenClipboard(nullptr) != FALSE; }));
    EmptyClipboard();
    if (text) {
        size_t bytes = (wcslen(text) + 1) * sizeof *text;
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
        memcpy(GlobalLock(memory), text, bytes);
        GlobalUnlock(memory);
        SetClipboardData(CF_UNICODETEXT, memory);
    }
    CloseClipboard();
}

// ---- the user of the dialogs ---------------------------------------------------

// One dialog the user answers: found by class and caption, optionally typed
// into (null: left as it is), then closed with the button; what it showed.
struct Answer {
    const wchar_t* caption;
    int button;  // IDOK, IDCANCEL, IDYES, IDNO
    const wchar_t* typed;
    bool read_edit = true;  // false for a password field
    std::string label = {}, edit = {};
    bool found = false, foreground = false;
};

// Answers the dialogs in order (run on a thread of its own while a script runs).
void answer_all(std::vector<Answer>& answers) {
    HWND previous = nullptr;
    for (Answer& a : answers) {
        HWND dialog = nullptr;
        a.found = eventually([&] {
            dialog = FindWindowW(L"#32770", a.caption);
            return dialog && dialog != previous && IsWindowVisible(dialog);
        }, 20000);
        if (!a.found) return;
        DWORD owner = 0;
        GetWindowThreadProcessId(dialog, &owner);
        a.found = owner != GetCurrentProcessId();
        a.foreground = eventually([&] { return GetForegroundWindow() == dialog; }, 3000);
        // Message boxes show their text in control 0xFFFF.
        bool box = a.button == IDYES || a.button == IDNO;
        a.label = utf8(text_of(GetDlgItem(dialog, box ? 0xFFFF : ZV_CONTROL_INPUT_LABEL)));
        HWND edit = GetDlgItem(dialog, ZV_CONTROL_INPUT_EDIT);
        if (edit && a.read_edit) a.edit = utf8(text_of(edit));
        DWORD_PTR ignored;
        if (edit && a.typed)
            SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(a.typed), SMTO_NORMAL, 5000, &ignored);
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(a.button, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, a.button)));
        // The next dialog may carry the same caption: wait for this one to go
        // (under Wine without a window manager that takes two seconds).
        eventually([&] { return !IsWindow(dialog); }, 20000);
        previous = dialog;
    }
}

// ---- the recorder ------------------------------------------------------------------

// A window of class "zarvo-bot_main" on a thread with its own message loop,
// recording the play notifications it receives ("message:wparam:lparam ").
class Recorder {
public:
    Recorder() : thread_([this] { run(); }) { eventually([this] { return window_ != nullptr; }); }
    ~Recorder() {
        PostMessageW(window_, WM_CLOSE, 0, 0);
        thread_.join();
    }
    bool started() const { return window_ != nullptr; }
    std::string received() {
        std::lock_guard<std::mutex> lock(mutex_);
        return received_;
    }

private:
    static LRESULT CALLBACK proc(HWND w, UINT message, WPARAM wparam, LPARAM lparam) {
        auto* self = reinterpret_cast<Recorder*>(GetWindowLongPtrW(w, GWLP_USERDATA));
        if (self && (message == 1134 || message == 1135 || message == 1425)) {
            std::lock_guard<std::mutex> lock(self->mutex_);
            self->received_ += std::to_string(message) + ":" + std::to_string(int(wparam)) + ":" +
                               std::to_string(int(lparam)) + " ";
            return 0;
        }
        if (message == WM_DESTROY) PostQuitMessage(0);
        return DefWindowProcW(w, message, wparam, lparam);
    }
    void run() {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"zarvo-bot_main";
        RegisterClassW(&wc);
        HWND w = CreateWindowExW(0, wc.lpszClassName, L"recorder", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                 nullptr, wc.hInstance, nullptr);
        SetWindowLongPtrW(w, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        window_ = w;
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
        UnregisterClassW(wc.lpszClassName, wc.hInstance);
    }

    std::mutex mutex_;
    std::string received_;
    std::atomic<HWND> window_{nullptr};
    std::thread thread_;
};

// ---- fixture ---------------------------------------------------------------------------

class System : public ::testing::Test {
protected:
    void SetUp() override {
        if (!zv::test::have_desktop()) GTEST_SKIP() << "no desktop to create windows on";
        deskops::library_start(GetModuleHandleW(nullptr));
        dir_ = zv::test::fresh_dir("deskops_system");
    }
    void TearDown() override {
        if (dir_.empty()) return;
        std::error_code error;
        eventually([&] { return fs::remove_all(dir_, error), !fs::exists(dir_); }, 5000);
    }

    // Runs the statements after #import("DESKOPS") in the test's directory;
    // the output as UTF-8 with line feeds.
    std::string run(const std::string& body) const {
        std::ofstream(dir_ / "main.ksc", std::ios::binary) << "#import(\"DESKOPS\")\n" << body;
        zv::test::RunOptions options;
        options.working_dir = dir_.u8string();
        zv::test::RunResult r = zv::test::run_program(zv::test::program_path("zvs_cmd"), {"main.ksc"}, options);
        EXPECT_FALSE(r.timed_out);
        EXPECT_EQ(r.err, "");
        return zv::test::from_console(r.out);
    }

    fs::path dir_;
};

}  // namespace

// Each dialog once: OK with typed text (several lines, Japanese), cancel,
// the password, the number read from the field (cancel: -1, no digits: 0)
// and a message box button; labels and preset fields as the user sees them.
TEST_F(System, InputDialogsAndMessageBoxesAnswerWhatTheUserPressed) {
    std::vector<Answer> answers = {
        {kTextCaption, IDOK, L"typed\r\nあいう"}, {kTextCaption, IDCANCEL, L"dropped"},
        {kPasswordCaption, IDOK, L"pw", false},   {kNumberCaption, IDCANCEL, nullptr},
        {kNumberCaption, IDOK, L"0815"},          {kNumberCaption, IDOK, nullptr},
        {L"質問", IDNO, nullptr},
    };
    std::thread user([&] { answer_all(answers); });
    std::string out = run(R"(print((input_text(12, "preset") == "typed\r\nあいう") + "\n")
print("[" + input_text("Dropped?") + "]\n")
print("[" + input_password("Secret?", 5) + "]\n")
print(input_number("Count?", 12.7) + "\n")
print(input_number("Count?", " -42abc") + "\n")
print(input_number(1.5, "") + "\n")
print(message_box("続けますか", "質問", 4.9) + "\n")
)");
    user.join();
    EXPECT_EQ(out, "1\n[]\n[pw]\n-1\n815\n0\n7\n");
    const char* labels[] = {"12", "Dropped?", "Secret?", "Count?", "Count?", "1.5000000000000000", "続けますか"};
    const char* edits[] = {"preset", "", "", "12", "-42", "", ""};
    for (size_t i = 0; i < answers.size(); ++i) {
        EXPECT_TRUE(answers[i].found && answers[i].foreground) << "dialog " << i;
        EXPECT_EQ(answers[i].label, labels[i]) << "dialog " << i;
        EXPECT_EQ(answers[i].edit, answers[i].read_edit ? edits[i] : "") << "dialog " << i;
    }
}

TEST_F(System, DialogTemplates) {
    HMODULE library = LoadLibraryW((fs::u8path(zv::test::bin_dir()) / "DESKOPS.dll").wstring().c_str());
    ASSERT_NE(library, nullptr);
    struct Template {
        HMODULE module;
        int id;
        const wchar_t* caption;
        const wchar_t* label;
        LONG edit_style;  // bits the edit field must have
        int width, height;
    } templates[] = {
        {library, ZV_DIALOG_INPUT_TEXT, kTextCaption, L"テキスト:", ES_MULTILINE | ES_WANTRETURN | WS_VSCROLL, 309, 88},
        {library, ZV_DIALOG_INPUT_NUMBER, kNumberCaption, L"数値:", ES_NUMBER | ES_AUTOHSCROLL, 118, 59},
        {library, ZV_DIALOG_INPUT_PASSWORD, kPasswordCaption, L"パスワード:", ES_PASSWORD | ES_AUTOHSCROLL, 203, 58},
        // A program that includes dialogs.rc with captions of its own and a
        // horizontally scrolling text field (this test's resources).
        {nullptr, ZV_DIALOG_INPUT_TEXT, L"テスト入力", L"テキスト:", ES_MULTILINE | WS_HSCROLL | ES_AUTOHSCROLL, 309, 88},
        {nullptr, ZV_DIALOG_INPUT_NUMBER, L"テスト入力", L"数値:", ES_NUMBER, 118, 59},
        {nullptr, ZV_DIALOG_INPUT_PASSWORD, L"テスト入力", L"パスワード:", ES_PASSWORD, 203, 58},
    };
    for (const Template& t : templates) {
        HWND dialog = CreateDialogParamW(t.module ? t.module : GetModuleHandleW(nullptr), MAKEINTRESOURCEW(t.id),
                                         nullptr, passive_dialog, 0);
        ASSERT_NE(dialog, nullptr) << t.id;
        auto text = [&](int id) {
            wchar_t buf[256] = L"";
            id ? GetDlgItemTextW(dialog, id, buf, 256) : GetWindowTextW(dialog, buf, 256);
            return utf8(buf);
        };
        LOGFONTW font = {};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0)), sizeof font, &font);
        EXPECT_EQ(text(0) + "|" + text(ZV_CONTROL_INPUT_LABEL) + "|" + text(IDOK) + "|" + text(IDCANCEL) + "|" +
                      utf8(font.lfFaceName),
                  utf8(t.caption) + "|" + utf8(t.label) + "|OK|キャンセル|MS Shell Dlg");
        EXPECT_EQ(GetWindowLongW(GetDlgItem(dialog, IDOK), GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
        LONG style = GetWindowLongW(GetDlgItem(dialog, ZV_CONTROL_INPUT_EDIT), GWL_STYLE);
        EXPECT_EQ(style & t.edit_style, t.edit_style) << t.id;
        EXPECT_TRUE(!t.module || !(style & WS_HSCROLL)) << t.id;
        // The template's size is the client area, in dialog units.
        RECT expected = {0, 0, t.width, t.height}, client = {};
        MapDialogRect(dialog, &expected);
        GetClientRect(dialog, &client);
        EXPECT_TRUE(client.right == expected.right && client.bottom == expected.bottom)
            << t.id << ": " << client.right << "x" << client.bottom;
        DestroyWindow(dialog);
    }
    FreeLibrary(library);
}

TEST_F(System, PlayNotificationsReachTheRecorder) {
    // No recorder: nothing to post to, and still success.
    EXPECT_EQ(run("print(__play_start(1) + \"\" + __select_step(2) + __play_end(3) + \"\\n\")\n"), "000\n");

    Recorder recorder;
    ASSERT_TRUE(recorder.started());
    std::string call = "__select_step(\"x\")";
    EXPECT_EQ(run("print(__play_start() + \"\" + __play_start(3) + __play_start(3.9) + __play_start(\"7\") + "
                  "__select_step(12) + __select_step(2.5) + __play_end(-5) + __play_end() + \"\\n\")\n" +
                  call + "\n__play_end(100)\n"),
              "00000000\n" + shown("Error: [main.ksc]: 引数は数値のみです。" +
                                    zv::test::tr("Function error", "関数実行中にエラーが発生しました") + "(3): " + call + "\n"));
    // A later script's notification arrives after everything the first
    // one posted.
    run("__play_end(99)\n");
    const std::string expected = "1134:-1:0 1134:3:0 1134:3:0 1134:-1:0 1425:0:12 1425:0:2 1135:-5:0 1135:-1:0 1135:99:0 ";
    EXPECT_TRUE(eventually([&] { return recorder.received() == expected; })) << recorder.received();
}

TEST_F(System, ClipboardRoundTrip) {
    // No text on the clipboard reads as "", not as 0.
    put_clipboard(nullptr);
    EXPECT_EQ(run("print(\"[\" + get_clipboard() + \"]\" + set_clipboard(\"clip \" + \"あ\" + 1) + \"\\n\")\n"),
              "[]1\n");
    EXPECT_EQ(clipboard_text(), L"clip あ1");
    put_clipboard(L"from the test い");
    EXPECT_EQ(run("print((get_clipboard() == \"from the test い\") + \"\\n\")\n"
                  "set_clipboard(2.5)\nprint(get_clipboard() + \"\\n\")\n"),
              "1\n2.5000000000000000\n");

    // Another program holding the clipboard for a moment makes both wait,
    // not fail (a paste in progress while a script sets the next text).
    auto while_held = [](const std::function<std::string()>& call) {
        const std::string child = zv::test::program_path("zv_test_child");
        std::wstring command(size_t(MultiByteToWideChar(CP_UTF8, 0, child.data(), int(child.size()), nullptr, 0)), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, child.data(), int(child.size()), &command[0], int(command.size()));
        command = L"\"" + command + L"\" clipboard 300";
        STARTUPINFOW si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
            return std::string("zv_test_child did not start");
        CloseHandle(pi.hThread);
        // Held once this process can no longer open it.
        bool held = false;
        for (int i = 0; i < 5000 && !held && WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT; ++i) {
            held = !OpenClipboard(nullptr);
            if (!held) CloseClipboard(), Sleep(1);
        }
        std::string got = held ? call() : "the clipboard was never held";
        WaitForSingleObject(pi.hProcess, 10000);
        CloseHandle(pi.hProcess);
        return got;
    };
    EXPECT_EQ(while_held([&] { return brief(deskops_test::call(fn("set_clipboard"), {"held"})); }), "0|1");
    EXPECT_EQ(while_held([&] { return brief(deskops_test::call(fn("get_clipboard"), {})); }), "0|held");

    // wait sets the pause that set_clipboard, like every operation, takes.
    EXPECT_EQ(brief(deskops_test::call(fn("wait"), {150.7})), "0|0");
    EXPECT_EQ(deskops::operation_wait(), 150);
    auto start = std::chrono::steady_clock::now();
    auto elapsed_ms = [&] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    };
    EXPECT_EQ(brief(deskops_test::call(fn("set_clipboard"), {""})), "0|1");
    EXPECT_GE(elapsed_ms(), 145);
    EXPECT_EQ(clipboard_text(), L"");
    deskops_test::call(fn("wait"), {0});
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(brief(deskops_test::call(fn("sleep"), {60})), "0|0");
    EXPECT_GE(elapsed_ms(), 55);
}

TEST_F(System, ProgramsAndProcesses) {
    // shell starts the program without waiting (it runs until the test lets
    // it go) and gives its id; programs that cannot start give 0.
    std::string waiter = zv::test::program_path("zv_file_waiter");
    std::string out = run("pid = shell(" + literal(waiter) + ", " + literal("\"" + dir_.u8string() + "\"") + ")\n" +
                          "print(pid + \" \" + check_process(pid) + \" \" + shell(\"no such program.exe\") + shell(5))");
    std::string started;
    ASSERT_TRUE(eventually([&] { return bool(std::ifstream(dir_ / "started.txt") >> started); }));
    EXPECT_EQ(out, started + " 1 00");
    // An ended process reads as ended while a handle keeps it, then as gone.
    const int id = std::stoi(started);
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, DWORD(id));
    ASSERT_NE(process, nullptr);
    std::ofstream(dir_ / "go").close();
    ASSERT_EQ(WaitForSingleObject(process, 60000), WAIT_OBJECT_0);
    EXPECT_EQ(brief(deskops_test::call(fn("check_process"), {double(id) + 0.5})), "0|0");
    CloseHandle(process);
    EXPECT_TRUE(eventually([&] { return brief(deskops_test::call(fn("check_process"), {id})) == "0|-1"; }));
    EXPECT_EQ(brief(deskops_test::call(fn("check_process"), {-1})), "0|-1");
}

TEST_F(System, WindowsProgramAndDesktopSize) {
    HWND window = CreateWindowExW(0, L"STATIC", L"mine", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::string out = run("print(file_from_window(" + zv::test::number(window) + ") + \"\\n\")\n" +
                          "size = get_desktop_size()\nprint(size[\"width\"] + \"x\" + size[\"height\"] + \"\\n\")\n");
    EXPECT_EQ(out, shown(utf8(self)) + "\n" + std::to_string(GetSystemMetrics(SM_CXSCREEN)) + "x" +
                       std::to_string(GetSystemMetrics(SM_CYSCREEN)) + "\n");
    DestroyWindow(window);
    // A window that no longer exists: the system's text.
    EXPECT_EQ(brief(deskops_test::call(fn("file_from_window"), {zv::test::handle(window)})),
              "-1|" + system_text(ERROR_INVALID_WINDOW_HANDLE));
}
