#include "ToolTexts.h"

#include <algorithm>
#include <iterator>

namespace pivotta::cli {
namespace {

using enum ToolText;

struct Words {
    ToolText text;
    std::string_view english, japanese;
};

constexpr Words kWords[] = {
    {Warning, "warning", "警告"},
    {Error, "error", "エラー"},
    {Note, "note", "注意"},
    {Done, "done", "完了"},
    {NotEnoughMemory, "not enough memory", "メモリが足りません"},
    {CheckFailed, "check failed", "検査に失敗しました"},
    {TransformFailed, "transformation failed", "変換に失敗しました"},
    {CannotRead, "cannot read: {}", "読み込めません: {}"},
    {CannotWrite, "cannot write {}: {}", "{}に書き込めません: {}"},
    {StandardOutput, "standard output", "標準出力"},
    {TerminalOutput,
     "standard output is a terminal: not writing a JPEG to it (redirect it to a file or a pipe, e.g. '> out.jpg')",
     "標準出力が端末なのでJPEGを書き出しません(ファイルかパイプにリダイレクトしてください。例: '> out.jpg')"},
    {WriteProtected, "cannot replace {}: permission denied (it is write-protected; -f/--force replaces it)",
     "{}を置き換えられません: 書き込みが禁止されています(-f/--force で置き換えます)"},
    {FolderNotWritable, "cannot replace {}: its folder is not writable ({}), so no new file can take its place",
     "{}を置き換えられません: フォルダに書き込めないため({})、新しいファイルを置けません"},
    {InPlaceSpecial, "--in-place replaces regular files only, and {} is a device, FIFO or socket",
     "--in-place は通常のファイルだけを置き換えます。{}はデバイス、FIFOまたはソケットです"},
    {OutputDirSpecial, "cannot write {}: it exists and is not a regular file (-o writes regular files only)",
     "{}に書き込めません: 通常のファイルではないものが既にあります(-o は通常のファイルだけを書きます)"},
    {CannotMakeFolder, "cannot make the folder for {}: {}", "{}を入れるフォルダを作れません: {}"},
    {Exists, "{} exists: not replaced (-n)", "{}は既にあるので置き換えません(-n)"},
    {TooLarge, "larger than 2 GiB, the largest JPEG pivotta-cli accepts: not read [too-large]",
     "pivotta-cliが受け付けるJPEGの上限の2 GiBを超えているので読み込みません [too-large]"},
    {BadOrientation, "Exif orientation {} is not one of 1 to 8; the picture is taken as upright [bad-orientation]",
     "Exifの向き{}は1～8のどれでもないので、正立の画像として扱います [bad-orientation]"},
    {NeedsTrim, "the transform would need trimming: {} is not a whole number of {} MCUs (--perfect) [needs-trim]",
     "変換には端の切り取りが必要です: {}は{}のMCUの整数倍ではありません(--perfect) [needs-trim]"},
    {CannotTrim,
     "the picture is smaller than one {} MCU across its ragged edge: that edge cannot be trimmed, and its padding "
     "moves into the picture [cannot-trim]",
     "画像がはみ出した端の方向に{}のMCU 1つより小さいので、その端を切り取れません: 埋め草が画像の中に移ります "
     "[cannot-trim]"},
    {NoValidTransform, "no valid transform", "有効な変換がありません"},
    {NotAFolder, "not a folder", "フォルダではありません"},
    {CannotRemove, "cannot remove {}", "{}を削除できません"},
    {CannotReadFolder, "cannot read the folder: {}", "フォルダを読めません: {}"},
    {GivenTwice, "given more than once (as '{}'); processed once only",
     "複数回指定されています('{}'として)。1回だけ処理します"},
    {SharedTarget, "its result '{}' would overwrite the result of '{}'", "結果の'{}'が'{}'の結果を上書きしてしまいます"},
    {NotAFileName, "not a file name", "ファイル名ではありません"},
};

static_assert(std::size(kWords) == static_cast<size_t>(NotAFileName) + 1, "every text has its words");
static_assert(std::all_of(std::begin(kWords), std::end(kWords),
                          [](const Words& w) {
                              return !w.english.empty() && !w.japanese.empty() &&
                                     static_cast<size_t>(w.text) == static_cast<size_t>(&w - kWords);
                          }),
              "in order, in both languages");

}  // namespace

std::string Say(MessageLanguage language, ToolText text, std::initializer_list<std::string_view> values) {
    const Words& words = kWords[static_cast<size_t>(text)];
    const std::string_view pattern = language == MessageLanguage::Japanese ? words.japanese : words.english;
    std::string out;
    const std::string_view* value = values.begin();
    for (size_t at = 0; at < pattern.size();) {
        const size_t hole = pattern.find("{}", at);
        if (hole == std::string_view::npos || value == values.end()) {
            out += pattern.substr(at);
            break;
        }
        out += pattern.substr(at, hole - at);
        out += *value++;
        at = hole + 2;
    }
    return out;
}

}  // namespace pivotta::cli
