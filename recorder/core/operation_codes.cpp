#include "operation_codes.h"

namespace zvb {

const OperationCode kOperationCodes[] = {
    {0, kCodeLeftClick, 0, u"left click", u"マウスの左ボタンをクリック"},
    {0, kCodeLeftDoubleClick, 0, u"left double click", u"マウスの左ボタンをダブルクリック"},
    {0, kCodeLeftDown, kCodeLeftDownNc, u"left button down", u"マウスの左ボタンを押す"},
    {0, kCodeLeftUp, kCodeLeftUpNc, u"left button up", u"マウスの左ボタンを離す"},
    {0, kCodeRightClick, 0, u"right click", u"マウスの右ボタンをクリック"},
    {0, kCodeRightDown, kCodeRightDownNc, u"right button down", u"マウスの右ボタンを押す"},
    {0, kCodeRightUp, kCodeRightUpNc, u"right button up", u"マウスの右ボタンを離す"},
    {0, kCodeMiddleClick, 0, u"middle click", u"マウスの中央ボタンをクリック"},
    {0, kCodeMiddleDown, kCodeMiddleDownNc, u"middle button down", u"マウスの中央ボタンを押す"},
    {0, kCodeMiddleUp, kCodeMiddleUpNc, u"middle button up", u"マウスの中央ボタンを離す"},
    {0, kCodeWheelUp, 0, u"wheel up", u"上にマウスホイール"},
    {0, kCodeWheelDown, 0, u"wheel down", u"下にマウスホイール"},
    {0, kCodeMouseMove, kCodeMouseMoveNc, u"mouse move", u"マウスの移動"},
    {1, kCodeKeyInput, 0, u"key input", u"キーを入力する"},
    {1, kCodeKeyDown, kCodeSysKeyDown, u"key down", u"キーを押す"},
    {1, kCodeKeyUp, kCodeSysKeyUp, u"key up", u"キーを離す"},
    {2, kCodeWait, 0, u"wait", u"待機"},
    {2, kCodeEndPlay, kCodeEndGroupPlay, u"end of play", u"再生の終了"},
    {2, kCodeMessageBox, 0, u"message box", u"メッセージボックスの表示"},
    {2, kCodeLaunch, 0, u"launch application", u"アプリケーションの起動"},
    {2, kCodeSetText, 0, u"set text to clipboard", u"テキストをクリップボードにセット"},
    {2, kCodeInputText, 0, u"input text and set it to clipboard", u"入力してクリップボードにセット"},
    {2, kCodeDateTime, 0, u"set current date-time to clipboard", u"現在日時をクリップボードにセット"},
    {2, kCodeSendText, 0, u"send text", u"テキストの送信"},
    {2, kCodeImeSettings, 0, u"input settings", u"入力設定"},
    {2, kCodeScript, 0, u"script fragment", u"スクリプト"},
};
const int kOperationCodeCount = int(sizeof kOperationCodes / sizeof kOperationCodes[0]);

const OperationCode* operation_code(int32_t code) {
    if (code == 0) return nullptr;
    for (const OperationCode& c : kOperationCodes)
        if (c.code == code || c.alternate == code) return &c;
    return nullptr;
}

int32_t canonical_code(int32_t code) {
    if (code == kCodeEndGroupPlay) return code;
    const OperationCode* c = operation_code(code);
    return c ? c->code : code;
}

const char16_t* operation_label(int32_t code) {
    const OperationCode* c = operation_code(code);
    return c ? c->label : nullptr;
}

int32_t wheel_code(int32_t mouse_data) {
    int16_t delta = int16_t(uint32_t(mouse_data) >> 16);
    return delta >= 0 ? kCodeWheelUp : kCodeWheelDown;
}

bool is_mouse_move(int32_t code) { return code == kCodeMouseMove || code == kCodeMouseMoveNc; }
bool is_wheel(int32_t code) { return code == kCodeWheelUp || code == kCodeWheelDown; }

}  // namespace zvb
