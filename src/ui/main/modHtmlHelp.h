#pragma once
// Opening the program's help file at a help context.
#include <QString>

class QWidget;

namespace modHtmlHelp {

// The help file, named by string 160, beside the executable.
QString HelpFilePath();
// Opens it in the help viewer at the context, owned by owner.
void ShowContext(QWidget* owner, const QString& helpFile, int context);
// The help context of each tab of tabData (0 for any other index).
int TabHelpContext(int tabIndex);

}  // namespace modHtmlHelp
