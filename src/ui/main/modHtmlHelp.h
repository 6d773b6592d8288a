#pragma once
// Opening the program's help file at a help context.
#include <QString>

class QWidget;

namespace modHtmlHelp {

// The help file, named by string 160: beside the executable in a build, under share/ once installed.
QString HelpFilePath();
// fileName beside programDir, else in the installed data folder relative to it; where neither has it,
// the place beside programDir, so that the viewer names a path it looked at.
QString FindHelpFile(const QString& programDir, const QString& fileName);
// Opens it in the help viewer at the context, owned by owner.
void ShowContext(QWidget* owner, const QString& helpFile, int context);
// The help context of each tab of tabData (0 for any other index).
int TabHelpContext(int tabIndex);

}  // namespace modHtmlHelp
