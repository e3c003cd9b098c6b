// The command table and the commands on the scenario store.
#include <cstdint>

#include "file_util.h"
#include "names.h"
#include "scenario.h"
#include "store.h"
#include "zvb_cmd.h"

namespace zvb_cmd {

const Command kCommands[] = {
    {u"list", 0, 0, true, run_list, u"list",
     u"  list\t\tprint the scenario tree, one entry per line, indented two\n"
     u"      \t\tspaces per level: name, type, call key (TAB between)\n",
     u"  list\t\tシナリオの一覧を 1 行に 1 件、階層ごとに 2 文字字下げして表示\n"
     u"      \t\t(名前、種類、呼び出しキーをタブで区切る)\n"},
    {u"export", 2, 2, true, run_export, u"export NAME OUTFILE",
     u"  export\twrite the scenario NAME to OUTFILE: a script as a copy,\n"
     u"        \ta timeline or a group as an archive (.zva), a timeline to\n"
     u"        \ta .ksc OUTFILE as its script\n",
     u"  export\tシナリオ NAME を OUTFILE に書き出す (スクリプトはコピー、\n"
     u"        \tタイムラインとグループはアーカイブ .zva、タイムラインを\n"
     u"        \t.ksc に書き出すとスクリプト)\n"},
    {u"import", 1, SIZE_MAX, true, run_import, u"import FILE...",
     u"  import\timport folders, .ksc .zv .img .ini files and archives as a drop\n"
     u"        \ton the main window does (an existing scenario is replaced)\n",
     u"  import\tフォルダー、.ksc .zv .img .ini ファイル、アーカイブを取り込む\n"
     u"        \t(メイン画面へのドロップと同じ。同名のシナリオは置き換える)\n"},
    {u"stats", 0, 1, true, run_stats, u"stats [OUTFILE]",
     u"  stats\t\twrite the statistics report (default: USERDIR\\statistics.html)\n",
     u"  stats\t\t統計レポートを書き出す (省略時: USERDIR\\statistics.html)\n"},
    {u"manual", 2, 2, true, run_manual, u"manual NAME OUTDIR",
     u"  manual\twrite the HTML manual of the timeline NAME into OUTDIR\n"
     u"        \t(NAME.html and the folder NAME with its pictures)\n",
     u"  manual\tタイムライン NAME の HTML マニュアルを OUTDIR に書き出す\n"
     u"        \t(NAME.html と画像を入れたフォルダー NAME)\n"},
    {u"dump", 1, 1, false, run_dump, u"dump FILE.zv",
     u"  dump\t\tprint every record of an operation file, one field per line\n",
     u"  dump\t\t操作ファイルの全レコードを 1 行に 1 項目で表示\n"},
    {u"script", 2, 5, true, run_script, u"script NAME OUTFILE [/notify] [/from N]",
     u"  script\twrite the play script of NAME to OUTFILE as an export does\n"
     u"        \t(a script scenario as a copy); /notify adds the play\n"
     u"        \tnotifications, /from N leaves out the operations before\n"
     u"        \tnumber N of a timeline (0 is the first)\n",
     u"  script\tシナリオ NAME の再生スクリプトをエクスポートと同じく OUTFILE に\n"
     u"        \t書き出す (スクリプトはコピー)。/notify で再生通知を入れ、\n"
     u"        \t/from N でタイムラインの N 番 (0 が先頭) より前の操作を省く\n"},
    {u"play", 1, 2, true, run_play, u"play NAME [/n]",
     u"  play\t\tplay the scenario NAME and wait for the end: handed to a running\n"
     u"      \t\tzarvo-bot on the same user folder (/n: not while it plays\n"
     u"      \t\tsomething else), else played here through zvs_app; exit code 1\n"
     u"      \t\twhen the play failed or was stopped (the step on standard error)\n",
     u"  play\t\tシナリオ NAME を再生して終了を待つ (同じユーザーフォルダーの\n"
     u"      \t\tzarvo-bot が起動中ならそちらで再生。/n: 再生中なら何もしない。\n"
     u"      \t\tそれ以外は zvs_app で再生)。失敗・停止時は終了コード 1\n"
     u"      \t\t(標準エラーにステップ番号)\n"},
};
const size_t kCommandCount = sizeof kCommands / sizeof kCommands[0];

namespace {

bool print_entry(zvb::ScenarioEntry* e, int depth, void*) {
    static const char16_t* const kTypes[] = {u"timeline", u"script", u"group"};
    std::u16string line(size_t(depth) * 2, u' ');
    line += e->name;
    line += u'\t';
    line += e->type >= 0 && e->type <= 2 ? kTypes[e->type] : u"?";
    if (e->hotkey_text) line += std::u16string(u"\t") + e->hotkey_text;
    out(line + u"\n");
    return true;
}

}  // namespace

int run_list(Tool& tool, const Args&) {
    zvb::tree_walk(tool.store.root, print_entry, nullptr);
    zvb::store_save(&tool.store);  // as the recorder does after loading
    return 0;
}

int run_export(Tool& tool, const Args& args) {
    zvb::ScenarioEntry* e = zvb::tree_find_name(tool.store.root, args[0], nullptr);
    if (!e) return fail(tool, zvb::make_message(1014, {args[0]}));
    if (e->type == zvb::kTypeTimeline && zvb::name_equal(zvb::path_extension(args[1]).c_str(), u".ksc")) {
        zvb::store_save(&tool.store);
        return write_script(tool, e, args[1], false, 0, 1030);
    }
    zvb::Message error;
    if (!zvb::store_export(&tool.store, e, args[1], &error)) return fail(tool, error);
    return 0;
}

int run_import(Tool& tool, const Args& args) {
    // Questions are answered yes; each failure is one line, and the exit
    // code tells that there was one.
    zvb::UserPrompt prompt = {[](void*, const zvb::Message&) { return true; },
                              [](void* ctx, const zvb::Message& m) { fail(*static_cast<Tool*>(ctx), m); }, &tool};
    int failures = 0;
    zvb::store_import(&tool.store, args, prompt, &failures);
    return failures ? 1 : 0;
}

}  // namespace zvb_cmd
