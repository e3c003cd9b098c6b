#include "target_driver.h"

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include "zv_test_support.h"

namespace fs = std::filesystem;

namespace zv::test {

namespace {

std::wstring widen(const std::string& s) {
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), nullptr, 0);
    std::wstring w(size_t(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), &w[0], n);
    return w;
}

}  // namespace

bool have_desktop() {
    HWND probe = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    if (probe) DestroyWindow(probe);
    return probe != nullptr;
}

bool eventually(const std::function<bool()>& condition, int ms) {
    DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > DWORD(ms)) return condition();
        Sleep(10);
    }
    return true;
}

fs::path fresh_dir(const char* what) {
    static std::atomic<int> counter{0};
    fs::path dir = fs::temp_directory_path() /
                   (std::string(what) + "-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

std::wstring text_of(HWND window) {
    wchar_t buf[512];
    DWORD_PTR n = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(buf), SMTO_NORMAL, 5000, &n)) n = 0;
    return std::wstring(buf, size_t(n));
}

int handle(HWND window) { return int(reinterpret_cast<INT_PTR>(window)); }

std::string number(HWND window) { return std::to_string(handle(window)); }

Target::Target(unsigned lifetime_ms) : dir_(fresh_dir("zv_target")) {
    id_ = dir_.filename().string().substr(sizeof "zv_target-" - 1);  // pid-counter
    title_ = "ZV Target " + id_;
    std::wstring command = L"\"" + widen(program_path("zv_target")) + L"\" --class zv_test_target --title \"" +
                           widen(title_) + L"\" --log \"" + (dir_ / "target.log").wstring() + L"\" --lifetime " +
                           std::to_wstring(lifetime_ms);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &process_)) {
        process_ = {};
        return;
    }
    CloseHandle(process_.hThread);
    if (!eventually([&] { return log().find("ready ") != std::string::npos; }, 30000)) return;
    std::string text = log();
    std::istringstream ready(text.substr(text.find("ready ")));
    std::string word;
    while (ready >> word) {
        size_t eq = word.find('=');
        if (eq == std::string::npos) continue;
        HWND h = reinterpret_cast<HWND>(INT_PTR(std::atoi(word.c_str() + eq + 1)));
        std::string name = word.substr(0, eq);
        if (name == "main") main = h;
        if (name == "edit") edit = h;
        if (name == "button") button = h;
        if (name == "check") check = h;
        if (name == "pad") pad = h;
    }
}

Target::~Target() {
    if (process_.hProcess) {
        TerminateProcess(process_.hProcess, 0);
        WaitForSingleObject(process_.hProcess, 10000);
        CloseHandle(process_.hProcess);
    }
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
}

std::string Target::log() const {
    std::ifstream in(dir_ / "target.log", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Target::logged(const std::string& line) const {
    std::string text = "\n" + log();
    return text.find("\n" + line + "\n") != std::string::npos;
}

std::string Target::script(const std::string& body) const {
    fs::path dir = fresh_dir("zv_target_script");
    std::ofstream(dir / "main.ksc", std::ios::binary)
        << "#import(\"DESKOPS\")\nmain = " << number(main) << "\nedit = " << number(edit) << "\nbutton = "
        << number(button) << "\ncheck = " << number(check) << "\npad = " << number(pad) << "\n"
        << body;
    RunOptions options;
    options.working_dir = dir.u8string();
    RunResult r = run_program(program_path("zvs_cmd"), {"main.ksc"}, options);
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    std::string out;
    for (char c : r.out)
        if (c != '\r') out += c;
    if (r.timed_out)
        out += "[timed out]";
    else if (r.exit_code != 0)
        out += "[exit " + std::to_string(r.exit_code) + "]";
    return out;
}

}  // namespace zv::test
