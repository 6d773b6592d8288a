#include "ui/main/modHtmlHelp.h"

#include "framework/Identity.h"
#include "platform/toolkit/HelpViewer.h"

#include <QCoreApplication>
#include <QFileInfo>

#ifndef KR5M_DATA_FROM_BIN
#define KR5M_DATA_FROM_BIN "../share/KR5MHUConfigure"
#endif

namespace modHtmlHelp {

QString HelpFilePath()
{
    return FindHelpFile(QCoreApplication::applicationDirPath(), framework::LoadResString(160));
}

QString FindHelpFile(const QString& programDir, const QString& fileName)
{
    QString beside = programDir + QLatin1Char('/') + fileName;
    if (QFileInfo::exists(beside))
        return beside;
    const QString installed =
        QFileInfo(programDir + QStringLiteral("/" KR5M_DATA_FROM_BIN "/") + fileName).absoluteFilePath();
    return QFileInfo::exists(installed) ? installed : beside;
}

void ShowContext(QWidget* owner, const QString& helpFile, int context)
{
    toolkit::ShowHelp(owner, helpFile, context);
}

int TabHelpContext(int tabIndex)
{
    static const int contexts[] = {1004, 1002, 1003, 1006, 1005, 1001, 1000};
    return tabIndex >= 0 && tabIndex < 7 ? contexts[tabIndex] : 0;
}

}  // namespace modHtmlHelp
