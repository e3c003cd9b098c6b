// The main window: creation, layout and splitters, focus, settings, drops,
// closing, and the messages the run's worker sends.
#include "main_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>

#include "console_view.h"
#include "dpi.h"
#include "edit_control.h"
#include "menus.h"
#include "resource_ids.h"
#include "strings.h"
#include "variable_view.h"
#include "window_class.h"
#include "zvs_messages.h"

namespace zvs {

namespace {

constexpr UINT_PTR kTutorialTimer = 1;
constexpr UINT_PTR kDragTimer = 2;

MainWindow* main_of(HWND wnd) { return reinterpret_cast<MainWindow*>(GetWindowLongPtrW(wnd, GWLP_USERDATA)); }

int gap() { return zv::ui::scale(4); }
int minimum() { return zv::ui::scale(10); }

int toolbar_height(const MainWindow* w) {
    RECT r;
    GetWindowRect(w->toolbar, &r);
    return r.bottom - r.top;
}

void layout(MainWindow* w) {
    RECT c;
    GetClientRect(w->wnd, &c);
    SendMessageW(w->toolbar, TB_AUTOSIZE, 0, 0);
    int W = c.right, H = c.bottom, T = toolbar_height(w);
    int& R = w->settings.right_pane;
    int& B = w->settings.console_h;
    if (W - R <= minimum()) R = W - minimum();
    if (R <= minimum()) R = minimum();
    if (T >= H - B) B = H - minimum() - T;
    if (B <= minimum()) B = minimum();
    HDWP dwp = BeginDeferWindowPos(3);
    dwp = DeferWindowPos(dwp, w->editor, nullptr, 0, T, std::max(0, W - R), std::max(0, H - B - T), SWP_NOZORDER);
    dwp = DeferWindowPos(dwp, w->vars, nullptr, W - R + gap(), T, std::max(0, R - gap()), std::max(0, H - B - T),
                         SWP_NOZORDER);
    dwp = DeferWindowPos(dwp, w->console, nullptr, 0, H - B + gap(), W, std::max(0, B - gap()), SWP_NOZORDER);
    EndDeferWindowPos(dwp);
}

HWND create_toolbar(MainWindow* w) {
    HWND tb = CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr,
                              WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_TOP, 0, 0, 0, 0, w->wnd,
                              reinterpret_cast<HMENU>(IDC_TOOLBAR), w->module, nullptr);
    if (!tb) return nullptr;
    SendMessageW(tb, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    int percent = zv::ui::scale_percent();
    int size = percent >= 300 ? 96 : percent >= 150 ? 64 : 32;
    UINT bitmap = size == 96 ? IDB_TOOLBAR_96 : size == 64 ? IDB_TOOLBAR_64 : IDB_TOOLBAR_32;
    HIMAGELIST images = ImageList_LoadImageW(w->module, MAKEINTRESOURCEW(bitmap), size, 0, RGB(255, 0, 255),
                                             IMAGE_BITMAP, LR_CREATEDIBSECTION);
    SendMessageW(tb, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images));
    SendMessageW(tb, TB_SETINDENT, zv::ui::scale(9), 0);
    TBBUTTON buttons[3] = {};
    const int commands[3] = {ID_RUN_EXEC, ID_RUN_STEP, ID_RUN_STOP};
    for (int i = 0; i < 3; ++i) {
        buttons[i].iBitmap = i;
        buttons[i].idCommand = commands[i];
        buttons[i].fsState = TBSTATE_ENABLED;
        buttons[i].fsStyle = BTNS_BUTTON;
    }
    SendMessageW(tb, TB_ADDBUTTONSW, 3, reinterpret_cast<LPARAM>(buttons));
    return tb;
}

bool create_children(MainWindow* w) {
    w->toolbar = create_toolbar(w);
    w->editor = CreateWindowExW(WS_EX_CLIENTEDGE, kEditClass, L"",
                                WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL, 0, 0, 0, 0, w->wnd,
                                reinterpret_cast<HMENU>(IDC_EDITOR), w->module, nullptr);
    w->vars = CreateWindowExW(WS_EX_CLIENTEDGE, kVariableClass, L"",
                              WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL, 0, 0, 0, 0, w->wnd,
                              reinterpret_cast<HMENU>(IDC_VARIABLES), w->module, nullptr);
    w->console = CreateWindowExW(WS_EX_CLIENTEDGE, kConsoleClass, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL,
                                 0, 0, 0, 0, w->wnd, reinterpret_cast<HMENU>(IDC_CONSOLE), w->module, nullptr);
    return w->toolbar && w->editor && w->vars && w->console;
}

// Settings that concern the children, the menus and the run.
void apply_settings(MainWindow* w) {
    const Settings& s = w->settings;
    SendMessageW(w->vars, kVarSetNameWidth, WPARAM(s.name_column), 0);
    std::wstring name = zv::ui::load_string(IDS_VARIABLE), value = zv::ui::load_string(IDS_VALUE);
    SendMessageW(w->vars, kVarSetNameCaption, 0, reinterpret_cast<LPARAM>(name.c_str()));
    SendMessageW(w->vars, kVarSetValueCaption, 0, reinterpret_cast<LPARAM>(value.c_str()));
    SendMessageW(w->vars, kVarHexMode, s.hex != 0, 0);
    SendMessageW(w->editor, kEditLineNumbers, s.line_numbers != 0, 0);
    SendMessageW(w->editor, kEditKeywordSet, s.ksc5 != 0, 0);
    w->run->set_speed(s.exec_speed);
    w->run->set_options(s.strict != 0, s.hex != 0);
    apply_font(w);
    update_menus(w);
}

void remember_rect(MainWindow* w) {
    if (!IsWindowVisible(w->wnd) || IsIconic(w->wnd) || IsZoomed(w->wnd)) return;
    RECT r;
    GetWindowRect(w->wnd, &r);
    w->settings.left = r.left;
    w->settings.top = r.top;
    w->settings.width = r.right - r.left;
    w->settings.height = r.bottom - r.top;
}

LRESULT on_create(HWND wnd, MainWindow* w) {
    w->wnd = wnd;
    SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(w));
    w->find_message = RegisterWindowMessageW(FINDMSGSTRINGW);
    create_run_control(w);
    if (!create_children(w)) return -1;
    apply_settings(w);
    w->focus = w->editor;
    if (!w->open_argument.empty() && open_file(w, w->open_argument)) set_title(w);
    if (w->settings.confirm_tutorial == 1) SetTimer(wnd, kTutorialTimer, 1, nullptr);
    return 0;
}

