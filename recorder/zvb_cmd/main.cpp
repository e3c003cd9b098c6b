// zvb_cmd [/dir USERDIR] <command> [arguments]: the recorder's console tool.
#include <cstdint>

#include "console_io.h"
#include "file_util.h"
#include "names.h"
#include "platform.h"
#include "zvb_cmd.h"

namespace zvb_cmd {

void out(const std::u16string& text) { zvs::con_write(text); }

int fail(const Tool& tool, const std::u16string& english, const std::u16string& japanese) {
    zvs::con_flush();
    zvs::con_write_error(u"zvb_cmd: " + (tool.japanese ? japanese : english) + u"\n");
    return 1;
}

int fail(const Tool& tool, const zvb::Message& m) {
    std::u16string english = zvb::message_line(m, true), japanese = zvb::message_line(m, false);
    return fail(tool, english, japanese);
}

namespace {

void print_usage(const Tool& tool) {
    std::u16string text;
    for (size_t i = 0; i < kCommandCount; ++i) {
        const Command& c = kCommands[i];
        text += c.uses_store ? u"zvb_cmd [/dir USERDIR] " : u"zvb_cmd ";
        text += std::u16string(c.synopsis) + u"\n";
    }
    text += tool.japanese ? u"\n  /dir USERDIR\t記録ツールのユーザーフォルダー\n"
                            u"              \t(省略時: ローカルアプリケーションデータ\\zarvo-bot)\n"
                          : u"\n  /dir USERDIR\tthe recorder's user folder\n"
                            u"              \t(default: the local application data folder\\zarvo-bot)\n";
    for (size_t i = 0; i < kCommandCount; ++i)
        text += tool.japanese ? kCommands[i].help_japanese : kCommands[i].help_english;
    text += tool.japanese ? u"\n  NAME\t\tグループパス (Daily/Reports/Export、グループは Daily/Reports/)\n"
                            u"      \t\tまたはシナリオ名 (大文字小文字を区別しない)\n"
                          : u"\n  NAME\t\ta group path (Daily/Reports/Export, a group Daily/Reports/)\n"
                            u"      \t\tor a scenario name, case ignored\n";
    text += tool.japanese ? u"\n  終了コード: 成功 0、失敗 1 (標準エラーに 1 行のメッセージ)\n"
                          : u"\n  Exit code 0 on success; 1 with a one-line message on standard error.\n";
    out(text);
}

bool is_usage_word(const std::u16string& word) { return word == u"/?" || word == u"-?"; }

int run(Tool& tool, const Args& args) {
    size_t at = 0;
    if (!args.empty() && is_usage_word(args[0])) {
        print_usage(tool);
        return 0;
    }
    std::u16string user_folder;
    bool given = false;
    while (at < args.size() && (zvb::name_equal(args[at].c_str(), u"/dir") || zvb::name_equal(args[at].c_str(), u"-dir"))) {
        if (at + 1 >= args.size())
            return fail(tool, u"/dir needs a folder (zvb_cmd /? shows the usage)",
                        u"/dir にはフォルダーを指定してください (zvb_cmd /? で使い方を表示)");
        user_folder = args[at + 1];
        given = true;
        at += 2;
    }
    if (at >= args.size())
        return fail(tool, u"no command given (zvb_cmd /? shows the usage)",
                    u"コマンドが指定されていません (zvb_cmd /? で使い方を表示)");
    const Command* command = nullptr;
    for (size_t i = 0; i < kCommandCount; ++i)
        if (zvb::name_equal(args[at].c_str(), kCommands[i].name)) command = &kCommands[i];
    if (!command)
        return fail(tool, u"unknown command \"" + args[at] + u"\" (zvb_cmd /? shows the usage)",
                    u"不明なコマンド「" + args[at] + u"」 (zvb_cmd /? で使い方を表示)");
    Args rest(args.begin() + long(at) + 1, args.end());
    if (rest.size() < command->min_args || rest.size() > command->max_args)
        return fail(tool, u"usage: zvb_cmd " + std::u16string(command->synopsis),
                    u"使い方: zvb_cmd " + std::u16string(command->synopsis));
    if (!command->uses_store) return command->run(tool, rest);

    if (!given) {
        user_folder = zvb::default_user_folder();
        if (user_folder.empty())
            return fail(tool, u"there is no local application data folder; use /dir",
                        u"ローカルアプリケーションデータフォルダーがありません。/dir を指定してください");
    } else if (!(zv::path_kind(user_folder.c_str()) & zv::kPathFolder)) {
        return fail(tool, u"the user folder \"" + user_folder + u"\" does not exist",
                    u"ユーザーフォルダー「" + user_folder + u"」がありません");
    }
    zvb::Message error;
    if (!zvb::store_open(&tool.store, user_folder, &error)) return fail(tool, error);
    zvb::store_load(&tool.store);
    int rc = command->run(tool, rest);
    zvb::store_close(&tool.store);
    return rc;
}

}  // namespace

}  // namespace zvb_cmd

int main(int argc, char** argv) {
    zvs::con_init();
    zvb_cmd::Tool tool;
    tool.japanese = zv::ui_japanese();
    zvb_cmd::Args args;
    zvs::con_arguments(argc, argv, args);
    int rc = zvb_cmd::run(tool, args);
    zvs::con_flush();
    return rc;
}
