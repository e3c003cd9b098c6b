#include "message_box.h"

#include "strings.h"

namespace zv::ui {

int message_box(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type) {
    return MessageBoxW(owner, text.c_str(), caption.c_str(), type);
}

int message_box(HWND owner, UINT text_id, UINT caption_id, UINT type) {
    return message_box(owner, load_string(text_id), load_string(caption_id), type);
}

int message_box(HWND owner, UINT text_id, const std::wstring& caption, UINT type) {
    return message_box(owner, load_string(text_id), caption, type);
}

}  // namespace zv::ui
