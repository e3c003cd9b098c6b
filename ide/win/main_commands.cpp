// The commands of the main window: files, editing, search, run control,
// speed and options, font, help.
#include "main_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>

#include "message_box.h"
#include "resource_ids.h"
#include "script_file.h"
#include "strings.h"
#include "zvs_messages.h"

namespace zvs {

namespace {

constexpr wchar_t kOnlineTutorial[] = L"https://www.zarvo-bot.example/ksc/tutorial.html";

bool japanese() { return PRIMARYLANGID(LANGIDFROMLCID(GetThreadLocale())) == LANG_JAPANESE; }

std::wstring program_folder() {
    wchar_t path[MAX_PATH * 2];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
    std::wstring s(path, n);
    return s.substr(0, s.find_last_of(L'\\') + 1);
}

void show_error(MainWindow* w, DWORD code) {
    zv::ui::message_box(w->wnd, zv::ui::system_error_text(code), kCaption, MB_OK | MB_ICONERROR);
}

// The filter of the file dialogs: the string's "|" separators become zeros.
std::wstring file_filter() {
    std::wstring f = zv::ui::load_string(IDS_FILTER);
    for (wchar_t& c : f)
        if (c == L'|') c = 0;
    return f + L'\0';
}

bool ask_path(MainWindow* w, bool save, std::wstring* path) {
    wchar_t file[MAX_PATH * 4] = L"";
    if (save && !w->path.empty()) lstrcpynW(file, w->path.c_str(), MAX_PATH * 4);
    std::wstring filter = file_filter();
    std::wstring title = zv::ui::load_string(save ? IDS_SAVE_AS_TITLE : IDS_OPEN_TITLE);
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = w->wnd;
    ofn.lpstrFilter = filter.c_str();
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH * 4;
    ofn.lpstrTitle = title.c_str();
    ofn.lpstrDefExt = L"ksc";
    ofn.Flags = OFN_EXPLORER | (save ? OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST
                                     : OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY);
    if (!(save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn))) return false;
    *path = file;
    return true;
}

bool editor_modified(MainWindow* w) { return SendMessageW(w->editor, EM_GETMODIFY, 0, 0) != 0; }

bool write_to(MainWindow* w, const std::wstring& path) {
    size_t bytes = size_t(SendMessageW(w->editor, kEditTextBytes, 0, 0));
    std::u16string text(bytes / sizeof(char16_t) + 1, u'\0');
    SendMessageW(w->editor, kEditCopyText, 0, reinterpret_cast<LPARAM>(&text[0]));
    text.resize(bytes / sizeof(char16_t));
    DWORD error = 0;
    if (!write_script_file(path, text, &error)) {
        show_error(w, error);
        return false;  // the text stays marked changed: nothing is lost
    }
    SendMessageW(w->editor, EM_SETMODIFY, FALSE, 0);
    return true;
}

bool save_as(MainWindow* w) {
    std::wstring path;
    if (!ask_path(w, true, &path) || !write_to(w, path)) return false;
    w->path = path;
    set_title(w);
    return true;
}

bool save(MainWindow* w) {
    if (w->path.empty()) return save_as(w);
    return write_to(w, w->path);
}

void new_script(MainWindow* w) {
    if (w->run->running() || !ask_to_save(w)) return;
    SendMessageW(w->editor, kEditLoadText, 0, reinterpret_cast<LPARAM>(L""));
    SendMessageW(w->editor, EM_SETMODIFY, FALSE, 0);
    w->path.clear();
    set_title(w);
    SendMessageW(w->vars, kVarShowScope, 0, 0);
}

void open_command(MainWindow* w) {
    if (w->run->running() || !ask_to_save(w)) return;
    std::wstring path;
    if (ask_path(w, false, &path) && open_file(w, path)) set_title(w);
}

// Edit commands go to the focused pane (the editor when none of ours is).
HWND focused_pane(MainWindow* w) {
    HWND f = GetFocus();
    return f == w->vars || f == w->console ? f : w->editor;
}

void edit_command(MainWindow* w, WORD id) {
    HWND target = focused_pane(w);
    switch (id) {
    case ID_EDIT_UNDO: SendMessageW(target, WM_UNDO, 0, 0); break;
    case ID_EDIT_REDO:
        if (target == w->editor) SendMessageW(target, kEditRedo, 0, 0);
        break;
    case ID_EDIT_COPY: SendMessageW(target, WM_COPY, 0, 0); break;
    case ID_EDIT_CUT: SendMessageW(target, WM_CUT, 0, 0); break;
    case ID_EDIT_PASTE: SendMessageW(target, WM_PASTE, 0, 0); break;
    case ID_EDIT_DELETE: SendMessageW(target, WM_CLEAR, 0, 0); break;
    case ID_EDIT_SELECT_ALL:
        SendMessageW(target, EM_SETSEL, 0, -1);
        SendMessageW(target, EM_SCROLLCARET, 0, 0);
        break;
    }
}

void find_command(MainWindow* w) {
    if (w->find_dialog) {
        SetForegroundWindow(w->find_dialog);
        return;
    }
    DWORD b = 0, e = 0;
    SendMessageW(w->editor, EM_GETSEL, reinterpret_cast<WPARAM>(&b), reinterpret_cast<LPARAM>(&e));
    if (e > b) {
        size_t bytes = size_t(SendMessageW(w->editor, kEditTextBytes, 0, 0));
        std::u16string text(bytes / sizeof(char16_t) + 1, u'\0');
        SendMessageW(w->editor, kEditCopyText, 0, reinterpret_cast<LPARAM>(&text[0]));
        size_t n = std::min<size_t>(e - b, 255);
        memcpy(w->find_text, text.data() + b, n * sizeof(wchar_t));
        w->find_text[n] = 0;
    }
    w->find = {};
    w->find.lStructSize = sizeof w->find;
    w->find.hwndOwner = w->wnd;
    w->find.lpstrFindWhat = w->find_text;
    w->find.wFindWhatLen = 256;
    w->find.Flags = FR_DOWN | FR_HIDEUPDOWN | FR_HIDEWHOLEWORD | (w->find.Flags & FR_MATCHCASE);
    w->find_dialog = FindTextW(&w->find);
}

void search(MainWindow* w) {
    if (!w->find_text[0]) return;
    bool match_case = (w->find.Flags & FR_MATCHCASE) != 0;
    SendMessageW(w->editor, kEditSearch, match_case ? 1 : 0, reinterpret_cast<LPARAM>(w->find_text));
}

void choose_font(MainWindow* w) {
    LOGFONTW lf = w->settings.font;
    CHOOSEFONTW cf = {};
    cf.lStructSize = sizeof cf;
    cf.hwndOwner = w->wnd;
    cf.lpLogFont = &lf;
    cf.Flags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT;
    if (!ChooseFontW(&cf)) return;
    w->settings.font = lf;
    apply_font(w);
}

// Opens a document of the program's folder (none: only the address), else
// the address; without an address a failure is reported.
void open_document(MainWindow* w, const wchar_t* name, const wchar_t* fallback_url) {
    std::wstring path = name ? program_folder() + name : std::wstring();
    bool local = name && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (local && INT_PTR(ShellExecuteW(w->wnd, L"open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL)) > 32) return;
    if (fallback_url &&
        INT_PTR(ShellExecuteW(w->wnd, L"open", fallback_url, nullptr, nullptr, SW_SHOWNORMAL)) > 32)
        return;
    if (!fallback_url)
        zv::ui::message_box(w->wnd, IDS_MANUAL_FAILED, zv::ui::load_string(IDS_MANUAL_CAPTION), MB_OK | MB_ICONERROR);
}

void open_tutorial(MainWindow* w) {
    open_document(w, japanese() ? L"tutorial.html" : nullptr, kOnlineTutorial);
}

void set_speed(MainWindow* w, int speed) {
    w->settings.exec_speed = speed;
    w->run->set_speed(speed);
    update_menus(w);
}

void run_command(MainWindow* w, WORD id) {
    bool start = false;
    switch (id) {
    case ID_RUN_EXEC: start = w->run->exec(); break;
    case ID_RUN_STEP: start = w->run->step_exec(); break;
    case ID_RUN_TO_CURSOR: {
        DWORD b = 0, e = 0;
        SendMessageW(w->editor, EM_GETSEL, reinterpret_cast<WPARAM>(&b), reinterpret_cast<LPARAM>(&e));
        // The caret's line: the end of the selection it sits at.
        start = w->run->run_to(long(SendMessageW(w->editor, EM_LINEFROMCHAR, e, 0)));
        break;
    }
    case ID_RUN_STOP:
        if (w->run->stop()) kill_worker(w);
        return;
    }
    if (start) start_worker(w);
}

}  // namespace

void set_title(MainWindow* w) {
    if (w->path.empty()) {
        SetWindowTextW(w->wnd, kCaption);
    } else {
        SetWindowTextW(w->wnd, zv::ui::format(L"%s - [%s]", kCaption, w->path.c_str()).c_str());
    }
}

bool open_file(MainWindow* w, const std::wstring& path) {
    std::u16string text;
    DWORD error = 0;
    if (!read_script_file(path, &text, &error)) {
        show_error(w, error);
        return false;
    }
    SendMessageW(w->editor, kEditLoadText, text.size() * sizeof(char16_t), reinterpret_cast<LPARAM>(text.c_str()));
    SendMessageW(w->editor, EM_SETMODIFY, FALSE, 0);
    wchar_t full[MAX_PATH * 4];
    DWORD n = GetFullPathNameW(path.c_str(), MAX_PATH * 4, full, nullptr);
    w->path = n > 0 && n < MAX_PATH * 4 ? std::wstring(full, n) : path;
    SendMessageW(w->vars, kVarShowScope, 0, 0);
    return true;
}

bool ask_to_save(MainWindow* w) {
    if (!editor_modified(w)) return true;
    switch (zv::ui::message_box(w->wnd, IDS_SAVE_CHANGES, kCaption, MB_YESNOCANCEL | MB_ICONWARNING)) {
    case IDYES: return save(w) && !editor_modified(w);
    case IDNO: return true;
    default: return false;
    }
}

void apply_font(MainWindow* w) {
    HFONT font = CreateFontIndirectW(&w->settings.font);
    if (!font) return;
    for (HWND pane : {w->editor, w->console, w->vars}) SendMessageW(pane, WM_SETFONT, WPARAM(font), TRUE);
    if (w->font) DeleteObject(w->font);
    w->font = font;
}

void update_menus(MainWindow* w) {
    HMENU menu = GetMenu(w->wnd);
    bool running = w->run->running();
    SendMessageW(w->editor, EM_SETREADONLY, running, 0);
    EnableMenuItem(menu, ID_RUN_STOP, MF_BYCOMMAND | (running ? MF_ENABLED : MF_GRAYED));
    SendMessageW(w->toolbar, TB_ENABLEBUTTON, ID_RUN_STOP, MAKELPARAM(running, 0));
    const Settings& s = w->settings;
    int speed = s.exec_speed == 0 ? ID_SPEED_NO_WAIT : s.exec_speed == 1 ? ID_SPEED_FAST
                                   : s.exec_speed == 500               ? ID_SPEED_SLOW
                                                                        : ID_SPEED_NORMAL;
    CheckMenuRadioItem(menu, ID_SPEED_NO_WAIT, ID_SPEED_SLOW, UINT(speed), MF_BYCOMMAND);
    CheckMenuItem(menu, ID_FILE_LINE_NUMBERS, MF_BYCOMMAND | (s.line_numbers ? MF_CHECKED : MF_UNCHECKED));
    CheckMenuItem(menu, ID_RUN_STRICT, MF_BYCOMMAND | (s.strict ? MF_CHECKED : MF_UNCHECKED));
    CheckMenuItem(menu, ID_RUN_HEX, MF_BYCOMMAND | (s.hex ? MF_CHECKED : MF_UNCHECKED));
    DrawMenuBar(w->wnd);
}

void update_edit_menu(MainWindow* w) {
    HMENU menu = GetMenu(w->wnd);
    HWND f = GetFocus();
    auto enable = [menu](UINT id, bool on) { EnableMenuItem(menu, id, MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED)); };
    const UINT all[] = {ID_EDIT_UNDO, ID_EDIT_REDO, ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE, ID_EDIT_DELETE,
                        ID_EDIT_SELECT_ALL};
    for (UINT id : all) enable(id, false);
    DWORD b = 0, e = 0;
    if (f == w->vars) {
        enable(ID_EDIT_COPY, SendMessageW(w->vars, kVarHasSelection, 0, 0) != 0);
    } else if (f == w->console) {
        SendMessageW(w->console, EM_GETSEL, reinterpret_cast<WPARAM>(&b), reinterpret_cast<LPARAM>(&e));
        enable(ID_EDIT_COPY, e > b);
        enable(ID_EDIT_SELECT_ALL, true);
    } else {
        SendMessageW(w->editor, EM_GETSEL, reinterpret_cast<WPARAM>(&b), reinterpret_cast<LPARAM>(&e));
        enable(ID_EDIT_UNDO, SendMessageW(w->editor, EM_CANUNDO, 0, 0) != 0);
        enable(ID_EDIT_REDO, SendMessageW(w->editor, kEditCanRedo, 0, 0) != 0);
        enable(ID_EDIT_CUT, e > b);
        enable(ID_EDIT_COPY, e > b);
        enable(ID_EDIT_DELETE, e > b);
        enable(ID_EDIT_PASTE, true);
        enable(ID_EDIT_SELECT_ALL, true);
    }
}

void on_find_message(MainWindow* w, const FINDREPLACEW* fr) {
    if (fr->Flags & FR_DIALOGTERM) {
        w->find_dialog = nullptr;
        return;
    }
    if (fr->Flags & FR_FINDNEXT) search(w);
}

void show_tutorial_prompt(MainWindow* w) {
    switch (zv::ui::message_box(w->wnd, IDS_TUTORIAL_PROMPT, kCaption, MB_YESNOCANCEL | MB_ICONINFORMATION)) {
    case IDYES: open_tutorial(w); break;
    case IDNO: w->settings.confirm_tutorial = 0; break;
    }
}

void on_command(MainWindow* w, WORD id) {
    switch (id) {
    case ID_FILE_NEW: new_script(w); break;
    case ID_FILE_OPEN: open_command(w); break;
    case ID_FILE_SAVE: save(w); break;
    case ID_FILE_SAVE_AS: save_as(w); break;
    case ID_FILE_FONT: choose_font(w); break;
    case ID_FILE_LINE_NUMBERS:
        w->settings.line_numbers = !w->settings.line_numbers;
        SendMessageW(w->editor, kEditLineNumbers, w->settings.line_numbers, 0);
        update_menus(w);
        break;
    case ID_FILE_EXIT: SendMessageW(w->wnd, WM_CLOSE, 0, 0); break;
    case ID_EDIT_UNDO:
    case ID_EDIT_REDO:
    case ID_EDIT_COPY:
    case ID_EDIT_CUT:
    case ID_EDIT_PASTE:
    case ID_EDIT_DELETE:
    case ID_EDIT_SELECT_ALL: edit_command(w, id); break;
    case ID_EDIT_FIND: find_command(w); break;
    case ID_EDIT_FIND_NEXT: search(w); break;
    case ID_RUN_EXEC:
    case ID_RUN_STEP:
    case ID_RUN_TO_CURSOR:
    case ID_RUN_STOP: run_command(w, id); break;
    case ID_SPEED_NO_WAIT: set_speed(w, RunSpeed::kNoWait); break;
    case ID_SPEED_FAST: set_speed(w, RunSpeed::kFast); break;
    case ID_SPEED_NORMAL: set_speed(w, RunSpeed::kNormal); break;
    case ID_SPEED_SLOW: set_speed(w, RunSpeed::kSlow); break;
    case ID_RUN_STRICT:
    case ID_RUN_HEX:
        (id == ID_RUN_STRICT ? w->settings.strict : w->settings.hex) ^= 1;
        w->run->set_options(w->settings.strict != 0, w->settings.hex != 0);
        SendMessageW(w->vars, kVarHexMode, w->settings.hex, 0);
        update_menus(w);
        break;
    case ID_KSC5_MODE:
        w->settings.ksc5 ^= 1;
        SendMessageW(w->editor, kEditKeywordSet, w->settings.ksc5, 0);
        break;
    case ID_RUN_CLEAR:
        SendMessageW(w->console, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
        if (!w->run->running()) SendMessageW(w->vars, kVarShowScope, 0, 0);
        break;
    case ID_HELP_MANUAL: open_document(w, L"zarvo-bot_script_manual.pdf", nullptr); break;
    case ID_HELP_TUTORIAL: open_tutorial(w); break;
    }
}

}  // namespace zvs
