#include "operation_details.h"

#include <string>

#include "operation_codes.h"

namespace zvb {

namespace {

const char16_t kMaskedText[] = u"****";

std::u16string field(const char16_t (&text)[kTextUnits]) {
    size_t n = 0;
    while (n < kTextUnits && text[n]) ++n;
    return std::u16string(text, n);
}

std::u16string number(uint64_t v) {
    std::string digits = std::to_string(v);
    return std::u16string(digits.begin(), digits.end());
}

// A wait or end-of-play condition (1-6) with its text; empty otherwise.
std::u16string condition_text(const OperationRecord& r) {
    static const char16_t* const kConditions[][2] = {
        {u"クリップボードと「", u"」が一致する間"},   {u"クリップボードと「", u"」が一致しない間"},
        {u"ウィンドウ名と「", u"」が一致する間"},     {u"ウィンドウ名と「", u"」が一致しない間"},
        {u"ウィンドウの種類と「", u"」が一致する間"}, {u"ウィンドウの種類と「", u"」が一致しない間"},
    };
    if (r.event_data1 < 1 || r.event_data1 > 6) return {};
    if (r.masked) return kMaskedText;
    const auto& c = kConditions[r.event_data1 - 1];
    return c[0] + field(r.event_text1) + c[1];
}

const char16_t* ime_mode_name(int32_t mode) {
    switch (mode) {
    case 0: case 16: return u"半角英数";
    case 3: case 19: return u"半角カタカナ";
    case 8: case 24: return u"全角英数";
    case 9: case 25: return u"ひらがな";
    case 11: case 27: return u"全角カタカナ";
    default: return nullptr;
    }
}

void window_lines(const OperationRecord& r, OperationDetails* d) {
    static const char16_t* const kChecks[] = {
        u"個別チェック： ウィンドウ名のみ", u"個別チェック： ウィンドウの種類のみ",
        u"個別チェック： ウィンドウ名とウィンドウの種類", u"個別チェック： チェックしない"};
    std::u16string window = r.masked    ? std::u16string(kMaskedText)
                            : r.desktop ? std::u16string(u"デスクトップ")
                                        : field(r.window_title);
    d->line1 = u"ウィンドウ名： " + window;
    if (r.window_check >= 1 && r.window_check <= 4) d->line2 = kChecks[r.window_check - 1];
}

void other_lines(const OperationRecord& r, OperationDetails* d) {
    auto text = [&](const char16_t (&f)[kTextUnits]) { return r.masked ? std::u16string(kMaskedText) : field(f); };
    switch (canonical_code(r.code)) {
    case kCodeWait:
        if (r.event_data1 >= 1 && r.event_data1 <= 6) d->line1 = u"待機条件： " + condition_text(r);
        break;
    case kCodeEndPlay:
    case kCodeEndGroupPlay:
        if (r.event_data1 != 0) d->line1 = u"終了条件： " + condition_text(r);
        if (r.code == kCodeEndGroupPlay) d->line2 = u"オプション： グループの再生を強制終了する";
        break;
    case kCodeLaunch:
        d->line1 = u"アプリケーション： " + text(r.event_text1);
        if (r.event_text2[0]) d->line2 = u"コマンドライン： " + text(r.event_text2);
        break;
    case kCodeSetText:
    case kCodeSendText: d->line1 = u"テキスト： " + text(r.event_text1); break;
    case kCodeInputText: d->line1 = u"入力のタイトル： " + text(r.event_text1); break;
    case kCodeDateTime: d->line1 = u"日時形式： " + text(r.event_text1); break;
    case kCodeMessageBox: d->line1 = u"メッセージ： " + text(r.event_text1); break;
    case kCodeScript: d->line1 = r.masked ? kMaskedText : field(r.event_text1) + field(r.event_text2); break;
    case kCodeImeSettings:
        if (r.event_data1 == 0) {
            d->line1 = u"IMEオフ";
        } else {
            d->line1 = u"IMEオン";
            if (const char16_t* mode = ime_mode_name(r.event_data2)) d->line2 = std::u16string(u"入力モード: ") + mode;
        }
        break;
    default: break;
    }
}

}  // namespace

OperationDetails operation_details(const OperationRecord& r) {
    OperationDetails d;
    if (r.category == kCategoryMouse || r.category == kCategoryKey)
        window_lines(r, &d);
    else if (r.category == kCategoryOther)
        other_lines(r, &d);
    return d;
}

std::u16string operation_interval_text(const OperationRecord& r) {
    return u"操作間隔: " + number(r.interval) + u" ミリ秒";
}

std::u16string operation_flags_text(const OperationRecord& r) {
    const struct {
        uint32_t set;
        const char16_t* label;
    } kFlags[] = {{r.masked, u"マスク"}, {r.disabled, u"無効"}, {r.skip_if_no_window, u"ウィンドウが見つからない場合はスキップ"}};
    std::u16string joined;
    for (const auto& f : kFlags) {
        if (!f.set) continue;
        if (!joined.empty()) joined += u", ";
        joined += f.label;
    }
    return joined.empty() ? joined : u"(" + joined + u")";
}

}  // namespace zvb
