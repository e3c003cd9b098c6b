#include "error.h"

#include "builtins.h"
#include "platform.h"

namespace ksc {

static const char16_t* const kMessages[2][kErrorCount] = {
    {
        u"Syntax error",
        u"Operators are required",
        u" :Undefined variable",
        u" :Duplicate variable declaration",
        u"Array index is negative value",
        u"Unbalanced parentheses",
        u"Block'{...}' expected",
        u"Division by zero",
        u"Illegal operator",
        u"Illegal operator to array",
        u"Alloc failed",
        u"Too few arguments",
        u"File open error",
        u"Read error in script or library",
        u"Function not Found",
        u"Function error",
        u"Nesting too deep",
    },
    {
        u"構文エラー",
        u"演算子が必要です",
        u" :変数が定義されていません",
        u" :変数の宣言が重複しています",
        u"配列のインデックスが負の値になっています",
        u"対応する括弧がありません",
        u"ブロック「{～}」がありません",
        u"0 で除算をしました",
        u"不正な演算子です",
        u"配列に使えない演算子です",
        u"メモリの確保に失敗しました",
        u"引数が少なすぎます",
        u"ファイルオープンに失敗しました",
        u"スクリプトまたはライブラリの読み込みに失敗しました",
        u"関数が見つかりません",
        u"関数実行中にエラーが発生しました",
        u"入れ子が深すぎます",
    },
};

const char16_t* error_message(int code, bool japanese) {
    if (code < 0 || code >= kErrorCount) code = kErrSyntax;
    return kMessages[japanese ? 1 : 0][code];
}

const char16_t* error_message(int code) { return error_message(code, zv::ui_japanese()); }

static bool inside(const ScriptUnit* u, const char16_t* p) {
    return u && u->text && p && p >= u->text && p <= u->text + u->text_len;
}

std::u16string compose_error(Scope* scope, int code, const char16_t* pos, const char16_t* extra, uint32_t* line,
                             bool* main_unit) {
    Scope* outer = scope;
    while (outer && outer->parent) outer = outer->parent;
    const ScriptUnit* unit = outer ? outer->unit : nullptr;

    const char16_t* at = nullptr;
    if (inside(unit, pos))
        at = pos;
    else if (outer && inside(unit, scope->pos))
        at = scope->pos;
    uint32_t n = 0;
    if (at) {
        n = 1;
        for (const char16_t* p = unit->text; p < at; ++p)
            if (*p == u'\n') ++n;
    }

    std::u16string source;
    if (pos && inside(unit, pos)) {
        const char16_t* start = pos;
        while (start > unit->text && start[-1] != u'\n') --start;
        while (*start == u'\t' || *start == u'\n' || *start == u'\r' || *start == u' ') ++start;
        const char16_t* end = start;
        while (*end && *end != u'\r' && *end != u'\n') ++end;
        source.assign(start, end);
    } else if (pos) {
        source = pos;
    }

    std::u16string text = u"Error: ";
    if (unit && unit->name) {
        text += u'[';
        text += unit->name;
        text += u"]: ";
    }
    if (extra) text += extra;
    text += error_message(code);
    text += u'(';
    text += format_int(int32_t(n)).c_str();  // fits: line counts stay far below 2^31
    text += u"): ";
    text += source;
    if (line) *line = n;
    if (main_unit) *main_unit = unit && unit->root == unit;
    return text;
}

void report_error(Scope* scope, int code, const char16_t* pos, const char16_t* extra) {
    uint32_t line;
    bool main_unit;
    std::u16string text = compose_error(scope, code, pos, extra, &line, &main_unit);
    builtin_error_sink(scope, text.c_str(), main_unit ? int32_t(line) : -1);
}

}  // namespace ksc
