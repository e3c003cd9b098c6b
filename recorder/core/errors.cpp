#include "errors.h"

#include "platform.h"

namespace zvb {

namespace {

struct OwnError {
    uint32_t code;
    const char16_t* english;
    const char16_t* japanese;
};

const OwnError kOwnErrors[] = {
    {kErrorNoMemory, u"Not enough memory.", u"メモリが不足しています。"},
    {kErrorTooDeep, u"The folders are nested too deeply.", u"フォルダーの階層が深すぎます。"},
    {kErrorInsideItself, u"The destination lies inside the source folder.", u"コピー先がコピー元のフォルダーの中にあります。"},
    {kErrorTruncated, u"The file ends before its data is complete.", u"ファイルが途中で終わっています。"},
    {kErrorWriteFailed, u"The file could not be written.", u"ファイルを書き込めませんでした。"},
    {kErrorNameExists, u"The same name already exists.", u"すでに同じ名前が存在します。"},
    {kErrorPathTooLong, u"The path is too long.", u"パスが長すぎます。"},
    {kErrorUnsafePath, u"The archive names a path outside the data folder.", u"アーカイブにデータフォルダー外のパスが含まれています。"},
    {kErrorNotArchive, u"The file is not a scenario archive.", u"シナリオのアーカイブではありません。"},
    {kErrorTooLarge, u"The file is too large for an archive.", u"ファイルが大きすぎてアーカイブにできません。"},
    {kErrorNothingToPlay, u"There is no scenario to play.", u"再生可能なシナリオがありません。"},
};

}  // namespace

const char16_t* own_error_text(uint32_t code) {
    for (const OwnError& e : kOwnErrors)
        if (e.code == code) return zv::ui_japanese() ? e.japanese : e.english;
    return nullptr;
}

}  // namespace zvb