void end_drag(MainWindow* w) {
    if (!w->drag) return;
    w->drag = 0;
    KillTimer(w->wnd, kDragTimer);
    if (GetCapture() == w->wnd) ReleaseCapture();
}

void start_drag(MainWindow* w, POINT p) {
    if (GetForegroundWindow() != w->wnd) return;
    RECT console;
    GetWindowRect(w->console, &console);
    MapWindowPoints(nullptr, w->wnd, reinterpret_cast<POINT*>(&console), 2);
    w->drag = p.y < console.top - zv::ui::scale(5) ? 1 : 2;
    SetCapture(w->wnd);
    SetTimer(w->wnd, kDragTimer, 1, nullptr);
}

void drag_to(MainWindow* w, POINT p) {
    RECT c;
    GetClientRect(w->wnd, &c);
    if (w->drag == 1) w->settings.right_pane = c.right - p.x;
    if (w->drag == 2) w->settings.console_h = c.bottom - p.y;
    layout(w);
}

void close_window(MainWindow* w) {
    if (!ask_to_save(w)) return;
    w->settings.name_column = int(SendMessageW(w->vars, kVarGetNameWidth, 0, 0));
    write_settings(w->settings_path, w->settings);
    w->run->stop();
    DestroyWindow(w->editor);
    DestroyWindow(w->vars);
    DestroyWindow(w->console);
    DestroyWindow(w->wnd);
}

