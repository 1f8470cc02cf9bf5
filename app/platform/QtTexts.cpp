#include "QtTexts.h"

#include <QLibraryInfo>
#include <array>
#include <cstring>

namespace pivotta::app {

namespace {

struct GivenText {
    const char* context;
    const char* source;
    const char* japanese;
};

// Texts that Qt 6's Japanese translation lacks: the file dialogs' type column, mostly.
const std::array<GivenText, 8> kGivenTexts{{
    {"QAbstractFileIconProvider", "Folder", "フォルダ"},
    {"QAbstractFileIconProvider", "File Folder", "フォルダ"},
    {"QAbstractFileIconProvider", "Drive", "ドライブ"},
    {"QAbstractFileIconProvider", "File", "ファイル"},
    {"QAbstractFileIconProvider", "%1 File", "%1 ファイル"},
    {"QAbstractFileIconProvider", "Shortcut", "ショートカット"},
    {"QAbstractFileIconProvider", "Unknown", "不明"},
    {"QFileDialog", "Computer", "コンピュータ"},
}};

}  // namespace

JapaneseQtTexts::JapaneseQtTexts()
{
    // Without it the given texts still apply; the rest of Qt stays in English.
    (void)qt_.load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}

QString JapaneseQtTexts::translate(const char* context, const char* sourceText, const char* disambiguation,
                                   int n) const
{
    if (!context || !sourceText) return {};
    for (const GivenText& given : kGivenTexts) {
        if (std::strcmp(given.context, context) == 0 && std::strcmp(given.source, sourceText) == 0)
            return QString::fromUtf8(given.japanese);
    }
    QString text = qt_.translate(context, sourceText, disambiguation, n);
    text.replace(QStringLiteral("ディレクトリ"), QStringLiteral("フォルダ"));
    return text;
}

}  // namespace pivotta::app
