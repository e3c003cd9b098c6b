// zvs_app as a process: scripts and arguments, its input dialogs and message
// boxes, building executables (the embedded script read back), the Ctrl+Q stop.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "target_driver.h"
#include "zv_test_support.h"

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Matcher;
using zv::test::eventually;
using zv::test::fresh_dir;

namespace {

std::wstring widen(const std::string& s) {
    std::wstring w(size_t(MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), nullptr, 0)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), &w[0], int(w.size()));
    return w;
}

void write(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

std::string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A script line that appends text to the file (ksc string literal).
std::string append_line(const fs::path& file, const std::string& expression) {
    std::string quoted;
    for (char c : file.string()) quoted += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return "file_write_text(\"" + quoted + "\", " + expression + " + \"\\n\", 1)\n";
}

// One started program; ended by its handle if a test leaves it running.
class Process {
public:
    explicit Process(const std::wstring& program, const std::wstring& arguments = L"") {
        std::wstring command = L"\"" + program + L"\" " + arguments;
        STARTUPINFOW si = {};
        si.cb = sizeof si;
        if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &info_))
            info_ = {};
        else
            CloseHandle(info_.hThread);
    }
    ~Process() {
        if (!info_.hProcess) return;
        if (WaitForSingleObject(info_.hProcess, 0) != WAIT_OBJECT_0) TerminateProcess(info_.hProcess, 99);
        CloseHandle(info_.hProcess);
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    DWORD pid() const { return info_.dwProcessId; }
    // The exit code, or a note when the program did not start or end in time.
    std::string wait(int ms = 60000) const {
        if (!info_.hProcess) return "[not started]";
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
    return Process(program, arguments).wait();
}

std::wstring quoted(const fs::path& p) { return L"\"" + p.wstring() + L"\""; }

BOOL CALLBACK find_dialog(HWND w, LPARAM lp) {
    auto* search = reinterpret_cast<std::pair<DWORD, HWND>*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    wchar_t cls[32] = L"";
    GetClassNameW(w, cls, 32);
    if (pid != search->first || lstrcmpW(cls, L"#32770") != 0 || !IsWindowVisible(w)) return TRUE;
    search->second = w;
    return FALSE;
}

// Waits for the process's next visible dialog (message boxes included).
HWND next_box(const Process& p) {
    std::pair<DWORD, HWND> search = {p.pid(), nullptr};
    eventually([&] { return EnumWindows(find_dialog, reinterpret_cast<LPARAM>(&search)), search.second; }, 20000);
    return search.second;
}

// Presses the box's OK and waits until it is gone.
void dismiss(HWND box) {
    PostMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    eventually([&] { return !IsWindowVisible(box); });
}

// The process's next count message boxes, "caption|text" each, dismissed.
std::vector<std::wstring> answer_boxes(const Process& p, size_t count) {
    std::vector<std::wstring> boxes;
    while (boxes.size() < count) {
        HWND box = next_box(p);
        if (!box) break;
        wchar_t caption[256] = L"", text[1024] = L"";
        GetWindowTextW(box, caption, 256);
        GetDlgItemTextW(box, 0xFFFF, text, 1024);  // the message box's text
        boxes.push_back(std::wstring(caption) + L"|" + text);
        dismiss(box);
    }
    return boxes;
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
    if (HRSRC r = FindResourceExW(m, L"ZVS", MAKEINTRESOURCEW(3000), 0x0400)) {
        const wchar_t* data = static_cast<const wchar_t*>(LockResource(LoadResource(m, r)));
        size_t units = SizeofResource(m, r) / 2;
        bool terminated = units && data[units - 1] == 0;
        text = terminated ? L"" : L"[no terminator]";
        for (size_t i = 0; terminated && i + 1 < units; ++i) text += wchar_t(data[i] ^ 0x5A3C);
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

// The script runs in its own folder (a relative script path is taken from
// where the program starts), with the script editor's engine: keys keep
// the letter case they were written in.
TEST_F(App, RunsInTheScriptsFolderWithTheEditorsEngine) {
    fs::create_directories(dir_ / "sub");
    write(dir_ / "sub" / "here.ksc",
          "Rec = {\"Name\": argv[0]}\nfile_write_text(\"here.txt\", array_to_json(Rec) + \"\\n\", 1)\n");
    EXPECT_EQ(run(app(), quoted(dir_ / "sub" / "here.ksc") + L" absolute"), "0");
    wchar_t started_in[MAX_PATH] = L"";
    GetCurrentDirectoryW(MAX_PATH, started_in);
    ASSERT_TRUE(SetCurrentDirectoryW(dir_.wstring().c_str()));
    std::string relative = run(app(), L"sub\\here.ksc relative");
    SetCurrentDirectoryW(started_in);
    EXPECT_EQ(relative, "0");
    EXPECT_EQ(contents(dir_ / "sub" / "here.txt"), "{\"Name\": \"absolute\"}\n{\"Name\": \"relative\"}\n");
    EXPECT_FALSE(fs::exists(dir_ / "here.txt"));
}

TEST_F(App, AsksThroughItsOwnInputDialogs) {
    // The program's own dialog resources: one caption for all three.
    fs::path out = dir_ / "out.txt";
    write(dir_ / "ask.ksc", append_line(out, "input_number(\"How many?\", 7)") +
                                append_line(out, "\"[\" + input_text(\"Name?\") + \"]\""));
    Process p(app(), quoted(dir_ / "ask.ksc"));
    wchar_t caption[64] = L"", shown[64] = L"";
    HWND box = next_box(p);
    GetWindowTextW(box, caption, 64);
    GetDlgItemTextW(box, 1001, shown, 64);
    EXPECT_EQ(std::wstring(caption) + L"|" + shown, L"入力してクリップボードにセット|7");
    SetDlgItemTextW(box, 1001, L"42");
    dismiss(box);
    box = next_box(p);
    GetWindowTextW(box, caption, 64);
    EXPECT_STREQ(caption, L"入力してクリップボードにセット");
    EXPECT_TRUE(GetWindowLongW(GetDlgItem(box, 1001), GWL_STYLE) & WS_HSCROLL);
    PostMessageW(GetDlgItem(box, IDCANCEL), BM_CLICK, 0, 0);
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
    fs::path exe;
    for (const char* name : {"bom", "plain"}) {
        exe = dir_ / "alone" / (std::string(name) + ".exe");
        EXPECT_EQ(run(app(), L"/in " + quoted(dir_ / (std::string(name) + ".ksc")) + L" /OUT " + quoted(exe) + L" " +
                                 quoted(dir_ / "x.ksc")),
                  "0") << name;
        EXPECT_EQ(embedded_script(exe), widen(body)) << name;
    }
    EXPECT_FALSE(fs::exists(dir_ / "x.txt"));
    // Started from a directory without DESKOPS.dll, with and without
    // arguments; all arguments go to the script, /in and /out included.
    for (const std::wstring& arguments :
         {std::wstring(L"first second"), std::wstring(), L"/in " + quoted(dir_ / "x.ksc") + L" /out y.exe"})
        EXPECT_EQ(run(exe.wstring(), arguments), "0");
    EXPECT_EQ(contents(dir_ / "out.txt"), "娼 and ü argc=2 second\n娼 and ü argc=0 0\n娼 and ü argc=4 " +
                                              (dir_ / "x.ksc").string() + "\n");
}

// Message boxes of a script's error() (which returns normally), of scripts
// that do not parse or exist, and of failed builds: the system's text under
// the stage's caption, then the build message; nothing is left behind.
TEST_F(App, ShowsErrorsAndFailedBuildsInMessageBoxes) {
    const std::wstring failed = L"zarvo-bot|実行ファイルの出力に失敗しました。";
    fs::path out = dir_ / "out.txt";
    write(dir_ / "error.ksc", "error(\"something broke\")\n" + append_line(out, "\"after\""));
    write(dir_ / "broken.ksc", "a = (1 + \n");
    write(dir_ / "s.ksc", "a = 1\n");
    write(dir_ / "empty.ksc", "\xEF\xBB\xBF");
    auto build = [&](const char* in, const fs::path& exe) { return L"/in " + quoted(dir_ / in) + L" /out " + quoted(exe); };
    const struct {
        std::wstring arguments;
        std::vector<Matcher<std::wstring>> boxes;
        const char* exit;
    } runs[] = {
        {quoted(dir_ / "error.ksc"), {std::wstring(L"zarvo-bot|something broke")}, "0"},
        {quoted(dir_ / "broken.ksc"), {AllOf(testing::StartsWith(L"zarvo-bot|"), HasSubstr(L"broken.ksc"))}, "-1"},
        {quoted(dir_ / "missing.ksc"), {HasSubstr(L"missing.ksc")}, "-1"},
        {build("s.ksc", dir_ / "missing" / "s.exe"), {L"Begin|" + system_text(ERROR_PATH_NOT_FOUND), failed}, "-1"},
        {build("none.ksc", dir_ / "none.exe"), {L"Read|" + system_text(ERROR_FILE_NOT_FOUND), failed}, "-1"},
        {build("empty.ksc", dir_ / "empty.exe"), {failed}, "-1"},
    };
    for (const auto& r : runs) {
        Process p(app(), r.arguments);
        EXPECT_THAT(answer_boxes(p, r.boxes.size()), testing::ElementsAreArray(r.boxes)) << r.arguments;
        EXPECT_EQ(p.wait(), r.exit);
    }
    EXPECT_EQ(contents(out), "after\n");
    for (const char* left : {"missing", "none.exe", "empty.exe"}) EXPECT_FALSE(fs::exists(dir_ / left)) << left;
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
