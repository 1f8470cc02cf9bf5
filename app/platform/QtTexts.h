// Qt's own dialogs in the program's Japanese: Qt's translation, with the words it leaves in
// English given and its "ディレクトリ" said as the program says it ("フォルダ").
#pragma once

#include <QTranslator>

namespace pivotta::app {

class JapaneseQtTexts : public QTranslator {
public:
    // Loads Qt's own Japanese translation from where Qt keeps it; without it only the
    // program's own words are given.
    JapaneseQtTexts();

    QString translate(const char* context, const char* sourceText, const char* disambiguation = nullptr,
                      int n = -1) const override;
    bool isEmpty() const override { return false; }

private:
    QTranslator qt_;
};

}  // namespace pivotta::app
