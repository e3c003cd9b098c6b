#include "insert_dialogs.h"

#include <commdlg.h>
#include <shellapi.h>

#include <cstring>
#include <ctime>
#include <cwchar>

#include "dialog.h"
#include "insert_ids.h"
#include "message_box.h"
#include "operation_codes.h"
#include "strings.h"

namespace zvb {

const char16_t kInputTitle[] = u"テキスト:";
const wchar_t kDefaultDateFormat[] = L"%Y/%m/%d %H:%M:%S";

namespace {

constexpr int kFieldUnits = 255;

struct DialogState {
    Insert kind;
    OperationRecord* record = nullptr;
};

std::wstring item_text(HWND dialog, int id) {
    wchar_t buf[kFieldUnits + 1];
    GetDlgItemTextW(dialog, id, buf, kFieldUnits + 1);
    return buf;
}

void browse(HWND dialog) {
    wchar_t file[kFieldUnits + 1];
    GetDlgItemTextW(dialog, IDC_INSERT_APPLICATION, file, kFieldUnits + 1);
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = dialog;
    ofn.lpstrFilter = L"*.exe\0*.exe\0";
    ofn.lpstrFile = file;
    ofn.nMaxFile = kFieldUnits;
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (GetOpenFileNameW(&ofn)) SetDlgItemTextW(dialog, IDC_INSERT_APPLICATION, file);
}

// Starts the program as the play's shell() does; false (last error set)
// when it cannot be started.
bool launch(const std::wstring& program, const std::wstring& parameters) {
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpFile = program.c_str();
    info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExW(&info)) return false;
    if (info.hProcess) CloseHandle(info.hProcess);
    return true;
}

void text_field(char16_t (&field)[kTextUnits], const std::wstring& text) {
    record_set_text(field, reinterpret_cast<const char16_t*>(text.c_str()));
}

// Does the work of OK; false keeps the dialog open.
bool accept(HWND dialog, DialogState* s) {
    OperationRecord* r = record_new();
    if (!r) return true;
    switch (s->kind) {
    case Insert::kLaunch: {
        std::wstring program = item_text(dialog, IDC_INSERT_APPLICATION);
        std::wstring parameters = item_text(dialog, IDC_INSERT_COMMAND_LINE);
        if (!launch(program, parameters)) {
            DWORD error = GetLastError();
            zv::ui::message_box(dialog, zv::ui::system_error_text(error ? error : ERROR_FILE_NOT_FOUND),
                                zv::ui::load_string(IDS_INSERT_ERROR), MB_OK | MB_ICONERROR);
            record_free(r);
            return false;
        }
        r->code = kCodeLaunch;
        text_field(r->event_text1, program);
        text_field(r->event_text2, parameters);
        break;
    }
    case Insert::kText: {
        std::wstring text = item_text(dialog, IDC_INSERT_TEXT);
        set_clipboard_text(dialog, text);
        r->code = kCodeSetText;
        text_field(r->event_text1, text);
        break;
    }
    case Insert::kInput:
        set_clipboard_text(dialog, item_text(dialog, IDC_INSERT_INPUT));
        r->code = kCodeInputText;
        record_set_text(r->event_text1, kInputTitle);
        break;
    case Insert::kDateTime: {
        std::wstring format = item_text(dialog, IDC_INSERT_DATE_FORMAT);
        SYSTEMTIME now;
        GetLocalTime(&now);
        set_clipboard_text(dialog, format_local_time(format, now));
        r->code = kCodeDateTime;
        text_field(r->event_text1, format);
        break;
    }
    }
    s->record = r;
    return true;
}

INT_PTR CALLBACK dialog_proc(HWND dialog, UINT msg, WPARAM wp, LPARAM lp) {
    auto* s = reinterpret_cast<DialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (msg) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(dialog, DWLP_USER, lp);
        for (int id : {IDC_INSERT_APPLICATION, IDC_INSERT_COMMAND_LINE, IDC_INSERT_TEXT, IDC_INSERT_INPUT,
                       IDC_INSERT_DATE_FORMAT})
            SendDlgItemMessageW(dialog, id, EM_LIMITTEXT, kFieldUnits, 0);
        SetDlgItemTextW(dialog, IDC_INSERT_DATE_FORMAT, kDefaultDateFormat);
        zv::ui::center_window(dialog);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wp)) {
        case IDOK:
            if (accept(dialog, s)) EndDialog(dialog, IDOK);
            return TRUE;
        case IDCANCEL: EndDialog(dialog, IDCANCEL); return TRUE;
        case IDC_INSERT_BROWSE: browse(dialog); return TRUE;
        default: break;
        }
        break;
    default: break;
    }
    return FALSE;
}

// Conversions every C runtime defines; the Windows runtime ends the process
// on any other, so those are never handed to it.
bool defined_conversion(wchar_t c) { return c && c < 0x80 && strchr("aAbBcdHIjmMpSUwWxXyYzZ%", char(c)); }

// The length of the conversion at format[i] ("%Y" 2, "%#d" 3), 0 for text.
size_t conversion_length(const std::wstring& format, size_t i) {
    if (format[i] != L'%' || i + 1 >= format.size()) return 0;
    if (defined_conversion(format[i + 1])) return 2;
    if (format[i + 1] == L'#' && i + 2 < format.size() && defined_conversion(format[i + 2])) return 3;
    return 0;
}

}  // namespace

OperationRecord* run_insert_dialog(HINSTANCE module, HWND owner, Insert kind) {
    static const int templates[] = {IDD_INSERT_LAUNCH, IDD_INSERT_TEXT, IDD_INSERT_INPUT, IDD_INSERT_DATE_TIME};
    DialogState state;
    state.kind = kind;
    DialogBoxParamW(module, MAKEINTRESOURCEW(templates[int(kind)]), owner, dialog_proc,
                    reinterpret_cast<LPARAM>(&state));
    return state.record;
}

std::wstring format_local_time(const std::wstring& format, const SYSTEMTIME& now) {
    struct tm t = {};
    t.tm_year = now.wYear - 1900, t.tm_mon = now.wMonth - 1, t.tm_mday = now.wDay;
    t.tm_hour = now.wHour, t.tm_min = now.wMinute, t.tm_sec = now.wSecond;
    t.tm_isdst = -1;
    struct tm normal = t;  // day of week and of year
    if (mktime(&normal) != time_t(-1))
        t.tm_wday = normal.tm_wday, t.tm_yday = normal.tm_yday, t.tm_isdst = normal.tm_isdst;
    std::wstring out;
    for (size_t i = 0; i < format.size();) {
        size_t n = conversion_length(format, i);
        if (!n) {
            out += format[i++];
            continue;
        }
        wchar_t conversion[4] = {}, buf[256];
        format.copy(conversion, n, i);
        size_t written = wcsftime(buf, 256, conversion, &t);
        out.append(buf, written < 256 ? written : 0);
        i += n;
    }
    return out;
}

bool set_clipboard_text(HWND owner, const std::wstring& text) {
    // Another program may hold the clipboard for a moment.
    bool open = false;
    for (int i = 0; i < 20 && !(open = OpenClipboard(owner)); ++i) Sleep(10);
    if (!open) return false;
    EmptyClipboard();
    size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    bool ok = false;
    if (memory) {
        memcpy(GlobalLock(memory), text.c_str(), bytes);
        GlobalUnlock(memory);
        ok = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
        if (!ok) GlobalFree(memory);
    }
    CloseClipboard();
    return ok;
}

}  // namespace zvb
