#include "recording_window.h"

#include <ctime>
#include <string>
#include <vector>

#include "dialogs.h"
#include "dpi.h"
#include "ids.h"
#include "insert_dialogs.h"
#include "main_window.h"
#include "message_box.h"
#include "profile.h"
#include "recorder.h"
#include "scenario.h"
#include "store.h"
#include "strings.h"
#include "zvh.h"

namespace zvb {

struct RecordingSession {
    Recorder recorder;
    HMENU menu = nullptr;  // the recording menu: the 記録 pop-up alone
    WINDOWPLACEMENT placement = {};
    LONG style = 0;
    bool was_visible = false;

    RecordingSession(HWND window, const std::wstring& temp)
        : recorder(window, {zvh_start, zvh_stop}, temp, WM_ZV_RECORDING_FAILED) {}
};

namespace {

constexpr int kMessageMergeFailed = 1013, kMessageRecordingNotStarted = 1060, kMessageRecordingStopped = 1061,
              kMessageHooksSilent = 1062;
constexpr int kBarWidth = 190, kBarHeight = 63;  // client area at 100 %
constexpr int kRecordMenuPosition = 2;            // 記録(&R) in the menu bar

RecordingSession* session(MainWindow* w) { return w->recording_session; }

RecordSettings record_settings(const GlobalSettings& g) {
    RecordSettings s;
    s.rec_mouse_move = g.rec_mouse_move;
    s.rec_mouse_move_all = g.rec_mouse_move_all;
    s.rec_always_copy_desctop = g.rec_always_copy_desctop;
    s.rec_marge = g.rec_marge;
    s.rec_delete_first_click = g.rec_delete_first_click;
    s.rec_first_click_window_class = g.rec_first_click_window_class;
    s.click_point = g.click_point;
    s.click_interval = g.click_interval;
    return s;
}

std::u16string u16(const std::wstring& s) { return std::u16string(s.begin(), s.end()); }

// A numbered message while recording: its time does not count and what the
// user does in it is not recorded.
void show_while_recording(MainWindow* w, const Message& m, UINT type) {
    Recorder& r = session(w)->recorder;
    r.dialog_opened();
    w->show(m, type | MB_SETFOREGROUND);
    r.dialog_closed();
}

// The recording menu: the normal menu's 記録 pop-up alone in a menu bar.
HMENU make_recording_menu(MainWindow* w) {
    HMENU bar = LoadMenuW(w->module, MAKEINTRESOURCEW(IDM_MAIN));
    if (!bar) return nullptr;
    for (int i = GetMenuItemCount(bar) - 1; i >= 0; --i)
        if (i != kRecordMenuPosition) DeleteMenu(bar, UINT(i), MF_BYPOSITION);
    return bar;
}

BOOL CALLBACK collect_owned(HWND w, LPARAM lp) {
    auto* owned = reinterpret_cast<std::vector<HWND>*>(lp);
    if (GetWindow(w, GW_OWNER) == owned->front()) owned->push_back(w);
    return TRUE;
}

// Puts the window in the always-on-top layer. Its owned pop-ups (the
// list's tooltip) leave it for the moment: some systems stack them in
// between and leave the window itself an ordinary one.
void make_topmost(HWND h) {
    std::vector<HWND> owned = {h};
    EnumThreadWindows(GetCurrentThreadId(), collect_owned, reinterpret_cast<LPARAM>(&owned));
    for (size_t i = 1; i < owned.size(); ++i) SetWindowLongPtrW(owned[i], GWLP_HWNDPARENT, 0);
    SetWindowPos(h, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    for (size_t i = 1; i < owned.size(); ++i)
        SetWindowLongPtrW(owned[i], GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(h));
}

// The window as a small always-on-top bar with the three buttons.
void enter_bar(MainWindow* w) {
    RecordingSession* s = session(w);
    HWND h = w->window;
    s->placement.length = sizeof s->placement;
    GetWindowPlacement(h, &s->placement);
    s->style = GetWindowLongW(h, GWL_STYLE);
    s->was_visible = IsWindowVisible(h);
    if (IsIconic(h) || IsZoomed(h)) ShowWindow(h, SW_RESTORE);
    ShowWindow(w->list, SW_HIDE);
    ShowWindow(w->line, SW_HIDE);
    LONG bar = (s->style & ~(WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)) | WS_CAPTION | WS_SYSMENU;
    SetWindowLongW(h, GWL_STYLE, bar);
    SetMenu(h, s->menu);
    RECT r = {0, 0, zv::ui::scale(kBarWidth), zv::ui::scale(kBarHeight)};
    AdjustWindowRectEx(&r, DWORD(GetWindowLongW(h, GWL_STYLE)), TRUE, DWORD(GetWindowLongW(h, GWL_EXSTYLE)));
    SetWindowPos(h, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED | SWP_SHOWWINDOW);
    // A menu bar wider than the bar wraps: the client area is what counts.
    RECT client;
    GetClientRect(h, &client);
    int grow = zv::ui::scale(kBarHeight) - (client.bottom - client.top);
    if (grow > 0) SetWindowPos(h, nullptr, 0, 0, r.right - r.left, r.bottom - r.top + grow, SWP_NOMOVE | SWP_NOZORDER);
    make_topmost(h);
}

void leave_bar(MainWindow* w) {
    RecordingSession* s = session(w);
    HWND h = w->window;
    SetWindowLongW(h, GWL_STYLE, s->style);
    SetMenu(h, w->menu);
    SetWindowPos(h, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_FRAMECHANGED);
    WINDOWPLACEMENT p = s->placement;
    if (p.showCmd == SW_SHOWMINIMIZED || p.showCmd == SW_MINIMIZE) p.showCmd = SW_SHOWNORMAL;
    SetWindowPlacement(h, &p);
    ShowWindow(w->line, SW_SHOW);
    ShowWindow(w->list, SW_SHOW);
    if (!s->was_visible) ShowWindow(h, SW_SHOW);  // the new scenario is shown in the list
}

void set_title(MainWindow* w) {
    const Recorder& r = session(w)->recorder;
    SetWindowTextW(w->window, !r.recording() ? w->title.c_str()
                              : r.paused()   ? zv::ui::load_string(IDS_PAUSED).c_str()
                                             : zv::ui::load_string(IDS_RECORDING).c_str());
}

void state_changed(MainWindow* w) {
    const Recorder& r = session(w)->recorder;
    w->recording_on = r.recording();
    w->paused = r.paused();
    set_title(w);
    w->refresh_menu();
}

void start(MainWindow* w) {
    RecordingSession* s = session(w);
    Recorder& r = s->recorder;
    if (r.recording()) {
        if (r.paused()) r.resume();
        return state_changed(w);
    }
    if (w->player->running() || !IsWindowEnabled(w->window)) return;
    DWORD error = 0;
    if (!r.start(record_settings(w->settings), &error)) {
        w->show(make_message(kMessageRecordingNotStarted, {u16(zv::ui::system_error_text(error))}));
        return;
    }
    enter_bar(w);
    SetTimer(w->window, kHookCheckTimer, 1000, nullptr);
    state_changed(w);
}

void pause(MainWindow* w) {
    session(w)->recorder.pause();
    state_changed(w);
}

// The name dialog "シナリオの保存" for the recording; the new entry joins
// the tree beside the selected one.
void save_recording(MainWindow* w) {
    Recorder& r = session(w)->recorder;
    ScenarioEntry* at = w->selected();
    std::u16string folder = store_folder_of(&w->store, at);
    ScenarioEntry* made = nullptr;
    uint32_t duration = r.duration_ms();
    ask_name(w->window, 0, L"", [&](HWND dialog, const std::wstring& name, const std::wstring& title) {
        if (int32_t refused = store_check_name(folder, u16(name))) {
            std::u16string text = message_string(make_message(refused));
            zv::ui::message_box(dialog, std::wstring(text.begin(), text.end()), title, MB_OK | MB_ICONERROR);
            return false;
        }
        Message error;
        made = store_add_recording(&w->store, at, u16(r.operations_path()), u16(name), &error);
        if (!made) w->show(error, MB_OK | MB_ICONERROR, dialog);
        return made != nullptr;
    });
    if (!made) return;
    std::u16string ini = std::u16string(made->path) + u".ini";
    std::wstring record = zv::ui::format(L"%u", duration);
    std::wstring stamp = zv::ui::format(L"%lu", static_cast<unsigned long>(time(nullptr)));
    zv::profile_write(ini.c_str(), u"TIME", u"record", u16(record).c_str());
    zv::profile_write(ini.c_str(), u"TIME", u"record_timestamp", u16(stamp).c_str());
    w->save_list();
    w->rebuild_list(made);
}

// Ends the recording; a failure of the thread comes with its system error.
void stop(MainWindow* w, DWORD failure) {
    RecordingSession* s = session(w);
    Recorder& r = s->recorder;
    if (!r.recording()) return;
    KillTimer(w->window, kHookCheckTimer);
    r.stop();
    leave_bar(w);
    state_changed(w);
    if (failure)
        w->show(make_message(kMessageRecordingStopped, {u16(zv::ui::system_error_text(failure))}),
                MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
    if (!r.has_operations()) return;
    // A merge that fails leaves the recording as it was recorded; it is
    // still offered for saving rather than lost.
    if (w->settings.rec_marge == 1 && !r.merge(record_settings(w->settings)))
        w->show(make_message(kMessageMergeFailed));
    if (r.has_operations()) save_recording(w);
}

void insert(MainWindow* w, Insert kind) {
    Recorder& r = session(w)->recorder;
    if (!r.recording() || r.dialog_open()) return;
    r.dialog_opened();
    OperationRecord* op = run_insert_dialog(w->module, w->window, kind);
    r.dialog_closed();
    r.post_other(op);  // nothing while paused
}

// The hooks went quiet while the user worked: tell, and install them again.
void check_hooks(MainWindow* w) {
    Recorder& r = session(w)->recorder;
    r.flush_pending();
    LASTINPUTINFO input = {sizeof input, 0};
    if (!r.recording() || r.dialog_open() || !GetLastInputInfo(&input)) return;
    if (!r.hooks_silent(GetTickCount(), input.dwTime)) return;
    r.restart_hooks();
    show_while_recording(w, make_message(kMessageHooksSilent), MB_OK | MB_ICONWARNING);
}

}  // namespace

void recording_setup(MainWindow* w) {
    w->recording_session = new RecordingSession(w->window, w->folders.temp);
    w->recording_session->menu = make_recording_menu(w);
}

bool recording_command(MainWindow* w, int id) {
    if (!session(w)) return false;
    switch (id) {
    case ID_RECORD: start(w); return true;
    case ID_PAUSE: pause(w); return true;
    case ID_STOP: stop(w, 0); return true;
    case ID_INSERT_LAUNCH: insert(w, Insert::kLaunch); return true;
    case ID_INSERT_TEXT: insert(w, Insert::kText); return true;
    case ID_INSERT_INPUT: insert(w, Insert::kInput); return true;
    case ID_INSERT_DATETIME: insert(w, Insert::kDateTime); return true;
    default: return false;
    }
}

bool recording_message(MainWindow* w, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
    RecordingSession* s = session(w);
    if (!s) return false;
    *result = 0;
    switch (msg) {
    case kHookMouseMessage: s->recorder.on_mouse(wp, reinterpret_cast<const MSLLHOOKSTRUCT*>(lp)); return true;
    case kHookKeyMessage: s->recorder.on_key(wp, reinterpret_cast<const KBDLLHOOKSTRUCT*>(lp)); return true;
    case WM_ZV_RECORDING_FAILED: stop(w, DWORD(wp)); return true;
    case WM_TIMER:
        if (wp != kHookCheckTimer) return false;
        check_hooks(w);
        return true;
    default: return false;
    }
}

void refresh_recording_menu(MainWindow* w) {
    RecordingSession* s = session(w);
    bool recording = s && s->recorder.recording(), paused = recording && s->recorder.paused();
    bool playing = w->player && w->player->running();
    const struct {
        UINT id;
        bool on;
    } items[] = {
        {ID_RECORD, recording ? paused : !playing},
        {ID_PAUSE, recording && !paused},
        {ID_STOP, recording},
        {ID_INSERT_LAUNCH, recording},
        {ID_INSERT_TEXT, recording},
        {ID_INSERT_INPUT, recording},
        {ID_INSERT_DATETIME, recording},
    };
    for (const auto& item : items) {
        UINT flags = MF_BYCOMMAND | (item.on ? MF_ENABLED : MF_GRAYED);
        EnableMenuItem(w->menu, item.id, flags);
        if (s && s->menu) EnableMenuItem(s->menu, item.id, flags);
    }
    if (s && s->menu)
        CheckMenuItem(s->menu, ID_REC_MOUSE_MOVE,
                      MF_BYCOMMAND | (w->settings.rec_mouse_move ? MF_CHECKED : MF_UNCHECKED));
    if (s) s->recorder.set_mouse_move(w->settings.rec_mouse_move != 0);
    for (int i = 0; i < 3; ++i) EnableWindow(w->buttons[i], items[i].on);
}

void stop_recording(MainWindow* w) {
    if (session(w)) stop(w, 0);
}

void recording_shutdown(MainWindow* w) {
    RecordingSession* s = session(w);
    if (!s) return;
    KillTimer(w->window, kHookCheckTimer);
    s->recorder.stop();
    s->recorder.delete_files();
    if (GetMenu(w->window) == s->menu) SetMenu(w->window, w->menu);
    if (s->menu) DestroyMenu(s->menu);
    delete s;
    w->recording_session = nullptr;
    w->recording_on = w->paused = false;
}

}  // namespace zvb
