// Qt's own dialogs in Japanese: the translation Qt ships for its dialogs is
// found and changes the texts they show.
#include "QtTranslations.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QLibraryInfo>
#include <QPushButton>

#include <gtest/gtest.h>

namespace zorvik {
namespace {

QString CancelText() {
    QDialogButtonBox box(QDialogButtonBox::Cancel);
    return box.button(QDialogButtonBox::Cancel)->text();
}

TEST(QtTranslations, JapaneseTranslatesQtsDialogsAndAnUnknownLanguageChangesNothing) {
    ASSERT_TRUE(QDir(QLibraryInfo::path(QLibraryInfo::TranslationsPath)).exists("qtbase_ja.qm"))
        << "Qt's translations are missing: install qt6-translations-l10n "
           "(scripts/install-deps.sh)";
    ASSERT_EQ(CancelText().toStdString(), "Cancel");
    EXPECT_FALSE(InstallQtTranslations(*qApp, "xx"));
    EXPECT_EQ(CancelText().toStdString(), "Cancel");
    // A language with its country falls back to the language's file.
    EXPECT_TRUE(InstallQtTranslations(*qApp, "ja_JP"));
    EXPECT_EQ(CancelText().toStdString(), "キャンセル");
}

} // namespace
} // namespace zorvik
