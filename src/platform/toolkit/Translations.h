#pragma once
// The language of the windows: the program's translation for the user's locale (LANG, LC_ALL,
// LC_MESSAGES), kept in the program under :/i18n, and Qt's own for its standard buttons. A locale
// without a translation, English among them, keeps the texts as written.
#include <QLocale>

namespace toolkit {

// Installs the translations for locale on the running application; true when the program has one for
// it. Calling it again replaces the earlier ones.
bool InstallTranslations(const QLocale& locale = QLocale());

}  // namespace toolkit
