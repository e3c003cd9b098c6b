// zvs_cmd: runs one ksc script file, or statements typed line by line.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "builtins.h"
#include "console_io.h"
#include "error.h"
#include "eval.h"
#include "host.h"
#include "platform.h"
#include "unit.h"

using namespace ksc;

namespace {

bool g_hex = false;  // option x: integer results in hexadecimal

const char16_t* const kUsageEnglish[] = {
    u"ksccmd [/psxv] [file.ksc] [arg1[ arg2...]]\n",
    u"\n",
    u"  p\t\tKSC Mode\n",
    u"  s\t\tStrict\n",
    u"  x\t\tHex result\n",
    u"  v\t\tVersion\n",
    u"\n",
    u"  file.ksc\tExecution script file\n",
    u"\n",
    u"  arg1\t\tCommand line\n",
    u"\n",
};

const char16_t* const kUsageJapanese[] = {
    u"ksccmd [/psxv] [file.ksc] [arg1[ arg2...]]\n",
    u"\n",
    u"  p\t\tKSC Mode\n",
    u"  s\t\t変数宣言を強制 (通常実行時)\n",
    u"  x\t\t結果を16進数で表示\n",
    u"  v\t\tバージョン表示\n",
    u"\n",
    u"  file.ksc\t実行するスクリプトファイル\n",
    u"         \tファイル名の指定が無い場合はライン実行を行う\n",
    u"\n",
    u"  arg1\t\tスクリプトに渡す引数\n",
    u"         \targvで引数の配列、argcで引数の数\n",
    u"\n",
};

void print_usage() {
    if (zvs::con_japanese()) {
        for (const char16_t* line : kUsageJapanese) zvs::con_write(line);
    } else {
        for (const char16_t* line : kUsageEnglish) zvs::con_write(line);
    }
}

// ---- console built-ins --------------------------------------------------

int32_t KSC_STDCALL con_print(Scope*, Node* args, Node*, char16_t*) {
    if (!args) return -2;
    zvs::con_write(value_text(args->value));
    return 0;
}

int32_t KSC_STDCALL con_error(Scope*, Node* args, Node*, char16_t*) {
    if (!args) return -2;
    std::u16string text = args->value->kind == kArray ? value_display(args->value, g_hex) : value_text(args->value);
    text += u'\n';
    zvs::con_write(text);
    return 0;
}

int32_t KSC_STDCALL con_input_fn(Scope*, Node*, Node* result, char16_t*) {
    std::u16string line;
    zvs::con_input(line);
    return result_set_text(result, line) ? 0 : -1;
}

void print_result(const Value* v) {
    std::u16string text = value_display(v, g_hex);
    text += u'\n';
    zvs::con_write(text);
}

// ---- running a file -----------------------------------------------------

int run_file(const std::u16string& path, const std::vector<std::u16string>& args, size_t first_arg, bool basic,
             bool strict) {
    ScriptUnit* unit = host_new_root(path.c_str(), strict, !basic);
    if (!unit) return -1;
    if (!unit_load(unit)) {
        unit_free(unit);
        return -1;
    }
    Scope* top = scope_new(unit, nullptr);
    if (!top || !host_add_arguments(top, args, first_arg)) {
        scope_free(top);
        unit_free(unit);
        return -1;
    }
    Value result;
    int rc = host_run(top, &result);
    if (rc != kWalkError && rc != kWalkBreak && rc != kWalkContinue && result.kind != kNoValue) print_result(&result);
    value_clear(&result);
    zvs::con_flush();
#if !defined(ZV_SANITIZE)
    // The process ends here, and the system takes the script's data back at
    // once; freeing it record by record (a million-element array is two
    // million) only delays the exit. Sanitizer builds free it to find leaks.
    std::_Exit(0);
#endif
    unit_free(unit);
    return 0;
}

// ---- line mode ----------------------------------------------------------

int run_lines(bool basic) {
    ScriptUnit* unit = unit_new_lines(!basic);
    Scope* top = unit ? scope_new(unit, nullptr) : nullptr;
    if (!top) {
        unit_free(unit);
        return -1;
    }
    unit->top_scope = top;
    top->line_mode = 1;
    top->name = u"stdin";
    // Lines that define functions stay alive: the functions point into them.
    std::vector<std::pair<char16_t*, SyntaxNode*>> kept;
    std::u16string line;
    bool going = true;
    while (going && zvs::con_read_line(line, 32767)) {
        char16_t* text = str_dup(line.c_str(), line.size());
        if (!text) break;
        UserFunc* before = unit->functions;
        while (before && before->next) before = before->next;
        unit->sequence = nullptr;
        bool parsed = unit_parse_text(unit, top, text, line.size());
        if (parsed && unit->sequence) {
            Value result;
            result_init(&result);
            int rc = walk(top, unit->sequence, &result);
            if (rc != kWalkError) {
                std::vector<Node*> values;
                for (Node* n = top->stack; n; n = n->next) values.push_back(n);
                for (size_t i = values.size(); i-- > 0;) print_result(values[i]->value);
            }
            if (rc == kWalkBreak || rc == kWalkContinue) report_error(top, kErrSyntax, top->pos);
            if (rc == kWalkExit || rc == kWalkReturn) going = false;
            value_clear(&result);
            stack_clear(top);
        }
        UserFunc* after = unit->functions;
        while (after && after->next) after = after->next;
        if (after != before) {
            kept.emplace_back(unit->text, unit->sequence);
        } else {
            syntax_free(unit->sequence);
            zv::heap_free(unit->text);
        }
        unit->text = nullptr;
        unit->text_len = 0;
        unit->sequence = nullptr;
        zvs::con_flush();
    }
    zvs::con_flush();
    unit_free(unit);
    for (auto& k : kept) {
        syntax_free(k.second);
        zv::heap_free(k.first);
    }
    return 0;
}

// An option word begins with '/' or '-'. Natively an absolute path also
// begins with '/', so there a '/' word counts as options only when it holds
// nothing but option letters.
bool is_option_word(const std::u16string& word) {
    if (word.empty()) return false;
    if (word[0] == u'-') return true;
    if (word[0] != u'/') return false;
#ifdef _WIN32
    return true;
#else
    return word.find_first_not_of(u"pPsSxXvV?", 1) == std::u16string::npos;
#endif
}

}  // namespace

int main(int argc, char** argv) {
    zvs::con_init();
    builtins_init(con_error, con_print, con_input_fn);
    std::vector<std::u16string> args;
    zvs::con_arguments(argc, argv, args);

    bool basic = false, strict = false;
    size_t file_arg = 0;
    if (!args.empty() && is_option_word(args[0])) {
        const std::u16string& opt = args[0];
        if (opt.find(u'?') != std::u16string::npos) {
            print_usage();
            zvs::con_flush();
            return 0;
        }
        if (opt.find_first_of(u"vV") != std::u16string::npos) {
            zvs::con_write(zvs::con_version_line());
            zvs::con_flush();
            return 0;
        }
        basic = opt.find_first_of(u"pP") != std::u16string::npos;
        strict = opt.find_first_of(u"sS") != std::u16string::npos;
        g_hex = opt.find_first_of(u"xX") != std::u16string::npos;
        file_arg = 1;
    }
    if (file_arg < args.size()) return run_file(args[file_arg], args, file_arg + 1, basic, strict);
    return run_lines(basic);
}
