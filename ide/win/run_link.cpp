// The run control's link to the windows: each entry of its view table is
// a message sent to a window, so that it happens on the window thread while
// the worker waits; and the worker thread itself.
#include <process.h>

#include "console_view.h"
#include "main_window.h"
#include "resource_ids.h"
#include "strings.h"
#include "zvs_messages.h"

namespace zvs {

namespace {

constexpr unsigned kWorkerStack = 16u << 20;  // the engine recurses: as much as zvs_cmd's main thread
constexpr DWORD kGraceMs = 1500;              // a second Stop waits this long for the run to end itself

MainWindow* main_of(void* ctx) { return static_cast<MainWindow*>(ctx); }

RunView make_view(MainWindow* w) {
    RunView v = {};
    v.ctx = w;
    v.fetch_script = [](void* c, std::u16string* text, std::u16string* path) {
        RunFetch f = {text, path, false};
        SendMessageW(main_of(c)->wnd, kRunFetch, 0, reinterpret_cast<LPARAM>(&f));
        return f.ok;
    };
    v.append = [](void* c, const std::u16string& text) {
        SendMessageW(main_of(c)->console, kConsoleAppend, 0, reinterpret_cast<LPARAM>(text.c_str()));
    };
    v.console_empty = [](void* c) { return SendMessageW(main_of(c)->console, WM_GETTEXTLENGTH, 0, 0) == 0; };
    v.reset_input = [](void* c) { SendMessageW(main_of(c)->console, kConsoleResetInput, 0, 0); };
    v.start_input = [](void* c) {
        MainWindow* w = main_of(c);
        SendMessageW(w->console, kConsoleStartInput, 1, 0);
        w->focus = w->console;
        SendMessageW(w->wnd, WM_SETFOCUS, 0, 0);  // on the window thread, where focus belongs
    };
    v.input_pending = [](void* c) { return SendMessageW(main_of(c)->console, kConsoleInputPending, 0, 0) != 0; };
    v.input_text = [](void* c) {
        auto* s = reinterpret_cast<const char16_t*>(SendMessageW(main_of(c)->console, kConsoleInputText, 0, 0));
        return std::u16string(s ? s : u"");
    };
    v.show_variables = [](void* c, ksc::Scope* scope) {
        SendMessageW(main_of(c)->vars, kVarShowScope, 0, reinterpret_cast<LPARAM>(scope));
    };
    v.mark_run_line = [](void* c, long line) { SendMessageW(main_of(c)->editor, kEditRunLine, 0, line); };
    v.mark_error_line = [](void* c, long line) { SendMessageW(main_of(c)->editor, kEditErrorLine, 0, line); };
    v.update_menus = [](void* c) { SendMessageW(main_of(c)->wnd, kRunMenus, 0, 0); };
    v.set_directory = [](void* c, const std::u16string& dir) {
        SendMessageW(main_of(c)->wnd, kRunDirectory, 0, reinterpret_cast<LPARAM>(dir.c_str()));
    };
    v.clock_text = [](void*) {
        wchar_t text[64] = L"";
        GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_NOSECONDS, nullptr, nullptr, text, 64);
        return std::u16string(reinterpret_cast<const char16_t*>(text));
    };
    v.status_text = [](void* c, RunText id) { return main_of(c)->status_texts[id - kTextStart]; };
    v.alloc_error = [](void* c) { SendMessageW(main_of(c)->wnd, kRunAllocError, 0, 0); };
    return v;
}

unsigned __stdcall worker_main(void* arg) {
    MainWindow* w = static_cast<MainWindow*>(arg);
    w->run->run();
    SendMessageW(w->wnd, kRunFinished, 0, 0);
    return 0;
}

void terminate_worker(void* arg) {
    MainWindow* w = static_cast<MainWindow*>(arg);
    TerminateThread(w->worker, 1);
    WaitForSingleObject(w->worker, 5000);
}

BOOL CALLBACK close_window(HWND window, LPARAM) {
    PostMessageW(window, WM_CLOSE, 0, 0);
    return TRUE;
}

// Waits up to ms for the worker to end, serving the messages it sends
// meanwhile (its last reports) but nothing else. True when it ended.
bool wait_for_worker(HANDLE worker, DWORD ms) {
    DWORD start = GetTickCount();
    for (;;) {
        DWORD spent = GetTickCount() - start;
        if (spent >= ms) return WaitForSingleObject(worker, 0) == WAIT_OBJECT_0;
        DWORD r = MsgWaitForMultipleObjects(1, &worker, FALSE, ms - spent, QS_SENDMESSAGE);
        if (r == WAIT_OBJECT_0) return true;
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

}  // namespace

void create_run_control(MainWindow* w) {
    RunControl::install_builtins();
    for (int id = kTextStart; id <= kTextResult; ++id) {
        std::wstring s = zv::ui::load_string(UINT(id));
        w->status_texts[id - kTextStart].assign(s.begin(), s.end());
    }
    w->run.reset(new RunControl(make_view(w)));
}

void start_worker(MainWindow* w) {
    if (w->worker) return;
    w->worker = reinterpret_cast<HANDLE>(
        _beginthreadex(nullptr, kWorkerStack, worker_main, w, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
}

// A run that does not come back from a library call is mostly waiting in a
// dialog or a message box of its own: those are closed (and a modal loop
// told to quit), and the stop request already pending ends the run as soon
// as the call returns. Only a worker still busy after the grace time is
// ended outright: under Wine a thread ended in the middle of its windows'
// work can leave the window thread waiting for it for good.
void kill_worker(MainWindow* w) {
    if (!w->worker) return;
    DWORD id = GetThreadId(w->worker);
    EnumThreadWindows(id, close_window, 0);
    PostThreadMessageW(id, WM_QUIT, 0, 0);
    w->stopping = true;  // the worker's own end leaves the handle to us
    bool ended = wait_for_worker(w->worker, kGraceMs);
    w->stopping = false;
    if (!ended) w->run->kill(terminate_worker, w);
    CloseHandle(w->worker);
    w->worker = nullptr;
    update_menus(w);
}

void worker_finished(MainWindow* w) {
    if (w->stopping) return;
    if (w->worker) CloseHandle(w->worker);
    w->worker = nullptr;
    update_menus(w);
}

}  // namespace zvs
