#include "platform/toolkit/HelpViewer.h"

#include "platform/toolkit/WindowPlacement.h"

#include <QDialog>
#include <QFileInfo>
#include <QPointer>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace toolkit {
namespace {

class HelpWindow : public QDialog {
public:
    explicit HelpWindow(QWidget* owner) : QDialog(owner)
    {
        setObjectName(QStringLiteral("helpWindow"));
        setWindowFlag(Qt::WindowContextHelpButtonHint, false);
        auto* layout = new QVBoxLayout(this);
        m_browser = new QTextBrowser(this);
        m_browser->setObjectName(QStringLiteral("helpBrowser"));
        m_browser->setOpenExternalLinks(false);
        layout->addWidget(m_browser);
        resize(560, 420);
    }
    void showContext(const QString& file, int context)
    {
        QUrl url = QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath());
        url.setFragment(QStringLiteral("context-%1").arg(context));
        m_browser->setSource(url);
        setWindowTitle(m_browser->documentTitle().isEmpty() ? QFileInfo(file).fileName() : m_browser->documentTitle());
    }

private:
    QTextBrowser* m_browser;
};

class WindowHelpViewer : public HelpViewerService {
public:
    void showHelp(QWidget* owner, const QString& helpFile, int context) override
    {
        if (!m_window || m_window->parentWidget() != owner) {
            m_window = new HelpWindow(owner);
            // Beside its owner rather than over it, where the user wants help with; later it opens
            // where the user left it.
            PlaceBeside(m_window, owner);
        }
        m_window->showContext(helpFile, context);
        ShowInFront(m_window);
    }

private:
    QPointer<HelpWindow> m_window;
};

HelpViewerService*& current()
{
    static HelpViewerService* service = nullptr;
    return service;
}

}  // namespace

void ShowHelp(QWidget* owner, const QString& helpFile, int context)
{
    static WindowHelpViewer window;
    (current() ? current() : &window)->showHelp(owner, helpFile, context);
}

void SetHelpViewerService(HelpViewerService* service)
{
    current() = service;
}

}  // namespace toolkit
