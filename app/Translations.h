// Qt's own texts in Japanese: the standard buttons of message boxes ("はい", "いいえ"), the
// context menus of text fields and the other texts Qt itself supplies.
#pragma once

#include <QString>

class QCoreApplication;
class QTranslator;

namespace tavolen {

// Loads Qt's Japanese translations ("qtbase_ja", from Qt's translations folder unless a folder
// is given) into the application and returns the translator, which the application owns.
// Null when no translation file could be loaded; Qt's texts then stay English.
QTranslator* InstallJapaneseQtTranslations(QCoreApplication& app, const QString& folder = {});

}  // namespace tavolen
