#include "dialogs.h"

#include <commctrl.h>

#include <cwchar>

#include "dialog.h"
#include "ids.h"
#include "message_box.h"
#include "scenario.h"
#include "global_settings.h"
#include "settings.h"
#include "strings.h"

namespace zvb {

namespace {

std::wstring item_text(HWND dialog, int id) {
    HWND item = GetDlgItem(dialog, id);
    std::wstring text(size_t(GetWindowTextLengthW(item)) + 1, L'\0');
    text.resize(size_t(GetWindowTextW(item, &text[0], int(text.size()))));
    return text;
}

std::wstring title_of(HWND dialog) {
    wchar_t title[128] = L"";
    GetWindowTextW(dialog, title, 128);
    return title;
}

// A repeat count as typed: at least 1, else message 1206 and the dialog stays.
bool read_count(HWND dialog, int* count) {
    *count = _wtoi(item_text(dialog, IDC_COUNT).c_str());
    if (*count >= 1) return true;
    zv::ui::message_box(dialog, zv::ui::load_string(IDS_COUNT_TOO_SMALL), title_of(dialog), MB_OK | MB_ICONERROR);
    SetFocus(GetDlgItem(dialog, IDC_COUNT));
    return false;
}

struct NameArgs {
    UINT title_id;
    const std::wstring* initial;
    const NameCheck* accept;
};

INT_PTR CALLBACK name_proc(HWND d, UINT msg, WPARAM wp, LPARAM lp) {
    auto* a = reinterpret_cast<NameArgs*>(GetWindowLongPtrW(d, DWLP_USER));
    switch (msg) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(d, DWLP_USER, lp);
        a = reinterpret_cast<NameArgs*>(lp);
        if (a->title_id) SetWindowTextW(d, zv::ui::load_string(a->title_id).c_str());
        SendDlgItemMessageW(d, IDC_NAME, EM_LIMITTEXT, 255, 0);
        SetDlgItemTextW(d, IDC_NAME, a->initial->c_str());
        SendDlgItemMessageW(d, IDC_NAME, EM_SETSEL, 0, -1);
        zv::ui::center_window(d);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wp) == IDOK && (*a->accept)(d, item_text(d, IDC_NAME), title_of(d))) EndDialog(d, IDOK);
        if (LOWORD(wp) == IDCANCEL) EndDialog(d, IDCANCEL);
        return TRUE;
    default: return FALSE;
    }
}

INT_PTR CALLBACK group_proc(HWND d, UINT msg, WPARAM wp, LPARAM lp) {
    auto* g = reinterpret_cast<ScenarioEntry*>(GetWindowLongPtrW(d, DWLP_USER));
    switch (msg) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(d, DWLP_USER, lp);
        g = reinterpret_cast<ScenarioEntry*>(lp);
        CheckDlgButton(d, IDC_START_CONFIRM, g->play_start_confirm ? BST_CHECKED : BST_UNCHECKED);
        CheckDlgButton(d, IDC_END_CONFIRM, g->play_end_confirm ? BST_CHECKED : BST_UNCHECKED);
        SendDlgItemMessageW(d, IDC_COUNT, EM_LIMITTEXT, 10, 0);
        SetDlgItemInt(d, IDC_COUNT, UINT(g->loop_count), FALSE);
        zv::ui::center_window(d);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wp) == IDOK) {
            int count;
            if (!read_count(d, &count)) return TRUE;
            g->play_start_confirm = IsDlgButtonChecked(d, IDC_START_CONFIRM) == BST_CHECKED;
            g->play_end_confirm = IsDlgButtonChecked(d, IDC_END_CONFIRM) == BST_CHECKED;
            g->loop_count = count;
            settings_set_int(g, u"OPTION", u"loop_count", count);
            settings_set_int(g, u"OPTION", u"play_start_confirm", g->play_start_confirm);
            settings_set_int(g, u"OPTION", u"play_end_confirm", g->play_end_confirm);
            EndDialog(d, IDOK);
        }
        if (LOWORD(wp) == IDCANCEL) EndDialog(d, IDCANCEL);
        return TRUE;
    default: return FALSE;
    }
}

struct RepeatArgs {
    ScenarioEntry* e;
    int count;
};

INT_PTR CALLBACK repeat_proc(HWND d, UINT msg, WPARAM wp, LPARAM lp) {
    auto* a = reinterpret_cast<RepeatArgs*>(GetWindowLongPtrW(d, DWLP_USER));
    switch (msg) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(d, DWLP_USER, lp);
        a = reinterpret_cast<RepeatArgs*>(lp);
        SendDlgItemMessageW(d, IDC_COUNT, EM_LIMITTEXT, 10, 0);
        if (a->e->loop_count != 1) SetDlgItemInt(d, IDC_COUNT, UINT(a->e->loop_count), FALSE);
        zv::ui::center_window(d);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wp) == IDOK) {
            if (!read_count(d, &a->count)) return TRUE;
            if (IsDlgButtonChecked(d, IDC_KEEP_COUNT) == BST_CHECKED) {
                a->e->loop_count = a->count;
                settings_set_int(a->e, u"OPTION", u"loop_count", a->count);
            }
            EndDialog(d, IDOK);
        }
        if (LOWORD(wp) == IDCANCEL) EndDialog(d, IDCANCEL);
        return TRUE;
    default: return FALSE;
    }
}

