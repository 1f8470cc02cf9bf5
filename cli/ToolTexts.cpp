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
    {UsageConflict, "options '{}' and '{}' cannot be combined",
     "オプション'{}'と'{}'は一緒に使えません"},
    {UsageUnknownOption, "unknown option '{}'",
     "'{}'というオプションはありません"},
    {UsageTakesNoValue, "option '{}' takes no value",
     "オプション'{}'は値をとりません"},
    {UsageNeedsValue, "option '{}' needs a value",
     "オプション'{}'には値が必要です"},
    {UsageInvalidValue, "invalid value '{}' for {}: {}",
     "{1}の値'{0}'は使えません: {2}"},
    {UsageJobsRange, "a whole number from 1 to {}",
     "1から{}までの整数"},
    {UsageRotateValues, "90, 180 or 270",
     "90、180、270のどれか"},
    {UsageMirrorValues, "lr or tb",
     "lrかtb"},
    {UsageNeedsFolder, "{} needs a folder name",
     "{}にはフォルダ名が必要です"},
    {UsageNeedsFileName, "{} needs a file name",
     "{}にはファイル名が必要です"},
    {UsageNeedsSuffix, "{} needs a text to add to the names",
     "{}には名前に付け加える文字列が必要です"},
    {UsageSuffixSeparator, "{} cannot hold a folder separator",
     "{}にはフォルダの区切り文字を含められません"},
    {UsageManyTransforms, "more than one transform given; choose exactly one",
     "変換が複数指定されています。1つだけ選んでください"},
    {UsageGivenTwice, "option '{}' given twice",
     "オプション'{}'が2回指定されています"},
    {UsageSuffixMode, "--suffix names results: it does not apply to {}",
     "--suffix は結果の名前を決めるもので、{} には使えません"},
    {UsageLinksNeedRecursive, "-L/--dereference applies to -R/--recursive",
     "-L/--dereference は -R/--recursive と一緒に使います"},
    {UsageNullNeedsList, "-0/--null applies to --files-from",
     "-0/--null は --files-from と一緒に使います"},
    {UsageNoClobberMode, "-n/--no-clobber applies to -o, --suffix and OUTPUT, not to {}",
     "-n/--no-clobber は -o、--suffix、OUTPUT に使うもので、{} には使えません"},
    {UsageCleanArguments, "--clean takes its folders as arguments only",
     "--clean のフォルダは引数でだけ指定できます"},
    {UsageCleanTransform, "--clean takes no transform",
     "--clean には変換を指定できません"},
    {UsageNoFolder, "no folder given",
     "フォルダが指定されていません"},
    {UsageQuietVerbose, "options '-q' and '-v' cannot be combined",
     "オプション'-q'と'-v'は一緒に使えません"},
    {UsageCheckWritesNothing, "--check writes nothing: {} does not apply",
     "--check は何も書き込まないので、{} は使えません"},
    {UsageCheckPerfect, "--check without a transform: --perfect does not apply",
     "変換のない --check には --perfect は使えません"},
    {UsageNoTransform, "no transform given: choose one of -r 90|180|270, -m lr|tb, --transpose, --transverse, -a/--auto-orient, --none",
     "変換が指定されていません: -r 90|180|270、-m lr|tb、--transpose、--transverse、-a/--auto-orient、--none のどれかを選んでください"},
    {UsageAutoKeep, "-a/--auto-orient and --keep-orientation cannot be combined: the kept tag would turn the upright picture again",
     "-a/--auto-orient と --keep-orientation は一緒に使えません: 残した向きのタグが正立にした画像をまた回してしまいます"},
    {UsageBatchNeedsMode, "-R and --files-from need -o DIR, --in-place, --suffix or --check",
     "-R と --files-from には -o DIR、--in-place、--suffix、--check のどれかが必要です"},
    {UsageMissingBoth, "missing INPUT and OUTPUT",
     "INPUT と OUTPUT がありません"},
    {UsageMissingOutput, "missing OUTPUT after '{}'",
     "'{}'の後に OUTPUT がありません"},
    {UsageTooManyFiles, "too many files: use -o DIR or --in-place for several inputs",
     "ファイルが多すぎます: 複数の入力には -o DIR か --in-place を使ってください"},
    {UsageNoInput, "no input file given",
     "入力ファイルが指定されていません"},
    {UsageStdinNoName, "standard input ('-') has no file name: it cannot be used with -o, --suffix or --in-place",
     "標準入力('-')にはファイル名がないので、-o、--suffix、--in-place には使えません"},
    {UsageStdinTwice, "standard input ('-') given more than once",
     "標準入力('-')が複数回指定されています"},
    {UsageStdinAndList, "standard input ('-') cannot be both a picture and the list of --files-from",
     "標準入力('-')を画像と --files-from のリストの両方には使えません"},
    {UsageNoArguments, "no arguments given",
     "引数がありません"},
    {UsageTryHelp, "Try '{} --help' for more information.",
     "詳しくは '{} --help' を見てください。"},
    {PlanNoOutputFolder, "output folder '{}' does not exist or is not a folder",
     "出力フォルダ'{}'がないか、フォルダではありません"},
    {PlanOutputIsInput, "OUTPUT '{}' is the input file itself: use --in-place to replace it",
     "OUTPUT '{}'は入力ファイルそのものです: 置き換えるには --in-place を使ってください"},
    {PlanOutputFolderHoldsInput, "output folder '{}' holds the input '{}', whose result would replace it: choose another folder, or use --in-place",
     "出力フォルダ'{}'に入力'{}'があり、結果がそれを置き換えてしまいます: 別のフォルダを選ぶか --in-place を使ってください"},
    {PlanSuffixHitsInput, "the result of '{}' would replace the input '{}': choose another --suffix",
     "'{}'の結果が入力'{}'を置き換えてしまいます: 別の --suffix を選んでください"},
    {PlanCannotReadList, "cannot read the list of --files-from '{}'",
     "--files-from のリスト'{}'を読めません"},
};

static_assert(std::size(kWords) == static_cast<size_t>(PlanCannotReadList) + 1, "every text has its words");
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
    size_t next = 0;
    for (size_t at = 0; at < pattern.size();) {
        const size_t hole = pattern.find('{', at);
        const size_t close = hole == std::string_view::npos ? hole : pattern.find('}', hole);
        if (close == std::string_view::npos) {
            out += pattern.substr(at);
            break;
        }
        out += pattern.substr(at, hole - at);
        const std::string_view inside = pattern.substr(hole + 1, close - hole - 1);
        const size_t index = inside.empty() ? next++ : static_cast<size_t>(inside[0] - '0');
        if (index < values.size()) out += values.begin()[index];
        at = close + 1;
    }
    return out;
}

}  // namespace pivotta::cli
