// Qt's own texts in Japanese once the program has loaded Qt's translations.
#include "app/Translations.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTranslator>
#include <memory>

namespace tavolen {
namespace {

TEST(Translations, StandardButtonsAndTextMenusAreJapanese) {
  QTranslator* translator = InstallJapaneseQtTranslations(*qApp);
  ASSERT_NE(translator, nullptr);
  // The acquisition's cancel question: Yes and No.
  QMessageBox question(QMessageBox::Question, QStringLiteral("x"), QStringLiteral("x"),
                       QMessageBox::Yes | QMessageBox::No);
  EXPECT_TRUE(question.button(QMessageBox::Yes)->text().contains(QString::fromUtf8("はい")))
      << question.button(QMessageBox::Yes)->text().toStdString();
  EXPECT_TRUE(question.button(QMessageBox::No)->text().contains(QString::fromUtf8("いいえ")))
      << question.button(QMessageBox::No)->text().toStdString();
  // A text field's context menu.
  QLineEdit field;
  std::unique_ptr<QMenu> menu(field.createStandardContextMenu());
  QStringList texts;
  for (QAction* a : menu->actions()) texts << a->text();
  EXPECT_FALSE(texts.join('|').contains(QStringLiteral("Paste"))) << texts.join('|').toStdString();
  // The other window tests of this program see Qt's texts as they were.
  QCoreApplication::removeTranslator(translator);
  delete translator;
}

TEST(Translations, AFolderWithoutThemIsNoFailure) {
  EXPECT_EQ(InstallJapaneseQtTranslations(*qApp, QStringLiteral("/nonexistent-folder")), nullptr);
}

}  // namespace
}  // namespace tavolen
