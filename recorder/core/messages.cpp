#include "messages.h"

namespace zvb {

const MessageText kMessageTexts[] = {
    {1000, u"エラー", u"Error", 0},
    {1013, u"データの再構築処理に失敗しました。", u"Rebuilding the recorded data failed.", 1000},
    {1014, u"コマンドライン引数で指定されたシナリオ「%s」が見つかりません。",
     u"The scenario \"%s\" named on the command line was not found.", 0},
    {1015, u"移動に失敗しました。\n\n%s", u"The move failed.\n\n%s", 1000},
    {1016, u"%s - コピー", u"%s - コピー", 0},
    {1017, u"%s - コピー (%d)", u"%s - コピー (%d)", 0},
    {1018, u"コピーに失敗しました。", u"The copy failed.", 1000},
    {1019, u"コピーに失敗しました。\n受け側グループは、送り側グループの配下です。",
     u"The copy failed.\nThe target group lies inside the group being copied.", 1000},
    {1020, u"グループ作成に失敗しました。\n\n%s", u"The group could not be created.\n\n%s", 1000},
    {1021, u"グループのコピーに失敗しました。\n\n%s", u"The group could not be copied.\n\n%s", 1000},
    {1022, u"既に「%s」は存在します。\n置き換えますか？", u"\"%s\" already exists.\nReplace it?", 0},
    {1023, u"インポートに失敗しました。\n\n%s%s", u"The import failed.\n\n%s%s", 1000},
    {1024, u"スクリプト作成に失敗しました。\n\n%s", u"The script could not be created.\n\n%s", 1000},
    {1025, u"「%s」を完全に削除しますか？", u"Delete \"%s\" permanently?", 1027},
    {1026, u"「%s」を削除しますか？\n\nシナリオの構成ファイルはごみ箱に移動されます。",
     u"Delete \"%s\"?\n\nThe scenario's files go to the recycle bin.", 1027},
    {1027, u"削除", u"Delete", 0},
    {1030, u"エクスポートに失敗しました。", u"The export failed.", 1000},
    {1034, u"同じ名前のシナリオが既に存在します。\n置き換えますか？",
     u"A scenario with the same name already exists.\nReplace it?", 0},
    {1043, u"統計情報の出力に失敗しました。", u"The statistics report could not be written.", 1000},
    {1044, u"統計情報の表示に失敗しました。", u"The statistics report could not be shown.", 1000},
    {1060, u"記録を開始できませんでした。\n\n%s", u"Recording could not start.\n\n%s", 1000},
    {1061,
     u"一時ファイルに書き込めないため、記録を停止しました。\n"
     u"それまでに記録した操作は保存できます。\n\n%s",
     u"Recording stopped: its temporary files cannot be written.\nWhat was recorded until then can be saved.\n\n%s",
     1000},
    {1062,
     u"マウスとキーボードの操作が記録に届いていなかったため、記録をつなぎ直しました。\n"
     u"直前の操作は記録されていない可能性があります。",
     u"Mouse and keyboard input had stopped reaching the recorder; it has been connected again.\nThe last "
     u"operations may be missing from the recording.",
     0},
    {1202, u"名前を入力してください。", u"Enter a name.", 1000},
    {1203, u"名前に次の文字は使えません。\n\n\\ / : * ? \" < > |",
     u"A name cannot contain these characters:\n\n\\ / : * ? \" < > |", 1000},
    {1204, u"すでに同じ名前が存在します。", u"The same name already exists.", 1000},
    {1205, u"名前の変更に失敗しました。\n\n%s", u"The rename failed.\n\n%s", 1000},
    {2011, u"HTML出力に失敗しました。", u"The HTML manual could not be written.", 1000},
    {2012, u"HTML表示に失敗しました。", u"The HTML manual could not be shown.", 1000},
};
const int kMessageTextCount = int(sizeof kMessageTexts / sizeof kMessageTexts[0]);

const MessageText* message_row(int32_t number) {
    for (const MessageText& m : kMessageTexts)
        if (m.number == number) return &m;
    return nullptr;
}

Message make_message(int32_t number, std::vector<std::u16string> args, std::u16string detail) {
    Message m;
    m.number = number;
    m.args = std::move(args);
    m.detail = std::move(detail);
    return m;
}

namespace {

std::u16string fill(const char16_t* format, const std::vector<std::u16string>& args) {
    std::u16string out;
    size_t next = 0;
    for (const char16_t* p = format; *p; ++p) {
        if (*p == u'%' && (p[1] == u's' || p[1] == u'd')) {
            if (next < args.size()) out += args[next];
            ++next;
            ++p;
        } else if (*p == u'%' && p[1] == u'%') {
            out += u'%';
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

}  // namespace

std::u16string message_string(const Message& m, bool english) {
    const MessageText* row = message_row(m.number);
    if (!row) return m.detail;
    return fill(english ? row->english : row->text, m.args);
}

std::u16string message_caption(const Message& m, bool english) {
    const MessageText* row = message_row(m.number);
    const MessageText* caption = row && row->caption ? message_row(row->caption) : nullptr;
    if (!caption) return u"zarvo-bot";
    return english ? caption->english : caption->text;
}

std::u16string message_line(const Message& m, bool english) {
    std::u16string text = message_string(m, english);
    std::u16string line;
    for (char16_t c : text) {
        if (c == u'\r') continue;
        if (c == u'\n') {
            if (!line.empty() && line.back() != u' ') line += u' ';
            continue;
        }
        line += c;
    }
    while (!line.empty() && line.back() == u' ') line.pop_back();
    if (!m.detail.empty() && line.find(m.detail) == std::u16string::npos) {
        if (!line.empty()) line += u": ";
        line += m.detail;
    }
    return line;
}

}  // namespace zvb
