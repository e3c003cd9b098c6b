#include "main_window.h"

#include <shellapi.h>

#include <cstring>

#include "call_keys.h"
#include "dialogs.h"
#include "dpi.h"
#include "hand_over.h"
#include "header_bar.h"
#include "icons.h"
#include "ids.h"
#include "message_box.h"
#include "recording_window.h"
#include "scenario.h"
#include "scenario_list.h"
#include "statistics_report.h"
#include "strings.h"
#include "tooltip.h"
#include "window_class.h"

namespace zvb {

namespace {

MainWindow* g_main;

constexpr int kHeaderHeight = 63;
constexpr UINT kTrayId = 1;

std::wstring version_title() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    DWORD ignored = 0, size = GetFileVersionInfoSizeW(path, &ignored);
    std::wstring title = L"zarvo-bot";
    if (!size) return title;
    std::wstring data(size / 2 + 1, L'\0');
    VS_FIXEDFILEINFO* info = nullptr;
    UINT n = 0;
    if (!GetFileVersionInfoW(path, 0, size, &data[0]) ||
        !VerQueryValueW(&data[0], L"\\", reinterpret_cast<void**>(&info), &n) || !info)
        return title;
    int major = HIWORD(info->dwFileVersionMS), minor = LOWORD(info->dwFileVersionMS);
    int build = HIWORD(info->dwFileVersionLS), revision = LOWORD(info->dwFileVersionLS);
    // Version 1.2.3.0 reads "zarvo-bot Ver 1.23".
    return revision ? zv::ui::format(L"%s Ver %d.%d%d.%d", title.c_str(), major, minor, build, revision)
                    : zv::ui::format(L"%s Ver %d.%d%d", title.c_str(), major, minor, build);
}

void layout(MainWindow* w) {
    RECT r;
    GetClientRect(w->window, &r);
    int header = zv::ui::scale(kHeaderHeight);
    MoveWindow(w->line, 0, header - 1, r.right, 1, TRUE);
    MoveWindow(w->list, 0, header, r.right, r.bottom - header > 0 ? r.bottom - header : 0, TRUE);
}

void tray_icon(MainWindow* w, DWORD action) {
    NOTIFYICONDATAW nid = {};
    nid.cbSize = sizeof nid;
    nid.hWnd = w->window;
    nid.uID = kTrayId;
    nid.uFlags = NIF_ICON | NIF_MESSAGE | NIF_TIP;
    nid.uCallbackMessage = WM_ZV_TRAY;
    nid.hIcon = w->small_icon;
    lstrcpynW(nid.szTip, L"zarvo-bot", 64);
    if (action == NIM_ADD) {
        // An icon left by an earlier run is updated instead of added twice.
        if (Shell_NotifyIconW(NIM_MODIFY, &nid) || Shell_NotifyIconW(NIM_ADD, &nid)) w->tray = true;
    } else {
        Shell_NotifyIconW(NIM_DELETE, &nid);
        w->tray = false;
    }
}

void show_window(MainWindow* w) {
    if (IsIconic(w->window))
        ShowWindow(w->window, SW_RESTORE);
    else
        ShowWindow(w->window, SW_SHOW);
    SetForegroundWindow(w->window);
}

void tray_menu(MainWindow* w) {
    SetForegroundWindow(w->window);
    HMENU menu = LoadMenuW(w->module, MAKEINTRESOURCEW(IDM_TRAY));
    HMENU popup = GetSubMenu(menu, 0);
    bool can_record = w->recording_on ? w->paused : !w->player->running();
    EnableMenuItem(popup, ID_RECORD, MF_BYCOMMAND | (can_record ? MF_ENABLED : MF_GRAYED));
    POINT p;
    GetCursorPos(&p);
    TrackPopupMenu(popup, TPM_RIGHTBUTTON, p.x, p.y, 0, w->window, nullptr);
    PostMessageW(w->window, WM_NULL, 0, 0);
    DestroyMenu(menu);
}

void context_menu(MainWindow* w) {
    w->refresh_menu();
    POINT p;
    GetCursorPos(&p);
    TrackPopupMenu(GetSubMenu(w->menu, 1), TPM_RIGHTBUTTON, p.x, p.y, 0, w->window, nullptr);
}

LRESULT on_copy_data(MainWindow* w, const COPYDATASTRUCT* cd) {
    if (!cd || (cd->cbData && !cd->lpData)) return FALSE;
    const char* bytes = static_cast<const char*>(cd->lpData);
    size_t size = cd->cbData;
    HWND reply = nullptr;
    if (cd->dwData == kCopyPlayAndReply) {
        if (size < 4) return FALSE;
        uint32_t handle;
        memcpy(&handle, bytes, 4);
        reply = reinterpret_cast<HWND>(uintptr_t(handle));
        bytes += 4, size -= 4;
    }
    std::wstring text(size / sizeof(wchar_t), L'\0');
    memcpy(&text[0], bytes, text.size() * sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    if (cd->dwData == kCopyIsUserFolder) return lstrcmpiW(text.c_str(), w->folders.user.c_str()) == 0;
    if (cd->dwData != kCopyCommandLine && cd->dwData != kCopyPlayAndReply) return FALSE;
    if (w->recording_on || !IsWindowEnabled(w->window)) return FALSE;
    // Handled once the sender has its answer: what it asks for may show a
    // message box, and the sender must not wait for that.
    w->handed_over.push_back({text, reply});
    PostMessageW(w->window, WM_ZV_COMMAND_LINE, 0, 0);
    return TRUE;
}

void on_drop_files(MainWindow* w, HDROP drop) {
    std::vector<std::wstring> paths;
    UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        UINT n = DragQueryFileW(drop, i, nullptr, 0);
        std::wstring path(n + 1, L'\0');
        DragQueryFileW(drop, i, &path[0], n + 1);
        path.resize(n);
        paths.push_back(path);
    }
    DragFinish(drop);
    handle_dropped_files(w, paths);
}

LRESULT CALLBACK main_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    MainWindow* w = g_main;
    if (!w || !w->window) return DefWindowProcW(hwnd, msg, wp, lp);
    LRESULT handled;
    if (recording_message(w, msg, wp, lp, &handled)) return handled;
    switch (msg) {
    case WM_SIZE: layout(w); return 0;
    case WM_SETFOCUS: SetFocus(w->list); return 0;
    case WM_INITMENUPOPUP: w->refresh_menu(); return 0;
    case WM_COMMAND:
        switch (LOWORD(wp)) {
        case IDC_RECORD: on_command(w, ID_RECORD); break;
        case IDC_PAUSE: on_command(w, ID_PAUSE); break;
        case IDC_STOP: on_command(w, ID_STOP); break;
        default: on_command(w, LOWORD(wp)); break;
        }
        return 0;
    case WM_ZV_TRAY:
        if (lp == WM_LBUTTONDOWN) show_window(w);
        if (lp == WM_RBUTTONDOWN) tray_menu(w);
        return 0;
    case WM_CLOSE:
        // Closing the recording bar ends the recording and offers it for
        // saving before the window goes.
        stop_recording(w);
        if (w->settings.trayicon) {
            w->save_settings();
            w->save_list();
            ShowWindow(hwnd, SW_HIDE);
        } else {
            on_command(w, ID_EXIT);
        }
        return 0;
    case WM_COPYDATA: return on_copy_data(w, reinterpret_cast<const COPYDATASTRUCT*>(lp));
    case WM_HOTKEY:
        if (is_stop_hot_key(int(wp)))
            w->player->stop();
        else
            on_call_key(w, int(wp));
        return 0;
    case WM_ZV_PLAY_START: w->player->on_play_start(wp); return 0;
    case WM_ZV_PLAY_END: w->player->on_play_end(wp); return 0;
    case WM_ZV_STEP: w->player->on_step(lp); return 0;
    case WM_TIMER:
        if (wp == kWatchTimer) w->player->on_timer();
        if (wp == kConvertTimer) on_convert_timer(w);
        return 0;
    case WM_EXITSIZEMOVE:
        if (!w->recording_on && IsWindowVisible(hwnd) && !IsIconic(hwnd) && !IsZoomed(hwnd)) {
            RECT r;
            GetWindowRect(hwnd, &r);
            w->settings.main_left = r.left, w->settings.main_top = r.top;
            w->settings.main_right = r.right - r.left, w->settings.main_bottom = r.bottom - r.top;
        }
        return 0;
    case WM_QUERYENDSESSION: return TRUE;
    case WM_ENDSESSION:
        if (wp) shut_down(w);
        return 0;
    case WM_DROPFILES: on_drop_files(w, reinterpret_cast<HDROP>(wp)); return 0;
    case WM_ZV_CONTEXT_MENU: context_menu(w); return 0;
    case WM_ZV_SELECTION_CHANGED: w->refresh_menu(); return 0;
    case WM_ZV_PLAY_SELECTED: on_command(w, ID_PLAY); return 0;
    case WM_ZV_EDIT_SELECTED: on_command(w, ID_EDIT); return 0;
    case WM_ZV_MOVE_TO:
    case WM_ZV_COPY_TO:
    case WM_ZV_GROUP_WITH: on_list_drop(w, msg, int(wp), reinterpret_cast<ScenarioEntry*>(lp)); return 0;
    case WM_ZV_PLAY_ENTRY: {
        ScenarioEntry* e = tree_find_id(w->root, int(lp));
        HWND reply = reinterpret_cast<HWND>(wp);
        if (!e || w->player->running()) {
            if (reply) PostMessageW(reply, kPlayResult, 1, 0);
            return 0;
        }
        w->play_reply = reply;
        w->player->launch(e, nullptr);
        return 0;
    }
    case WM_ZV_COMMAND_LINE:
        if (!w->handed_over.empty()) {
            MainWindow::HandedOver h = w->handed_over.front();
            w->handed_over.erase(w->handed_over.begin());
            play_command_line(w, h.text, h.reply);
        }
        return 0;
    case WM_ZV_UNREGISTER_KEYS: unregister_call_keys(hwnd, w->root); return 0;
    case WM_ZV_REGISTER_KEYS: return register_call_keys(hwnd, w->root) ? 0 : -1;
    case LM_REBUILD: w->rebuild_list(); return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default: break;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

MainWindow* main_window() { return g_main; }

void MainWindow::playing_changed(bool playing) {
    SetWindowTextW(window, playing ? zv::ui::load_string(IDS_PLAYING).c_str() : title.c_str());
    SendMessageW(list, LM_REBUILD, 0, 0);
    refresh_menu();
}

void MainWindow::report(int number) { show(number); }

void MainWindow::play_finished() {
    if (play_reply) {
        const PlayOutcome& o = player->outcome();
        bool normal = o.started && !o.stopped && !o.error_step && o.exit_code == 0;
        PostMessageW(play_reply, kPlayResult, normal ? 0 : 1, o.error_step);
        play_reply = nullptr;
    }
    write_statistics(this);
}

ScenarioEntry* MainWindow::selected() const {
    return reinterpret_cast<ScenarioEntry*>(SendMessageW(list, LM_GET_SELECTED, 0, 0));
}

void MainWindow::rebuild_list(ScenarioEntry* select) {
    SendMessageW(list, LM_REBUILD, 0, 0);
    if (select) SendMessageW(list, LM_SELECT_ENTRY, 0, reinterpret_cast<LPARAM>(select));
    refresh_menu();
}

int MainWindow::show(const Message& m, UINT type, HWND owner) const {
    if (!message_row(m.number)) {
        // The play's own messages live in the program's string table.
        std::wstring caption = m.number == kMessageCallKeyFailed ? L"zarvo-bot" : zv::ui::load_string(IDS_ERROR);
        return zv::ui::message_box(owner ? owner : window, zv::ui::load_string(UINT(m.number)), caption, type);
    }
    std::u16string text = message_string(m), caption = message_caption(m);
    return MessageBoxW(owner ? owner : window, reinterpret_cast<const wchar_t*>(text.c_str()),
                       reinterpret_cast<const wchar_t*>(caption.c_str()), type);
}

void MainWindow::refresh_menu() {
    if (!menu) return;
    ScenarioEntry* e = selected();
    bool playing = player && player->running();
    auto enable = [&](UINT id, bool on) { EnableMenuItem(menu, id, MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED)); };
    refresh_recording_menu(this);

    bool idle = !playing && !recording_on;
    bool can = idle && e;
    TreePlace place = {};
    bool placed = e && tree_find_place(root, e, &place);
    bool first_top = placed && !place.group && place.prev == place.head;
    bool last_top = placed && !place.group && !e->next;
    std::wstring play_text = zv::ui::load_string(playing ? IDS_STOP_ITEM : IDS_PLAY_ITEM);
    ModifyMenuW(menu, ID_PLAY, MF_BYCOMMAND | MF_STRING, ID_PLAY, play_text.c_str());
    std::wstring edit_text =
        zv::ui::load_string(e && e->type == kTypeGroup ? IDS_EDIT_GROUP_ITEM : IDS_EDIT_SCENARIO_ITEM);
    ModifyMenuW(menu, ID_EDIT, MF_BYCOMMAND | MF_STRING, ID_EDIT, edit_text.c_str());
    enable(ID_PLAY, playing || can);
    enable(ID_REPEAT_PLAY, can && e->type != kTypeScript);
    enable(ID_EDIT, can);
    enable(ID_MOVE_UP, can && !first_top);
    enable(ID_MOVE_DOWN, can && !last_top);
    enable(ID_CALL_KEY, can);
    enable(ID_CONVERT, can && e->type == kTypeTimeline);
    enable(ID_COPY, can);
    enable(ID_EXPORT, can);
    enable(ID_EXECUTABLE, can);
    // Commands that change the tree wait for the play to end: the play
    // follows its entry by pointer.
    enable(ID_RENAME, can);
    enable(ID_DELETE, can);
    enable(ID_NEW_GROUP, idle);
    enable(ID_NEW_SCRIPT, idle);
    enable(ID_REFRESH, idle);
    enable(ID_IMPORT, idle);
    CheckMenuItem(menu, ID_REC_MOUSE_MOVE, MF_BYCOMMAND | (settings.rec_mouse_move ? MF_CHECKED : MF_UNCHECKED));
    CheckMenuItem(menu, ID_PLAY_LOG, MF_BYCOMMAND | (settings.enable_log ? MF_CHECKED : MF_UNCHECKED));
    DrawMenuBar(window);
}

void MainWindow::save_settings() {
    if (!folders.settings_file.empty()) write_settings(folders.settings_file, settings);
}

void MainWindow::register_keys() {
    if (!register_call_keys(window, root) && !call_key_failure_shown) {
        call_key_failure_shown = true;
        show(make_message(kMessageCallKeyFailed));
    }
}

void MainWindow::apply_log_setting() {
    std::wstring folder = log_folder(folders, settings.log_path);
    if (settings.enable_log) make_folders(folder);
    log.configure(settings.enable_log != 0, folder);
}

bool register_main_classes(HINSTANCE module) {
    return zv::ui::register_window_class(
               module, {L"zarvo-bot_main", main_proc, 0, GetSysColorBrush(COLOR_BTNFACE), nullptr,
                        make_icon(Picture::kProgram, GetSystemMetrics(SM_CXICON)),
                        make_icon(Picture::kProgram, GetSystemMetrics(SM_CXSMICON))}) &&
           register_scenario_list_class(module) && register_header_classes(module) && register_tooltip_class(module);
}

bool create_main_window(MainWindow* w, int show) {
    g_main = w;
    int x = w->settings.main_left, y = w->settings.main_top;
    if (x > GetSystemMetrics(SM_CXSCREEN)) x = 0;
    if (y > GetSystemMetrics(SM_CYSCREEN)) y = 0;
    HWND hwnd = CreateWindowExW(WS_EX_ACCEPTFILES, L"zarvo-bot_main", L"zarvo-bot", WS_OVERLAPPEDWINDOW, x, y,
                                w->settings.main_right, w->settings.main_bottom, nullptr, nullptr, w->module, nullptr);
    if (!hwnd) return false;
    w->window = hwnd;
    w->icon = make_icon(Picture::kProgram, GetSystemMetrics(SM_CXICON));
    w->small_icon = make_icon(Picture::kProgram, GetSystemMetrics(SM_CXSMICON));
    DragAcceptFiles(hwnd, TRUE);
    w->menu = LoadMenuW(w->module, MAKEINTRESOURCEW(IDM_MAIN));
    SetMenu(hwnd, w->menu);
    w->accelerators = LoadAcceleratorsW(w->module, MAKEINTRESOURCEW(IDA_MAIN));
    w->tooltip = create_tooltip(w->module, hwnd);
    if (w->settings.trayicon) tray_icon(w, NIM_ADD);

    w->line = create_header_line(hwnd, IDC_HEADER_LINE);
    const struct {
        int id;
        const wchar_t* text;
        Picture picture;
        int x;
    } buttons[] = {{IDC_RECORD, L"記録", Picture::kRecord, 10},
                   {IDC_PAUSE, L"一時停止", Picture::kPause, 70},
                   {IDC_STOP, L"停止", Picture::kStop, 130}};
    for (int i = 0; i < 3; ++i) {
        w->buttons[i] = create_header_button(hwnd, buttons[i].id, buttons[i].text, buttons[i].x, 5);
        HICON icon = make_icon(buttons[i].picture, zv::ui::scale(32));
        SendMessageW(w->buttons[i], WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
        DestroyIcon(icon);  // the button keeps its own copy
    }

    w->root = load_scenarios(w);
    w->player.reset(new Player(hwnd, w->root, w->settings, w->folders, w->log, *w));
    recording_setup(w);
    w->list = create_scenario_list(hwnd, w->root, w->tooltip);
    w->register_keys();
    w->title = version_title();
    SetWindowTextW(hwnd, w->title.c_str());
    w->refresh_menu();
    w->log.write(L"*initialize*", w->title);
    layout(w);
    if (!(w->settings.trayicon && w->settings.hide_window)) {
        ShowWindow(hwnd, show);
        UpdateWindow(hwnd);
    }
    SetFocus(w->list);

    if (!w->command_line.empty()) play_command_line(w, w->command_line);
    if (!w->settings.hide_tutorial) {
        show_tutorial(hwnd, &w->settings);
        w->save_settings();
    }
    return true;
}

int run_message_loop(MainWindow* w) {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (w->window && GetForegroundWindow() == w->window && TranslateAcceleratorW(w->window, w->accelerators, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return int(msg.wParam);
}

void shut_down(MainWindow* w) {
    if (!w->window) return;
    w->save_settings();
    w->save_list();
    recording_shutdown(w);
    if (w->player->running()) w->player->stop();
    DeleteFileW(w->folders.play_script.c_str());
    Player::release_held_input();
    unregister_call_keys(w->window, w->root);
    if (w->tray) tray_icon(w, NIM_DELETE);
    HWND window = w->window;
    DestroyWindow(window);  // menus and child windows go with it
    w->window = nullptr;
    free_scenarios(w);
    if (w->icon) DestroyIcon(w->icon);
    if (w->small_icon) DestroyIcon(w->small_icon);
}

}  // namespace zvb
