// Benchmarks of the script editor zvs, run under Windows (Wine):
//
//   editor  the editor control in this process on a 100,000-line script:
//           reading the file and the first coloured paint; a key typed at
//           the end and at the start of it, from the message to the end of
//           the repaint
//   undo    undoing 1,000 / 10,000 / 100,000 separate edits (the text
//           model), and 10,000 through the control
//   console appends to the console: one character at a time, whole lines
//   run     a loop script run at "No Wait" in zvs.exe against zvs_cmd.exe
//
//   zvs_bench [section...]      (default: all; programs are found next to it)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "console_view.h"
#include "edit_control.h"
#include "script_file.h"
#include "text_model.h"
#include "zvs_messages.h"

namespace fs = std::filesystem;

namespace {

double now_ms() {
    static LARGE_INTEGER frequency;
    if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

void pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

struct Stats {
    double mean, p95, max;
};

Stats stats(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    double sum = 0;
    for (double x : v) sum += x;
    return {sum / double(v.size()), v[v.size() * 95 / 100], v.back()};
}

fs::path program_dir() {
    wchar_t path[MAX_PATH * 2];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
    return fs::path(std::wstring(path, n)).parent_path();
}

// A long script of the usual kinds of lines: functions, loops, calls with
// strings, comments, Japanese text.
std::string long_script(int lines) {
    const char* kinds[] = {
        "// 売上データを集計する",
        "function add_row(table, name, value) {",
        "\tvar row = {\"name\": name, \"value\": value}",
        "\tfor (i = 0; i < length(table); i++) {",
        "\t\tif (table[i][\"name\"] == name) { return i }",
        "\t}",
        "\ttable[length(table)] = row",
        "\treturn length(table) - 1",
        "}",
        "window = find_window(\"メモ帳\", 'Notepad')  // 見つからなければ 0",
        "while (busy(window)) { sleep(100) }",
        "print(\"行: \" + n + \"\\n\")",
    };
    std::string s;
    for (int i = 0; i < lines; ++i) {
        s += kinds[i % (sizeof kinds / sizeof *kinds)];
        s += "\r\n";
    }
    return s;
}

struct Host {
    HWND frame = nullptr, edit = nullptr;
    HFONT font = nullptr;

    Host() {
        zvs::edit_register(GetModuleHandleW(nullptr));
        frame = CreateWindowExW(0, L"STATIC", L"zvs_bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 1000, 800, nullptr,
                                nullptr, nullptr, nullptr);
        RECT r;
        GetClientRect(frame, &r);
        edit = CreateWindowExW(WS_EX_CLIENTEDGE, zvs::kEditClass, L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL, 0, 0,
                               r.right, r.bottom, frame, reinterpret_cast<HMENU>(1), nullptr, nullptr);
        LOGFONTW lf;
        GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf);
        lf.lfHeight = -16;
        font = CreateFontIndirectW(&lf);
        SendMessageW(edit, WM_SETFONT, WPARAM(font), 0);
        SendMessageW(edit, zvs::kEditLineNumbers, 1, 0);
        SendMessageW(edit, zvs::kEditKeywordSet, 1, 0);
        SetForegroundWindow(frame);
        SetFocus(edit);
        pump();
    }
    ~Host() {
        DestroyWindow(frame);
        DeleteObject(font);
    }
};

// Keys at one place of the text: each from WM_CHAR to the end of its paint.
void typing(Host& h, size_t at, const char* where) {
    SendMessageW(h.edit, EM_SETSEL, at, at);
    UpdateWindow(h.edit);
    std::vector<double> letters, enters, handling, enter_handling;
    for (int i = 0; i < 400; ++i) {
        wchar_t c = i % 40 == 39 ? L'\r' : wchar_t(L'a' + i % 26);
        double t = now_ms();
        SendMessageW(h.edit, WM_CHAR, c, 1);
        double handled = now_ms();
        UpdateWindow(h.edit);
        (c == L'\r' ? enters : letters).push_back(now_ms() - t);
        (c != L'\r' ? handling : enter_handling).push_back(handled - t);
        pump();
    }
    Stats l = stats(letters), e = stats(enters), m = stats(handling), em = stats(enter_handling);
    std::printf("  typing at the %-5s  letter: mean %.3f ms (%.3f of it the message), p95 %.3f, max %.3f;"
                "  Enter: mean %.3f ms (%.3f the message), max %.3f\n",
                where, l.mean, m.mean, l.p95, l.max, e.mean, em.mean, e.max);
}

void bench_editor() {
    std::printf("editor control, 100,000-line script\n");
    fs::path file = fs::temp_directory_path() / "zvs_bench_long.ksc";
    std::ofstream(file, std::ios::binary) << "\xEF\xBB\xBF" << long_script(100000);
    Host h;
    std::vector<double> opens;
    for (int run = 0; run < 5; ++run) {
        SendMessageW(h.edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
        pump();
        double t = now_ms();
        std::u16string text;
        DWORD error;
        zvs::read_script_file(file.wstring(), &text, &error);
        SendMessageW(h.edit, zvs::kEditLoadText, text.size() * 2, reinterpret_cast<LPARAM>(text.c_str()));
        UpdateWindow(h.edit);
        opens.push_back(now_ms() - t);
        pump();
    }
    Stats o = stats(opens);
    std::printf("  open and colour (read, decode, load, first paint): mean %.1f ms, max %.1f ms\n", o.mean, o.max);
    typing(h, size_t(SendMessageW(h.edit, WM_GETTEXTLENGTH, 0, 0)), "end");
    typing(h, 0, "start");
    fs::remove(file);
}

// The console taking what a script prints: one character at a time on one
// line (dots of progress), then whole lines.
void bench_console() {
    std::printf("console\n");
    zvs::console_register(GetModuleHandleW(nullptr));
    HWND frame = CreateWindowExW(0, L"STATIC", L"zvs_bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 1000, 300, nullptr,
                                 nullptr, nullptr, nullptr);
    HWND console = CreateWindowExW(WS_EX_CLIENTEDGE, zvs::kConsoleClass, L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL, 0, 0,
                                   980, 260, frame, nullptr, nullptr, nullptr);
    for (int lines : {0, 1}) {
        const int n = 20000;
        double t = now_ms();
        for (int i = 0; i < n; ++i)
            SendMessageW(console, zvs::kConsoleAppend, 0, reinterpret_cast<LPARAM>(lines ? L"one more line\r\n" : L"."));
        UpdateWindow(console);
        double ms = now_ms() - t;
        std::printf("  %d appends of %s: %.0f ms (%.1f us each)\n", n, lines ? "a line" : "one dot", ms,
                    ms * 1000.0 / n);
        SendMessageW(console, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
        pump();
    }
    DestroyWindow(frame);
}

// Undoing n separate edits of the text model: one unit overwritten at
// places spread over the text (so its length stays), each its own step.
double undo_model(size_t n) {
    std::string base = long_script(2000);
    std::u16string text(base.begin(), base.end());
    zvs::TextModel m;
    m.init();
    m.set_text(text.data(), text.size());
    size_t pos = 7;
    for (size_t i = 0; i < n; ++i) {
        pos = (pos * 7919 + 13) % m.length();
        m.insert(pos, u"x", 1, 1);
        m.commit();
    }
    double t = now_ms();
    size_t caret;
    size_t undone = 0;
    while (m.undo(&caret)) ++undone;
    double ms = now_ms() - t;
    if (undone != n) std::printf("  (undid %u of %u)\n", unsigned(undone), unsigned(n));
    return ms;
}

void bench_undo() {
    std::printf("undo\n");
    double base = 0;
    for (size_t n : {size_t(1000), size_t(10000), size_t(100000)}) {
        double ms = undo_model(n);
        if (!base) base = ms / double(n);
        std::printf("  text model, %6u edits: %8.1f ms  (%.2f us each, x%.2f the 1,000-edit rate)\n", unsigned(n), ms,
                    ms * 1000.0 / double(n), ms / double(n) / base);
    }
    Host h;
    std::string s = long_script(2000);
    std::wstring text(s.begin(), s.end());
    for (int n : {1000, 10000}) {
        SendMessageW(h.edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
        size_t len = text.size(), pos = 7;
        for (int i = 0; i < n; ++i) {
            pos = (pos * 7919 + 13) % (len + 1);
            SendMessageW(h.edit, EM_SETSEL, pos, pos);
            SendMessageW(h.edit, WM_CHAR, L'x', 1);
            ++len;
        }
        double t = now_ms();
        for (int i = 0; i < n; ++i) SendMessageW(h.edit, WM_UNDO, 0, 0);
        UpdateWindow(h.edit);
        double ms = now_ms() - t;
        std::printf("  editor control, %5d edits: %7.1f ms (%.1f us each), text back: %s\n", n, ms,
                    ms * 1000.0 / n, size_t(SendMessageW(h.edit, WM_GETTEXTLENGTH, 0, 0)) == text.size() ? "yes" : "NO");
        pump();
    }
}

// ---- run speed -----------------------------------------------------------

constexpr int kLoop = 1500000;

std::string loop_script(int n) {
    return "n = " + std::to_string(n) +
           "\ns = 0\nfor (i = 0; i < n; i++) {\n\ts = (s + i * 7 + i % 13) % 1000003\n}\nprint(s + \"\\n\")\n";
}

// Milliseconds of zvs_cmd on a script, from start to exit. (Wine keeps no
// processor times of other processes, so wall time it is: best of a few.)
double time_cmd(const fs::path& script) {
    std::wstring command = L"\"" + (program_dir() / "zvs_cmd.exe").wstring() + L"\" \"" + script.wstring() + L"\"";
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    double t = now_ms();
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
        return -1;
    WaitForSingleObject(pi.hProcess, INFINITE);
    double ms = now_ms() - t;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return ms;
}

struct FindMain {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK find_main(HWND w, LPARAM lp) {
    auto* f = reinterpret_cast<FindMain*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    wchar_t cls[64];
    GetClassNameW(w, cls, 64);
    if (pid == f->pid && !lstrcmpW(cls, L"KSCEditMainWndClass")) {
        f->found = w;
        return FALSE;
    }
    return TRUE;
}

// Milliseconds of runs of the script in one zvs.exe, F5 to the end.
std::vector<double> time_zvs(const fs::path& script, int runs) {
    fs::path settings = fs::temp_directory_path() / "zvs_bench_settings";
    fs::create_directories(settings);
    std::ofstream(settings / "ksc.ini") << "[EXEC]\r\nexec_speed=0\r\n";
    SetEnvironmentVariableW(L"ZVS_SETTINGS_DIR", settings.wstring().c_str());
    std::wstring command = L"\"" + (program_dir() / "zvs.exe").wstring() + L"\" \"" + script.wstring() + L"\"";
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::vector<double> times;
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return times;
    FindMain f = {pi.dwProcessId, nullptr};
    for (int i = 0; i < 3000 && !f.found; ++i, Sleep(10)) EnumWindows(find_main, reinterpret_cast<LPARAM>(&f));
    HWND edit = f.found ? FindWindowExW(f.found, nullptr, zvs::kEditClass, nullptr) : nullptr;
    auto running = [&] { return (GetWindowLongW(edit, GWL_STYLE) & ES_READONLY) != 0; };
    for (int r = 0; edit && r < runs; ++r) {
        Sleep(200);  // the program settles after the last run
        PostMessageW(f.found, WM_COMMAND, 40020, 0);  // Exec
        double t = now_ms();
        while (!running() && now_ms() - t < 10000) Sleep(0);
        while (running()) Sleep(1);
        times.push_back(now_ms() - t);
    }
    TerminateProcess(pi.hProcess, 0);
    WaitForSingleObject(pi.hProcess, 5000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return times;
}

void bench_run() {
    std::printf("run at No Wait, a loop of %d rounds\n", kLoop);
    fs::path dir = fs::temp_directory_path();
    // Both run ten times the rounds: a start (zvs_cmd) or the end of a run
    // (zvs) varies by more than the rounds alone now take.
    std::ofstream(dir / "zvs_bench_loop10.ksc") << loop_script(kLoop * 10);
    std::ofstream(dir / "zvs_bench_empty.ksc") << loop_script(0);
    constexpr int kRuns = 5;
    double cmd = 1e30, cmd0 = 1e30;
    for (int i = 0; i < kRuns; ++i) {
        cmd = std::min(cmd, time_cmd(dir / "zvs_bench_loop10.ksc"));
        cmd0 = std::min(cmd0, time_cmd(dir / "zvs_bench_empty.ksc"));
    }
    std::vector<double> runs = time_zvs(dir / "zvs_bench_loop10.ksc", kRuns);
    std::vector<double> runs0 = time_zvs(dir / "zvs_bench_empty.ksc", kRuns);
    if (runs.empty() || runs0.empty()) {
        std::printf("  zvs.exe did not run\n");
        return;
    }
    double zvs = *std::min_element(runs.begin(), runs.end()), zvs0 = *std::min_element(runs0.begin(), runs0.end());
    double cmd_rounds = (cmd - cmd0) / 10, zvs_rounds = (zvs - zvs0) / 10;
    std::printf("  zvs_cmd, start to exit: %.0f ms for ten times the rounds (%.0f ms without them)\n", cmd, cmd0);
    std::printf("  zvs, F5 to end of run:  %.0f ms for ten times the rounds (%.0f ms without them)\n", zvs, zvs0);
    std::printf("  the rounds alone: zvs_cmd %.1f ms, zvs %.1f ms: x%.2f\n", cmd_rounds, zvs_rounds,
                zvs_rounds / cmd_rounds);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    auto wanted = [&](const wchar_t* name) {
        if (argc < 2) return true;
        for (int i = 1; i < argc; ++i)
            if (!lstrcmpW(argv[i], name)) return true;
        return false;
    };
    if (wanted(L"editor")) bench_editor();
    if (wanted(L"console")) bench_console();
    if (wanted(L"undo")) bench_undo();
    if (wanted(L"run")) bench_run();
    return 0;
}
