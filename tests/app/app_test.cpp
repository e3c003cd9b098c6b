// zvs_app run as a process: script files and arguments, the silent print and
// empty input, the error message box, building executables (and reading the
// embedded script back with the resource API), build failures with their
// message boxes, and the Ctrl+Q stop.
#include <gtest/gtest.h>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "target_driver.h"
#include "zv_test_support.h"

namespace fs = std::filesystem;
using zv::test::eventually;
using zv::test::fresh_dir;

namespace {

const wchar_t kBuildFailed[] = L"実行ファイルの出力に失敗しました。";

std::wstring widen(const std::string& s) {
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), nullptr, 0);
    std::wstring w(size_t(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), &w[0], n);
    return w;
}

std::string narrow(const std::wstring& w) {
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), &s[0], n, nullptr, nullptr);
    return s;
}

void write(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A script line that appends text to the file (ksc string literal).
std::string append_line(const fs::path& file, const std::string& expression) {
    std::string path = file.string();
    std::string quoted;
    for (char c : path) quoted += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return "file_write_text(\"" + quoted + "\", " + expression + " + \"\\n\", 1)\n";
}

// One started program; ended by its handle if a test leaves it running.
class Process {
public:
    explicit Process(const std::wstring& program, const std::wstring& arguments = L"") {
        std::wstring command = L"\"" + program + L"\" " + arguments;
        STARTUPINFOW si = {};
        si.cb = sizeof si;
        if (CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &info_)) {
            CloseHandle(info_.hThread);
        } else {
            info_ = {};
        }
    }
    ~Process() {
        if (!info_.hProcess) return;
        if (WaitForSingleObject(info_.hProcess, 0) != WAIT_OBJECT_0) TerminateProcess(info_.hProcess, 99);
        CloseHandle(info_.hProcess);
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool started() const { return info_.hProcess != nullptr; }
    DWORD pid() const { return info_.dwProcessId; }
    // The exit code, or a note when the program did not end in time.
    std::string wait(int ms = 60000) const {
        if (WaitForSingleObject(info_.hProcess, DWORD(ms)) != WAIT_OBJECT_0) return "[running]";
        DWORD code = 0;
        GetExitCodeProcess(info_.hProcess, &code);
        return std::to_string(int(code));
    }

private:
    PROCESS_INFORMATION info_ = {};
};

std::wstring app() { return widen(zv::test::program_path("zvs_app")); }

// Runs a program to its end; its exit code as text.
std::string run(const std::wstring& program, const std::wstring& arguments = L"") {
    Process p(program, arguments);
    if (!p.started()) return "[not started]";
    return p.wait();
}

std::wstring quoted(const fs::path& p) { return L"\"" + p.wstring() + L"\""; }

// A message box of the process: its caption and text.
struct Box {
    HWND window = nullptr;
    std::wstring caption, text;
};

struct BoxSearch {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK find_dialog(HWND w, LPARAM lp) {
    auto* search = reinterpret_cast<BoxSearch*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    wchar_t cls[32] = L"";
    GetClassNameW(w, cls, 32);
    if (pid != search->pid || lstrcmpW(cls, L"#32770") != 0 || !IsWindowVisible(w)) return TRUE;
    search->found = w;
    return FALSE;
}

// Waits for the process's next message box.
Box next_box(const Process& p) {
    BoxSearch search = {p.pid(), nullptr};
    eventually([&] {
        search.found = nullptr;
        EnumWindows(find_dialog, reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
    }, 20000);
    Box box;
    box.window = search.found;
    if (!box.window) return box;
    wchar_t buf[1024] = L"";
    GetWindowTextW(box.window, buf, 1024);
    box.caption = buf;
    buf[0] = 0;
    GetDlgItemTextW(box.window, 0xFFFF, buf, 1024);  // the message box's text
    box.text = buf;
    return box;
}

// Presses the box's OK and waits until it is gone.
void dismiss(const Box& box) {
    PostMessageW(GetDlgItem(box.window, IDOK), BM_CLICK, 0, 0);
    eventually([&] { return !IsWindowVisible(box.window); });

}

std::wstring system_text(DWORD code) {
    wchar_t text[512] = L"";
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text, 512, nullptr);
    return text;
}

// The embedded script of a built executable, read back and unscrambled.
std::wstring embedded_script(const fs::path& exe) {
    HMODULE m = LoadLibraryExW(exe.wstring().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!m) return L"[not loadable]";
    std::wstring text = L"[no resource]";
    HRSRC r = FindResourceExW(m, L"ZVS", MAKEINTRESOURCEW(3000), 0x0400);
    if (r) {
        const wchar_t* data = static_cast<const wchar_t*>(LockResource(LoadResource(m, r)));
        size_t units = SizeofResource(m, r) / 2;
        text.clear();
        if (units && data[units - 1] == 0) {
            for (size_t i = 0; i + 1 < units; ++i) text += wchar_t(data[i] ^ 0x5A3C);
        } else {
            text = L"[no terminator]";
        }
    }
    FreeLibrary(m);
    return text;
}

class App : public ::testing::Test {
protected:
    void SetUp() override { dir_ = fresh_dir("zvs_app"); }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
};

TEST_F(App, DoesNothingWithoutAScript) {
    EXPECT_EQ(run(app()), "-1");
    EXPECT_EQ(run(app(), L"/in only.ksc"), "-1");
    EXPECT_EQ(run(app(), L"/out only.exe"), "-1");
}

TEST_F(App, RunsAScriptFileWithItsArgumentsQuietly) {
    fs::path out = dir_ / "out.txt";
    // The DESKOPS functions come from the program itself: no #import.
    write(dir_ / "args.ksc",
          append_line(out, "\"argc=\" + argc + \" first=\" + argv[0] + \" second=\" + argv[1]") +
              "print(\"never shown\")\n" + append_line(out, "\"input=[\" + input() + \"]\""));
    EXPECT_EQ(run(app(), quoted(dir_ / "args.ksc") + L" one \"two words\""), "0");
    EXPECT_EQ(contents(out), "argc=2 first=one second=two words\ninput=[]\n");

    fs::remove(out);
    EXPECT_EQ(run(app(), quoted(dir_ / "args.ksc")), "0");
    EXPECT_EQ(contents(out), "argc=0 first=0 second=0\ninput=[]\n");
}

TEST_F(App, ShowsErrorsInMessageBoxes) {
    fs::path out = dir_ / "out.txt";
    write(dir_ / "error.ksc", "error(\"something broke\")\n" + append_line(out, "\"after\""));
    Process p(app(), quoted(dir_ / "error.ksc"));
    Box box = next_box(p);
    EXPECT_EQ(box.caption, L"zarvo-bot");
    EXPECT_EQ(box.text, L"something broke");
    dismiss(box);
    EXPECT_EQ(p.wait(), "0");
    EXPECT_EQ(contents(out), "after\n");  // error() returns normally

    // A script that does not parse: the engine's report, then -1.
    write(dir_ / "broken.ksc", "a = (1 + \n");
    Process broken(app(), quoted(dir_ / "broken.ksc"));
    box = next_box(broken);
    EXPECT_EQ(box.caption, L"zarvo-bot");
    EXPECT_NE(box.text.find(L"broken.ksc"), std::wstring::npos) << narrow(box.text);
    dismiss(box);
    EXPECT_EQ(broken.wait(), "-1");

    // A script file that does not exist.
    Process missing(app(), quoted(dir_ / "missing.ksc"));
    box = next_box(missing);
    EXPECT_NE(box.text.find(L"missing.ksc"), std::wstring::npos) << narrow(box.text);
    dismiss(box);
    EXPECT_EQ(missing.wait(), "-1");
}

TEST_F(App, AsksThroughItsOwnInputDialogs) {
    // The program's own dialog resources: one caption for all three.
    fs::path out = dir_ / "out.txt";
    write(dir_ / "ask.ksc", append_line(out, "input_number(\"How many?\", 7)") +
                                append_line(out, "\"[\" + input_text(\"Name?\") + \"]\""));
    Process p(app(), quoted(dir_ / "ask.ksc"));
    Box box = next_box(p);
    EXPECT_EQ(box.caption, L"入力してクリップボードにセット");
    wchar_t shown[64] = L"";
    GetDlgItemTextW(box.window, 1001, shown, 64);
    EXPECT_STREQ(shown, L"7");
    SetDlgItemTextW(box.window, 1001, L"42");
    dismiss(box);
    box = next_box(p);
    EXPECT_EQ(box.caption, L"入力してクリップボードにセット");
    EXPECT_TRUE(GetWindowLongW(GetDlgItem(box.window, 1001), GWL_STYLE) & WS_HSCROLL);
    PostMessageW(GetDlgItem(box.window, IDCANCEL), BM_CLICK, 0, 0);
    EXPECT_EQ(p.wait(), "0");
    EXPECT_EQ(contents(out), "42\n[]\n");
}

TEST_F(App, BuildsExecutablesThatRunTheirScript) {
    // The same script with and without byte-order mark; U+5A3C scrambles to
    // a zero unit and must survive.
    std::string body = "s = \"娼 and ü\"\n" + append_line(dir_ / "out.txt", "s + \" argc=\" + argc + \" \" + argv[1]");
    write(dir_ / "plain.ksc", body);
    write(dir_ / "bom.ksc", "\xEF\xBB\xBF" + body);
    // x.ksc follows both options: the program builds and does not run it.
    write(dir_ / "x.ksc", append_line(dir_ / "x.txt", "\"x ran\""));
    fs::create_directories(dir_ / "alone");
    for (const char* name : {"plain", "bom"}) {
        SCOPED_TRACE(name);
        fs::path exe = dir_ / "alone" / (std::string(name) + ".exe");
        EXPECT_EQ(run(app(), L"/in " + quoted(dir_ / (std::string(name) + ".ksc")) + L" /OUT " + quoted(exe) +
                                 L" " + quoted(dir_ / "x.ksc")),
                  "0");
        EXPECT_FALSE(fs::exists(dir_ / "x.txt"));
        EXPECT_EQ(embedded_script(exe), widen(body));

        // Started from a directory without DESKOPS.dll, with and without
        // arguments; all arguments go to the script.
        fs::remove(dir_ / "out.txt");
        EXPECT_EQ(run(exe.wstring(), L"first second"), "0");
        EXPECT_EQ(run(exe.wstring()), "0");
        EXPECT_EQ(contents(dir_ / "out.txt"), "娼 and ü argc=2 second\n娼 and ü argc=0 0\n");
        // A built executable ignores /in and /out: they are arguments.
        fs::remove(dir_ / "out.txt");
        EXPECT_EQ(run(exe.wstring(), L"/in " + quoted(dir_ / "x.ksc") + L" /out y.exe"), "0");
        EXPECT_EQ(contents(dir_ / "out.txt"), "娼 and ü argc=4 " + (dir_ / "x.ksc").string() + "\n");
    }
}

TEST_F(App, FailedBuildsSayWhyAndLeaveNothing) {
    write(dir_ / "s.ksc", "a = 1\n");
    // Into a directory that does not exist: the system's text under the
    // stage's caption, then the build message.
    fs::path exe = dir_ / "missing" / "s.exe";
    Process into_missing(app(), L"/in " + quoted(dir_ / "s.ksc") + L" /out " + quoted(exe));
    Box box = next_box(into_missing);
    EXPECT_EQ(box.caption, L"Begin");
    EXPECT_EQ(box.text, system_text(ERROR_PATH_NOT_FOUND)) << narrow(box.text);
    dismiss(box);
    box = next_box(into_missing);
    EXPECT_EQ(box.caption, L"zarvo-bot");
    EXPECT_EQ(box.text, kBuildFailed);
    dismiss(box);
    EXPECT_EQ(into_missing.wait(), "-1");
    EXPECT_FALSE(fs::exists(dir_ / "missing"));

    // An unreadable script: "Read" with the system's text.
    Process unreadable(app(), L"/in " + quoted(dir_ / "none.ksc") + L" /out " + quoted(dir_ / "none.exe"));
    box = next_box(unreadable);
    EXPECT_EQ(box.caption, L"Read");
    EXPECT_EQ(box.text, system_text(ERROR_FILE_NOT_FOUND)) << narrow(box.text);
    dismiss(box);
    box = next_box(unreadable);
    EXPECT_EQ(box.text, kBuildFailed);
    dismiss(box);
    EXPECT_EQ(unreadable.wait(), "-1");

    // An empty script fails with the build message alone.
    write(dir_ / "empty.ksc", "\xEF\xBB\xBF");
    Process empty(app(), L"/in " + quoted(dir_ / "empty.ksc") + L" /out " + quoted(dir_ / "empty.exe"));
    box = next_box(empty);
    EXPECT_EQ(box.caption, L"zarvo-bot");
    EXPECT_EQ(box.text, kBuildFailed);
    dismiss(box);
    EXPECT_EQ(empty.wait(), "-1");
    EXPECT_FALSE(fs::exists(dir_ / "none.exe"));
    EXPECT_FALSE(fs::exists(dir_ / "empty.exe"));
}

TEST_F(App, CtrlQStopsARunningScript) {
    fs::path started = dir_ / "started.txt";
    write(dir_ / "loop.ksc", append_line(started, "\"looping\"") + "n = 0\nwhile (1) {\n  n++\n}\n");
    Process p(app(), quoted(dir_ / "loop.ksc"));
    ASSERT_TRUE(eventually([&] { return fs::exists(started); }, 20000));
    EXPECT_EQ(p.wait(300), "[running]");
    keybd_event(VK_CONTROL, 0x1D, 0, 0);
    keybd_event('Q', 0x10, 0, 0);
    std::string code = p.wait(20000);
    keybd_event('Q', 0x10, KEYEVENTF_KEYUP, 0);
    keybd_event(VK_CONTROL, 0x1D, KEYEVENTF_KEYUP, 0);
    EXPECT_EQ(code, "0");
}

}  // namespace
