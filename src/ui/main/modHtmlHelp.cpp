#include "ui/main/modHtmlHelp.h"

#include "framework/Identity.h"
#include "platform/toolkit/HelpViewer.h"

#include <QCoreApplication>

namespace modHtmlHelp {

QString HelpFilePath()
{
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + framework::LoadResString(160);
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
