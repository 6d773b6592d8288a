#pragma once
// The help viewer: opens the program's help file at a numeric help context. The window version shows
// the file in a small help window at the anchor "context-<n>".
#include <QString>

class QWidget;

namespace toolkit {

class HelpViewerService {
public:
    virtual ~HelpViewerService() = default;
    virtual void showHelp(QWidget* owner, const QString& helpFile, int context) = 0;
};

void ShowHelp(QWidget* owner, const QString& helpFile, int context);
void SetHelpViewerService(HelpViewerService* service);  // nullptr restores the help window

}  // namespace toolkit
