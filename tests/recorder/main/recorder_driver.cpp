#include "recorder_driver.h"

#include <fstream>
#include <iterator>

#include "scenario.h"
#include "target_driver.h"
#include "zv_test_support.h"

namespace fs = std::filesystem;

namespace zv::test {

std::wstring widen(const std::string& s) {
    std::wstring w(size_t(MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), nullptr, 0)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), &w[0], int(w.size()));
    return w;
}

std::string narrow(const std::wstring& w) {
    std::string s(size_t(WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), nullptr, 0, nullptr, nullptr)),
                  '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), &s[0], int(s.size()), nullptr, nullptr);
    return s;
}

UserFolder::UserFolder(const char* what, bool trayicon, const std::string& window) : dir_(fresh_dir(what)) {
    fs::create_directories(dir_ / "data");
    std::ofstream(dir_ / "zarvo-bot.ini", std::ios::binary)
        << "[WINDOW]\r\nhide_tutorial=1\r\ntrayicon=" << (trayicon ? 1 : 0) << "\r\nmain_top=40\r\n" << window;
}

UserFolder::~UserFolder() {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
}

void UserFolder::put(const std::string& relative, const std::string& bytes) const {
    fs::path p = data() / fs::u8path(relative);
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
}

namespace {

std::string profile(const fs::path& file, const char* section, const char* key) {
    wchar_t buf[512] = L"";
    GetPrivateProfileStringW(widen(section).c_str(), widen(key).c_str(), L"", buf, 512, file.wstring().c_str());
    return narrow(buf);
}

}  // namespace

std::string UserFolder::setting(const char* section, const char* key) const {
    return profile(dir_ / "zarvo-bot.ini", section, key);
}

std::string UserFolder::entry_setting(const std::string& ini, const char* section, const char* key) const {
    return profile(data() / fs::u8path(ini), section, key);
}

std::string UserFolder::log() const {
    SYSTEMTIME t;
    GetLocalTime(&t);
    char name[32];
    wsprintfA(name, "%04d%02d%02d.log", t.wYear, t.wMonth, t.wDay);
    std::ifstream in(dir_ / "log" / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Recorder::Recorder(const UserFolder& folder, const std::wstring& arguments, bool second) {
    SetEnvironmentVariableW(L"ZARVO_BOT_USER_DIR", folder.path().wstring().c_str());
    std::wstring command = L"\"" + widen(program_path("zarvo-bot")) + L"\"" + (arguments.empty() ? L"" : L" ") +
                           arguments;
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &process_)) {
        process_ = {};
        return;
    }
    CloseHandle(process_.hThread);
    if (second) return;
    eventually([&] { return (main = window(L"zarvo-bot_main")) != nullptr && IsWindowVisible(main); }, 30000);
    if (main) list = FindWindowExW(main, nullptr, L"zarvo-bot_event_list", nullptr);
}

Recorder::~Recorder() {
    if (!process_.hProcess) return;
    if (WaitForSingleObject(process_.hProcess, 0) != WAIT_OBJECT_0) {
        // Ask first (the program unregisters its keys and removes its icon),
        // then insist.
        if (main) PostMessageW(main, WM_COMMAND, 40008 /* ID_EXIT */, 0);
        if (WaitForSingleObject(process_.hProcess, 5000) != WAIT_OBJECT_0) TerminateProcess(process_.hProcess, 99);
        WaitForSingleObject(process_.hProcess, 5000);
    }
    CloseHandle(process_.hProcess);
}

std::string Recorder::wait(int ms) const {
    if (!process_.hProcess) return "[not started]";
    if (WaitForSingleObject(process_.hProcess, DWORD(ms)) != WAIT_OBJECT_0) return "[running]";
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return std::to_string(int(code));
}

void Recorder::command(int id) const { PostMessageW(main, WM_COMMAND, WPARAM(id), 0); }

LRESULT Recorder::send(UINT msg, WPARAM wp, LPARAM lp) const {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(list, msg, wp, lp, SMTO_NORMAL, 10000, &result);
    return LRESULT(result);
}

int Recorder::rows() const { return int(send(1327)); }
int Recorder::selected_row() const { return int(send(1326)); }
void Recorder::select_row(int row) const { send(1329, 0, row); }

std::wstring Recorder::row_name(int row) const {
    auto address = reinterpret_cast<const char*>(send(1332, 0, row));
    if (!address) return L"";
    char16_t name[zvb::kNameUnits] = {};
    SIZE_T got = 0;
    ReadProcessMemory(process_.hProcess, address + offsetof(zvb::ScenarioEntry, name), name, sizeof name - 2, &got);
    return reinterpret_cast<const wchar_t*>(name);
}

int Recorder::row_of(const std::wstring& name) const {
    for (int i = 0, n = rows(); i < n; ++i)
        if (row_name(i) == name) return i;
    return -1;
}

std::wstring Recorder::row_names() const {
    std::wstring all;
    for (int i = 0, n = rows(); i < n; ++i) all += (i ? L"|" : L"") + row_name(i);
    return all;
}

namespace {

struct Search {
    DWORD pid;
    const wchar_t* cls;
    const wchar_t* caption;
    bool visible_only;
    HWND found;
    bool boxes_only = false;
};

BOOL CALLBACK find_window(HWND w, LPARAM lp) {
    auto* s = reinterpret_cast<Search*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    wchar_t cls[64] = L"", caption[256] = L"";
    GetClassNameW(w, cls, 64);
    GetWindowTextW(w, caption, 256);
    if (pid != s->pid || lstrcmpW(cls, s->cls) != 0) return TRUE;
    if (s->visible_only && !IsWindowVisible(w)) return TRUE;
    if (s->caption && lstrcmpW(caption, s->caption) != 0) return TRUE;
    if (s->boxes_only && !GetDlgItem(w, 0xFFFF)) return TRUE;
    s->found = w;
    return FALSE;
}

}  // namespace

HWND Recorder::dialog(const wchar_t* caption, int ms) const {
    Search s = {pid(), L"#32770", caption, true, nullptr};
    eventually([&] { return EnumWindows(find_window, reinterpret_cast<LPARAM>(&s)), s.found != nullptr; }, ms);
    return s.found;
}

HWND Recorder::message_box(const wchar_t* caption, int ms) const {
    Search s = {pid(), L"#32770", caption, true, nullptr, true};
    eventually([&] { return EnumWindows(find_window, reinterpret_cast<LPARAM>(&s)), s.found != nullptr; }, ms);
    return s.found;
}

HWND Recorder::window(const wchar_t* cls) const {
    Search s = {pid(), cls, nullptr, false, nullptr};
    EnumWindows(find_window, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

std::wstring box_text(HWND box) { return item_text(box, 0xFFFF); }

std::wstring item_text(HWND dialog, int id) { return text_of(GetDlgItem(dialog, id)); }

void press(HWND dialog, int button) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
    eventually([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); });
}

std::wstring title_of(HWND w) { return text_of(w); }

}  // namespace zv::test
