#include "platform/toolkit/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace toolkit {

bool InstallTranslations(const QLocale& locale)
{
    static QTranslator program;
    static QTranslator qt;
    QCoreApplication::removeTranslator(&program);
    QCoreApplication::removeTranslator(&qt);
    const bool found = program.load(locale, QStringLiteral("kr5m"), QStringLiteral("_"), QStringLiteral(":/i18n"));
    if (!found)
        return false;
    QCoreApplication::installTranslator(&program);
    // The standard buttons of message boxes; missing when Debian's qt6-translations-l10n is not installed.
    if (qt.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qt);
    return true;
}

}  // namespace toolkit
