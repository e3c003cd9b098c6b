// Plays and the launches around them: repeat play, call keys, the command
// line, editing a script in zvs, converting a timeline into a script (and
// watching the editor), export and building an executable.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <commdlg.h>

#include "call_keys.h"
#include "command_line.h"
#include "dialogs.h"
#include "hand_over.h"
#include "ids.h"
#include "main_window.h"
#include "message_box.h"
#include "play_script.h"
#include "scenario.h"
#include "strings.h"

namespace zvb {

namespace {

const wchar_t* wide(const char16_t* s) { return reinterpret_cast<const wchar_t*>(s); }

int ask_message(MainWindow* w, UINT text_id, UINT caption_id, UINT type) {
    return zv::ui::message_box(w->window, text_id, caption_id, type);
}

void start_failed(MainWindow* w, const std::wstring& program, DWORD error) {
    zv::ui::message_box(w->window, zv::ui::format_string(IDS_START_FAILED, program.c_str(),
                                                          zv::ui::system_error_text(error).c_str()),
                        zv::ui::load_string(IDS_ERROR), MB_OK | MB_ICONERROR);
}

FILETIME written_time(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

// A save dialog; empty when cancelled.
std::wstring choose_output(MainWindow* w, const std::wstring& name, const wchar_t* filter, const wchar_t* extension,
                           UINT title_id) {
    std::wstring buffer(MAX_PATH * 4, L'\0');
    buffer.replace(0, name.size(), name);
    std::wstring title = title_id ? zv::ui::load_string(title_id) : L"";
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = w->window;
    ofn.lpstrFilter = filter;
    ofn.lpstrFile = &buffer[0];
    ofn.nMaxFile = DWORD(buffer.size());
    ofn.lpstrDefExt = extension;
    ofn.lpstrTitle = title_id ? title.c_str() : nullptr;
    ofn.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
    if (!GetSaveFileNameW(&ofn)) return L"";
    return buffer.c_str();
}

bool ends_with_ksc(const std::wstring& path) {
    return path.size() >= 4 && lstrcmpiW(path.c_str() + path.size() - 4, L".ksc") == 0;
}

void edit(MainWindow* w, ScenarioEntry* e) {
    if (e->type == kTypeGroup) {
        if (edit_group(w->window, e)) w->rebuild_list(e);
    } else if (e->type == kTypeScript) {
        DWORD error = 0;
        start_program(w->folders.program + L"zvs.exe", wide(e->path), L"", SW_SHOWNORMAL, false, &error);
        if (error) start_failed(w, w->folders.program + L"zvs.exe", error);
    } else {
        ask_message(w, IDS_EDITOR_LATER, IDS_ERROR, MB_OK | MB_ICONINFORMATION);
    }
}

void convert(MainWindow* w, ScenarioEntry* e) {
    if (w->convert_process) {
        ask_message(w, IDS_CLOSE_SCRIPT_EDITOR, IDS_CONVERT, MB_OK | MB_ICONERROR);
        return;
    }
    if (e->type == kTypeScript) {
        ask_message(w, IDS_ALREADY_SCRIPT, IDS_CONVERT, MB_OK | MB_ICONINFORMATION);
        return;
    }
    if (e->type != kTypeTimeline) return;
    if (ask_message(w, IDS_CONVERT_QUESTION, IDS_CONVERT, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
    e->repeat_override = 0;
    std::wstring script = std::wstring(wide(e->folder)) + L"\\" + wide(e->name) + L".ksc";
    DWORD error = 0;
    HANDLE editor = nullptr;
    if (write_entry_script(e, w->settings, false, 0, script))
        editor = start_program(w->folders.program + L"zvs.exe", script, L"", SW_SHOWNORMAL, true, &error);
    if (!editor) {
        DeleteFileW(script.c_str());
        ask_message(w, IDS_CONVERT_FAILED, IDS_CONVERT, MB_OK | MB_ICONERROR);
        return;
    }
    w->convert_process = editor;
    w->converting_id = e->play_id;
    w->convert_file = script;
    w->convert_written = written_time(script);
    SetTimer(w->window, kConvertTimer, 1, nullptr);
}

void export_entry(MainWindow* w, ScenarioEntry* e) {
    const wchar_t* filter = e->type == kTypeScript ? L"ksc (*.ksc)\0*.ksc\0"
                            : e->type == kTypeGroup ? L"zva (*.zva)\0*.zva\0"
                                                    : L"zva (*.zva)\0*.zva\0ksc (*.ksc)\0*.ksc\0";
    std::wstring out = choose_output(w, wide(e->name), filter, e->type == kTypeScript ? L"ksc" : L"zva", 0);
    if (out.empty()) return;
    w->save_list();
    bool ok;
    if (e->type == kTypeTimeline && ends_with_ksc(out)) {
        e->repeat_override = 0;
        ok = write_entry_script(e, w->settings, false, 0, out);
    } else {
        Message error;
        ok = store_export(&w->store, e, std::u16string(out.begin(), out.end()), &error);
    }
    if (!ok) w->show(make_message(kMessageExportFailed));
}

void build_executable(MainWindow* w, ScenarioEntry* e) {
    std::wstring out =
        choose_output(w, std::wstring(wide(e->name)) + L".exe", L"exe (*.exe)\0*.exe\0", L"exe", IDS_CHOOSE_OUTPUT);
    if (out.empty()) return;
    std::wstring script = wide(e->path);
    if (e->type != kTypeScript) {
        e->repeat_override = 0;
        script = w->folders.play_script;
        if (!write_entry_script(e, w->settings, false, 0, script)) {
            ask_message(w, IDS_EXECUTABLE_FAILED, IDS_ERROR, MB_OK | MB_ICONERROR);
            return;
        }
    }
    DWORD error = 0;
    start_program(w->folders.program + L"zvs_app.exe", L"/in \"" + script + L"\" /out \"" + out + L"\"", L"",
                  SW_SHOWNORMAL, false, &error);
    if (error) start_failed(w, w->folders.program + L"zvs_app.exe", error);
}

}  // namespace

void play_selected(MainWindow* w, bool ask_count) {
    if (w->player->running()) {
        w->player->stop();
        return;
    }
    ScenarioEntry* e = w->selected();
    if (!e || w->recording_on) return;
    e->repeat_override = 0;
    if (ask_count) {
        if (e->type == kTypeScript) {
            ask_message(w, IDS_NO_REPEAT_FOR_SCRIPT, IDS_ERROR, MB_OK | MB_ICONERROR);
            return;
        }
        int count = ask_repeat_count(w->window, e);
        if (count < 1) return;
        e->repeat_override = count;
        w->rebuild_list(e);
    }
    w->player->launch(e);
}

void play_command_line(MainWindow* w, const std::wstring& text, HWND reply) {
    PlayRequest request = parse_command_line(text);
    auto refuse = [&] {
        if (reply) PostMessageW(reply, kPlayResult, 1, 0);
    };
    if (request.name.empty()) return refuse();
    if (w->player->running()) {
        if (request.no_interrupt) return refuse();
        w->player->stop();
    }
    bool by_path = false;
    ScenarioEntry* e = tree_find_name(w->root, std::u16string(request.name.begin(), request.name.end()), &by_path);
    if (!e) {
        refuse();
        w->show(make_message(kMessageNotFound, {std::u16string(request.name.begin(), request.name.end())}));
        return;
    }
    std::u16string path = tree_group_path(w->root, e);
    w->log.write(std::wstring(path.begin(), path.end()), by_path ? L"name_to_play_group" : L"name_to_play");
    SendMessageW(w->list, LM_SELECT_ENTRY, 0, reinterpret_cast<LPARAM>(e));
    e->repeat_override = 0;
    // Played once the hand-over that brought the name has returned.
    PostMessageW(w->window, WM_ZV_PLAY_ENTRY, reinterpret_cast<WPARAM>(reply), e->play_id);
}

void on_call_key(MainWindow* w, int id) {
    if (w->player->running() || w->recording_on || !IsWindowEnabled(w->window)) return;
    ScenarioEntry* e = call_key_entry(w->root, id);
    if (!e) return;
    wait_for_modifiers_released();
    SendMessageW(w->list, LM_SELECT_ENTRY, 0, reinterpret_cast<LPARAM>(e));
    e->repeat_override = 0;
    w->player->launch(e, L"play_hotkey_scenario");
}

void on_convert_timer(MainWindow* w) {
    if (w->convert_process && WaitForSingleObject(w->convert_process, 0) == WAIT_TIMEOUT) return;
    KillTimer(w->window, kConvertTimer);
    if (w->convert_process) CloseHandle(w->convert_process);
    w->convert_process = nullptr;
    ScenarioEntry* e = tree_find_id(w->root, w->converting_id);
    FILETIME now = written_time(w->convert_file);
    bool saved = CompareFileTime(&now, &w->convert_written) != 0;
    if (e && saved && e->type == kTypeTimeline) {
        // Saved in the editor: the entry is a script from now on, with the
        // timeline's settings.
        std::wstring base = std::wstring(wide(e->folder)) + L"\\" + wide(e->name);
        CopyFileW((base + L".zv.ini").c_str(), (base + L".ksc.ini").c_str(), FALSE);
        e->type = kTypeScript;
        entry_set_place(e, std::u16string(e->folder));
        w->save_list();
        w->rebuild_list(e);
    } else if (!saved) {
        DeleteFileW(w->convert_file.c_str());
    }
    w->converting_id = -1;
    w->convert_file.clear();
}

// The launches' part of the command table.
bool launch_command(MainWindow* w, int id) {
    ScenarioEntry* e = w->selected();
    bool idle = !w->player->running() && !w->recording_on;
    switch (id) {
    case ID_PLAY: play_selected(w, GetKeyState(VK_CONTROL) < 0 && !w->player->running()); return true;
    case ID_REPEAT_PLAY: if (idle) play_selected(w, true); return true;
    case ID_EDIT: if (idle && e) edit(w, e); return true;
    case ID_CONVERT: if (idle && e) convert(w, e); return true;
    case ID_EXPORT: if (idle && e) export_entry(w, e); return true;
    case ID_EXECUTABLE: if (idle && e) build_executable(w, e); return true;
    default: return false;
    }
}

}  // namespace zvb