LRESULT CALLBACK main_proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    MainWindow* w = main_of(wnd);
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
        SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
        return DefWindowProcW(wnd, msg, wp, lp);
    }
    if (!w) return DefWindowProcW(wnd, msg, wp, lp);
    if (msg == w->find_message && msg) {
        on_find_message(w, reinterpret_cast<const FINDREPLACEW*>(lp));
        return 0;
    }
    switch (msg) {
    case WM_CREATE: return on_create(wnd, w);
    case WM_SIZE:
        if (wp == SIZE_MINIMIZED) return 0;
        w->settings.window_state = wp == SIZE_MAXIMIZED ? 3 : 10;
        layout(w);
        return 0;
    case WM_WINDOWPOSCHANGED:
        remember_rect(w);
        break;
    case WM_ACTIVATE:
        if (LOWORD(wp) == WA_INACTIVE) {
            HWND f = GetFocus();
            if (f && IsChild(wnd, f)) w->focus = f;
        } else if (w->focus && IsWindow(w->focus)) {
            SetFocus(w->focus);
            return 0;
        }
        break;
    case WM_SETFOCUS:
        if (w->focus && IsWindow(w->focus)) SetFocus(w->focus);
        return 0;
    case WM_LBUTTONDOWN: start_drag(w, {short(LOWORD(lp)), short(HIWORD(lp))}); return 0;
    case WM_MOUSEMOVE:
        if (w->drag) drag_to(w, {short(LOWORD(lp)), short(HIWORD(lp))});
        return 0;
    case WM_LBUTTONUP: end_drag(w); return 0;
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(lp) != wnd) end_drag(w);
        return 0;
    case WM_TIMER:
        if (wp == kDragTimer && (GetForegroundWindow() != wnd || GetAsyncKeyState(VK_ESCAPE) < 0 ||
                                 GetAsyncKeyState(VK_RBUTTON) < 0))
            end_drag(w);
        if (wp == kTutorialTimer) {
            KillTimer(wnd, kTutorialTimer);
            show_tutorial_prompt(w);
        }
        return 0;
    case WM_COMMAND:
        if (lp && reinterpret_cast<HWND>(lp) != w->toolbar) break;  // notifications of the children
        on_command(w, LOWORD(wp));
        return 0;
    case WM_NOTIFY: {
        auto* hdr = reinterpret_cast<NMHDR*>(lp);
        if (hdr->code == TTN_GETDISPINFOW) {
            auto* info = reinterpret_cast<NMTTDISPINFOW*>(lp);
            info->hinst = nullptr;
            static std::wstring tip;
            tip = zv::ui::load_string(UINT(hdr->idFrom));
            info->lpszText = &tip[0];
        }
        return 0;
    }
    case WM_INITMENUPOPUP: update_edit_menu(w); return 0;
    case WM_DROPFILES: {
        HDROP drop = reinterpret_cast<HDROP>(wp);
        wchar_t file[MAX_PATH * 4];
        if (DragQueryFileW(drop, 0, file, MAX_PATH * 4) && !w->run->running() && ask_to_save(w) && open_file(w, file))
            set_title(w);
        DragFinish(drop);
        return 0;
    }
    case WM_CLOSE: close_window(w); return 0;
    case WM_QUERYENDSESSION: return ask_to_save(w);
    case WM_ENDSESSION:
        if (wp) {
            write_settings(w->settings_path, w->settings);
            DestroyWindow(wnd);
        }
        return 0;
    case WM_DESTROY:
        if (w->worker) kill_worker(w);
        if (w->find_dialog) DestroyWindow(w->find_dialog);
        PostQuitMessage(0);
        return 0;

    case kRunFetch: {
        auto* f = reinterpret_cast<RunFetch*>(lp);
        size_t bytes = size_t(SendMessageW(w->editor, kEditTextBytes, 0, 0));
        f->text->assign(bytes / sizeof(char16_t) + 1, u'\0');
        SendMessageW(w->editor, kEditCopyText, 0, reinterpret_cast<LPARAM>(&(*f->text)[0]));
        f->text->resize(bytes / sizeof(char16_t));
        f->path->assign(w->path.begin(), w->path.end());
        f->ok = true;
        return 0;
    }
    case kRunMenus: update_menus(w); return 0;
    case kRunFinished: worker_finished(w); return 0;
    case kRunAllocError: MessageBoxW(wnd, zv::ui::load_string(IDS_ALLOC_ERROR).c_str(), kCaption, MB_OK | MB_ICONERROR); return 0;
    case kRunDirectory: SetCurrentDirectoryW(reinterpret_cast<const wchar_t*>(lp)); return 0;
    }
    return DefWindowProcW(wnd, msg, wp, lp);
}

}  // namespace

bool register_main_class(HINSTANCE module) {
    zv::ui::WindowClass c = {kMainClass, main_proc};
    c.icon = LoadIconW(module, MAKEINTRESOURCEW(IDI_ZVS));
    c.small_icon = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(IDI_ZVS), IMAGE_ICON,
                                                 GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    c.cursor = LoadCursorW(nullptr, IDC_SIZEALL);  // the client area is only the splitter gaps
    c.background = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    return zv::ui::register_window_class(module, c) && edit_register(module) && console_register(module) &&
           variable_view_register(module);
}

HWND create_main_window(MainWindow* w, int show) {
    const Settings& s = w->settings;
    HMENU menu = zv::ui::load_menu(IDM_MAIN, w->module);
    HWND wnd = CreateWindowExW(WS_EX_ACCEPTFILES, kMainClass, kCaption, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, s.left,
                               s.top, s.width, s.height, nullptr, menu, w->module, w);
    if (!wnd) return nullptr;
    w->accelerators = LoadAcceleratorsW(w->module, MAKEINTRESOURCEW(IDA_MAIN));
    ShowWindow(wnd, w->settings.window_state == 3 ? SW_SHOWMAXIMIZED : show);
    UpdateWindow(wnd);
    return wnd;
}

int run_message_loop(MainWindow* w) {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (w->find_dialog && IsDialogMessageW(w->find_dialog, &msg)) continue;
        if (w->accelerators && TranslateAcceleratorW(w->wnd, w->accelerators, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return int(msg.wParam);
}

}  // namespace zvs
