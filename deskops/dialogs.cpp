// Message boxes and the input dialogs (text, password, number). They run
// modal loops on the script thread; the dialogs are resources of the module
// the library started with (dialogs.rc).
#include "dialog_ids.h"
#include "frame_win32.h"

using namespace deskops;

namespace {

const wchar_t* wide(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

// What an input dialog shows and what the user entered.
struct InputDialog {
    std::u16string prompt;
    std::u16string initial;
    std::u16string entered;
};

INT_PTR CALLBACK input_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_INITDIALOG: {
            SetWindowLongPtrW(dialog, DWLP_USER, lparam);
            const InputDialog* input = reinterpret_cast<const InputDialog*>(lparam);
            HWND edit = GetDlgItem(dialog, ZV_CONTROL_INPUT_EDIT);
            SendMessageW(edit, EM_LIMITTEXT, 0, 0);  // 0: as much as the control can hold
            SetDlgItemTextW(dialog, ZV_CONTROL_INPUT_LABEL, wide(input->prompt));
            SetWindowTextW(edit, wide(input->initial));
            ShowWindow(dialog, SW_SHOW);
            bring_to_front(dialog);
            return TRUE;
        }
        case WM_COMMAND:
            if (LOWORD(wparam) == IDOK) {
                auto* input = reinterpret_cast<InputDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
                HWND edit = GetDlgItem(dialog, ZV_CONTROL_INPUT_EDIT);
                int n = GetWindowTextLengthW(edit);
                input->entered.assign(size_t(n > 0 ? n : 0) + 1, u'\0');
                n = GetWindowTextW(edit, reinterpret_cast<wchar_t*>(&input->entered[0]), n + 1);
                input->entered.resize(size_t(n > 0 ? n : 0));
                EndDialog(dialog, IDOK);
                return TRUE;
            }
            if (LOWORD(wparam) == IDCANCEL) {
                EndDialog(dialog, IDCANCEL);
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

// Shows the dialog; kDone with *ok set, or kFailed with the system's text
// when the dialog cannot be shown at all (no template, no desktop): that is
// not the user's cancel.
int32_t show_input_dialog(int id, InputDialog* input, bool* ok, char16_t* errbuf) {
    INT_PTR pressed = DialogBoxParamW(static_cast<HINSTANCE>(library_module()), MAKEINTRESOURCEW(id), nullptr,
                                      input_dialog_proc, reinterpret_cast<LPARAM>(input));
    if (pressed == -1 || pressed == 0) return fail_system(errbuf);
    *ok = pressed == IDOK;
    return kDone;
}

// The prompt and, when given, the initial text, both as text of a value.
int32_t read_prompt_and_text(Node* args, InputDialog* input, char16_t* errbuf) {
    if (!has_args(args, 1)) return kMissing;
    if (!read_text(arg(args, 0), &input->prompt, errbuf)) return kFailed;
    if (const Value* initial = arg(args, 1))
        if (!read_text(initial, &input->initial, errbuf)) return kFailed;
    return kDone;
}

int32_t input_text_dialog(Node* args, Node* result, char16_t* errbuf, int id) {
    InputDialog input;
    if (int32_t rc = read_prompt_and_text(args, &input, errbuf)) return rc;
    bool ok = false;
    if (int32_t rc = show_input_dialog(id, &input, &ok, errbuf)) return rc;
    return put_string(result, ok ? input.entered : std::u16string(), errbuf);
}

// A decimal integer at the start of the text: leading blanks and a sign
// allowed, reading stops at the first other character, no digits give 0;
// beyond the 32-bit range the nearest limit.
int32_t leading_integer(const std::u16string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == u' ' || (text[i] >= u'\t' && text[i] <= u'\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
    int64_t v = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        v = v * 10 + (text[i] - u'0');
        if (v > int64_t(INT32_MAX) + 1) v = int64_t(INT32_MAX) + 1;
    }
    if (negative) v = -v;
    if (v > INT32_MAX) v = INT32_MAX;
    return int32_t(v);
}

std::u16string decimal(int32_t v) {
    std::u16string digits;
    uint32_t magnitude = v < 0 ? 0u - uint32_t(v) : uint32_t(v);
    do digits.insert(digits.begin(), char16_t(u'0' + magnitude % 10));
    while (magnitude /= 10);
    if (v < 0) digits.insert(digits.begin(), u'-');
    return digits;
}

}  // namespace

DESKOPS_FUNCTION(message_box) {
    if (!has_args(args, 2)) return kMissing;
    std::u16string text, caption;
    if (!read_text(arg(args, 0), &text, errbuf) || !read_text(arg(args, 1), &caption, errbuf)) return kFailed;
    int32_t type = 0;
    if (const Value* v = arg(args, 2))
        if (!read_number(v, &type, errbuf, kMsgThirdNotNumber)) return kFailed;
    put_int(result, MessageBoxW(nullptr, wide(text), wide(caption), UINT(type) | MB_SETFOREGROUND));
    return kDone;
}

DESKOPS_FUNCTION(input_text) { return input_text_dialog(args, result, errbuf, ZV_DIALOG_INPUT_TEXT); }

DESKOPS_FUNCTION(input_password) { return input_text_dialog(args, result, errbuf, ZV_DIALOG_INPUT_PASSWORD); }

DESKOPS_FUNCTION(input_number) {
    if (!has_args(args, 1)) return kMissing;
    InputDialog input;
    if (!read_text(arg(args, 0), &input.prompt, errbuf)) return kFailed;
    if (const Value* v = arg(args, 1)) {
        int32_t n;
        if (v->kind == ksc::kArray) return fail(errbuf, kMsgNoArray);
        if (v->kind == ksc::kString && (!v->data.s || !v->data.s[0])) {
            // An empty string: no initial text.
        } else if (v->kind == ksc::kString) {
            input.initial = decimal(leading_integer(v->data.s));
        } else if (read_number(v, &n, errbuf)) {
            input.initial = decimal(n);
        }
    }
    bool ok = false;
    if (int32_t rc = show_input_dialog(ZV_DIALOG_INPUT_NUMBER, &input, &ok, errbuf)) return rc;
    put_int(result, ok ? leading_integer(input.entered) : -1);
    return kDone;
}
