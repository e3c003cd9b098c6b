#include "build_exe.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>

#include "app_messages.h"
#include "embedded_script.h"
#include "platform.h"
#include "unit.h"

namespace zvs_app {

namespace {

// The system's text for the thread's last error under the stage's caption.
void show_stage_failure(const wchar_t* stage) {
    DWORD code = GetLastError();
    wchar_t text[512] = L"";
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                   sizeof text / sizeof text[0], nullptr);
    MessageBoxW(nullptr, text, stage, MB_ICONERROR);
}

std::wstring own_path() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, &path[0], DWORD(path.size()));
        if (n == 0) return std::wstring();
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

// Copies this program to output and puts the script into it. False after a
// failure that has been shown; a started output has been deleted then.
bool write_output(char16_t* scrambled, size_t len, const wchar_t* output_path) {
    // The copy's failure is shown under the caption of the first stage that
    // works on the output. Without this check a failed copy (a missing
    // directory, a file in use) would go on to update, and then delete, a
    // file this build never wrote.
    if (!CopyFileW(own_path().c_str(), output_path, FALSE)) {
        show_stage_failure(L"Begin");
        return false;
    }
    Sleep(1500);
    HANDLE update = BeginUpdateResourceW(output_path, FALSE);
    if (!update) {
        show_stage_failure(L"Begin");
        DeleteFileW(output_path);
        return false;
    }
    DWORD bytes = DWORD((len + 1) * sizeof(char16_t));
    if (!UpdateResourceW(update, kScriptResourceType, MAKEINTRESOURCEW(kScriptResourceId), kScriptResourceLanguage,
                         scrambled, bytes)) {
        show_stage_failure(L"Update");
        EndUpdateResourceW(update, TRUE);
        DeleteFileW(output_path);
        return false;
    }
    if (!EndUpdateResourceW(update, FALSE)) {
        show_stage_failure(L"End");
        DeleteFileW(output_path);
        return false;
    }
    return true;
}

}  // namespace

bool build_executable(const wchar_t* script_path, const wchar_t* output_path) {
    size_t len = 0;
    bool unreadable = false;
    char16_t* text = ksc::read_script_text(reinterpret_cast<const char16_t*>(script_path), &len, &unreadable);
    bool built = false;
    if (!text) {
        if (!unreadable) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        show_stage_failure(L"Read");
    } else if (len > 0) {
        scramble(text, len);
        built = write_output(text, len, output_path);
    }
    zv::heap_free(text);
    if (!built) show_app_message(kMsgBuildFailed, MB_ICONERROR);
    return built;
}

}  // namespace zvs_app