// Hot-key control flags and system hot-key modifiers differ in Alt and Shift.
int control_flags(int modifiers) {
    return (modifiers & MOD_ALT ? HOTKEYF_ALT : 0) | (modifiers & MOD_CONTROL ? HOTKEYF_CONTROL : 0) |
           (modifiers & MOD_SHIFT ? HOTKEYF_SHIFT : 0);
}

int hotkey_modifiers(int flags) {
    return (flags & HOTKEYF_ALT ? MOD_ALT : 0) | (flags & HOTKEYF_CONTROL ? MOD_CONTROL : 0) |
           (flags & HOTKEYF_SHIFT ? MOD_SHIFT : 0);
}

INT_PTR CALLBACK call_key_proc(HWND d, UINT msg, WPARAM wp, LPARAM lp) {
    auto* e = reinterpret_cast<ScenarioEntry*>(GetWindowLongPtrW(d, DWLP_USER));
    switch (msg) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(d, DWLP_USER, lp);
        e = reinterpret_cast<ScenarioEntry*>(lp);
        // A key typed without modifiers gets Alt.
        SendDlgItemMessageW(d, IDC_HOTKEY, HKM_SETRULES, HKCOMB_NONE, MAKELPARAM(HOTKEYF_ALT, 0));
        SendDlgItemMessageW(d, IDC_HOTKEY, HKM_SETHOTKEY,
                            MAKEWORD(BYTE(e->hotkey_key), BYTE(control_flags(e->hotkey_modifiers))), 0);
        zv::ui::center_window(d);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wp) == IDOK) {
            WORD key = WORD(SendDlgItemMessageW(d, IDC_HOTKEY, HKM_GETHOTKEY, 0, 0));
            e->hotkey_key = LOBYTE(key);
            e->hotkey_modifiers = e->hotkey_key ? hotkey_modifiers(HIBYTE(key)) : 0;
            settings_set_int(e, u"HOTKEY", u"modifiers", e->hotkey_modifiers);
            settings_set_int(e, u"HOTKEY", u"virtkey", e->hotkey_key);
            entry_update_hotkey_text(e);
            EndDialog(d, IDOK);
        }
        if (LOWORD(wp) == IDCANCEL) EndDialog(d, IDCANCEL);
        return TRUE;
    default: return FALSE;
    }
}

INT_PTR CALLBACK tutorial_proc(HWND d, UINT msg, WPARAM wp, LPARAM lp) {
    auto* s = reinterpret_cast<GlobalSettings*>(GetWindowLongPtrW(d, DWLP_USER));
    switch (msg) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(d, DWLP_USER, lp);
        s = reinterpret_cast<GlobalSettings*>(lp);
        CheckDlgButton(d, IDC_HIDE_TUTORIAL, s->hide_tutorial ? BST_CHECKED : BST_UNCHECKED);
        zv::ui::center_window(d);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL) {
            s->hide_tutorial = IsDlgButtonChecked(d, IDC_HIDE_TUTORIAL) == BST_CHECKED;
            EndDialog(d, IDOK);
        }
        return TRUE;
    default: return FALSE;
    }
}

INT_PTR run(HWND owner, int id, DLGPROC proc, void* arg) {
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), owner, proc,
                           reinterpret_cast<LPARAM>(arg));
}

}  // namespace

bool ask_name(HWND owner, UINT title_id, const std::wstring& initial, const NameCheck& accept) {
    NameArgs a = {title_id, &initial, &accept};
    return run(owner, IDD_NAME, name_proc, &a) == IDOK;
}

bool edit_group(HWND owner, ScenarioEntry* group) { return run(owner, IDD_GROUP, group_proc, group) == IDOK; }

int ask_repeat_count(HWND owner, ScenarioEntry* e) {
    RepeatArgs a = {e, 0};
    return run(owner, IDD_REPEAT, repeat_proc, &a) == IDOK ? a.count : 0;
}

bool edit_call_key(HWND owner, ScenarioEntry* e) { return run(owner, IDD_CALL_KEY, call_key_proc, e) == IDOK; }

void show_tutorial(HWND owner, GlobalSettings* settings) { run(owner, IDD_TUTORIAL, tutorial_proc, settings); }

}  // namespace zvb
