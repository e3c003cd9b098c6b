#include "zvs_driver.h"

#include <vector>

#include "target_driver.h"
#include "zv_test_support.h"

namespace zvs_test {

namespace {

constexpr UINT kEditGetMarker = WM_APP + 13;

struct Search {
    DWORD pid;
    const wchar_t* cls;
    HWND found;
};

BOOL CALLBACK find_top(HWND w, LPARAM lp) {
    auto* s = reinterpret_cast<Search*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    wchar_t cls[64] = L"";
    GetClassNameW(w, cls, 64);
    if (pid != s->pid || lstrcmpW(cls, s->cls) != 0 || !IsWindowVisible(w)) return TRUE;
    s->found = w;
    return FALSE;
}

HWND top_window(DWORD pid, const wchar_t* cls) {
    Search s = {pid, cls, nullptr};
    EnumWindows(find_top, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

LRESULT send(HWND w, UINT msg, WPARAM wp = 0, LPARAM lp = 0) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(w, msg, wp, lp, SMTO_NORMAL, 10000, &result);
    return LRESULT(result);
}

void key(WORD vk, bool up) {
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = WORD(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &in, sizeof in);
}

}  // namespace

std::wstring wide(const std::string& s) {
    std::wstring w(size_t(MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), nullptr, 0)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), &w[0], int(w.size()));
    return w;
}

std::string narrow(const std::wstring& w) {
    std::string s(size_t(WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), nullptr, 0, nullptr, nullptr)), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), &s[0], int(s.size()), nullptr, nullptr);
    return s;
}

std::wstring window_text(HWND window) {
    size_t n = size_t(send(window, WM_GETTEXTLENGTH));
    std::vector<wchar_t> buf(n + 1);
    DWORD_PTR got = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, n + 1, reinterpret_cast<LPARAM>(buf.data()), SMTO_NORMAL, 10000, &got);
    return std::wstring(buf.data(), std::min<size_t>(got, n));
}

Zvs::Zvs(const std::filesystem::path& script, const std::filesystem::path& settings_dir) {
    SetEnvironmentVariableW(L"ZVS_SETTINGS_DIR", settings_dir.wstring().c_str());
    std::wstring command = L"\"" + wide(zv::test::program_path("zvs")) + L"\"";
    if (!script.empty()) command += L" \"" + script.wstring() + L"\"";
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &process_)) {
        process_ = {};
        return;
    }
    CloseHandle(process_.hThread);
    zv::test::eventually([&] { return (main = top_window(pid(), L"KSCEditMainWndClass")) != nullptr; }, 30000);
    if (!main) return;
    editor = FindWindowExW(main, nullptr, L"nEdit", nullptr);
    console = FindWindowExW(main, nullptr, L"ConsoleViewClass", nullptr);
    vars = FindWindowExW(main, nullptr, L"VariableViewClass", nullptr);
    toolbar = FindWindowExW(main, nullptr, L"ToolbarWindow32", nullptr);
}

Zvs::~Zvs() {
    if (!process_.hProcess) return;
    if (WaitForSingleObject(process_.hProcess, 0) != WAIT_OBJECT_0) TerminateProcess(process_.hProcess, 99);
    WaitForSingleObject(process_.hProcess, 10000);
    CloseHandle(process_.hProcess);
}

bool Zvs::ended(int ms) const {
    return process_.hProcess && WaitForSingleObject(process_.hProcess, DWORD(ms)) == WAIT_OBJECT_0;
}

std::wstring Zvs::editor_text() const { return window_text(editor); }
std::wstring Zvs::console_text() const { return window_text(console); }
std::wstring Zvs::variables() const { return window_text(vars); }
std::wstring Zvs::title() const { return window_text(main); }
long Zvs::run_line() const { return long(send(editor, kEditGetMarker, 0)); }
long Zvs::error_line() const { return long(send(editor, kEditGetMarker, 1)); }
bool Zvs::running() const { return (GetWindowLongW(editor, GWL_STYLE) & ES_READONLY) != 0; }

void Zvs::selection(DWORD* begin, DWORD* end) const {
    LRESULT r = send(editor, EM_GETSEL);
    *begin = LOWORD(r);
    *end = HIWORD(r);
}

void Zvs::command(WORD id) const { PostMessageW(main, WM_COMMAND, id, 0); }

void Zvs::settle() const {
    // Posted commands wait behind sent messages: idle first, then a round
    // trip for what the commands sent in turn.
    WaitForInputIdle(process_.hProcess, 10000);
    send(main, WM_NULL);
    send(main, WM_NULL);
}

void Zvs::focus(HWND window) const {
    SetForegroundWindow(main);
    // Focus is per thread: borrow the program's input state for the call.
    DWORD mine = GetCurrentThreadId(), theirs = GetWindowThreadProcessId(main, nullptr);
    AttachThreadInput(mine, theirs, TRUE);
    SetFocus(window);
    AttachThreadInput(mine, theirs, FALSE);
    zv::test::eventually([&] { return GetForegroundWindow() == main; }, 5000);
    settle();
}

namespace {

// What a key press may change in a window: its text length and selection.
std::pair<LRESULT, LRESULT> state_of(HWND w) { return {send(w, WM_GETTEXTLENGTH), send(w, EM_GETSEL)}; }

void unicode_key(wchar_t c, bool up) {
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wScan = WORD(c);
    in.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0);
    SendInput(1, &in, sizeof in);
}

}  // namespace

void Zvs::type(HWND window, const std::wstring& text) const {
    for (wchar_t c : text) {
        auto before = state_of(window);
        if (c == L'\n' || c == L'\b') {
            WORD vk = c == L'\n' ? VK_RETURN : VK_BACK;
            key(vk, false);
            key(vk, true);
        } else {
            unicode_key(c, false);
            unicode_key(c, true);
        }
        // Input is queued behind what the program has yet to do: wait until
        // the key shows.
        zv::test::eventually([&] { return state_of(window) != before; }, 2000);
    }
}

void Zvs::press(WORD k, WORD modifier, WORD modifier2) const {
    HWND target = editor;
    auto before = state_of(target);
    if (modifier) key(modifier, false);
    if (modifier2) key(modifier2, false);
    key(k, false);
    key(k, true);
    if (modifier2) key(modifier2, true);
    if (modifier) key(modifier, true);
    zv::test::eventually([&] { return state_of(target) != before; }, 1000);
    settle();
}

HWND Zvs::dialog(int ms) const {
    HWND found = nullptr;
    zv::test::eventually([&] { return (found = top_window(pid(), L"#32770")) != nullptr; }, ms);
    return found;
}

}  // namespace zvs_test
