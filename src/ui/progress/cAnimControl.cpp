#include "ui/progress/cAnimControl.h"

#include "platform/base/ComError.h"
#include "platform/base/WindowsPath.h"

#include <QApplication>
#include <QFileInfo>
#include <QResource>

// The program's own clips live in the resources compiled into it; naming them here keeps them linked
// in even when they come from a static library.
static void initOwnAnimations()
{
    Q_INIT_RESOURCE(animation);
}

namespace {

// A "module" named by the program's own executable (as the progress window composes it, with or
// without ".exe") is the program itself.
bool isOwnModule(const QString& fileName)
{
    if (fileName.isEmpty())
        return true;
    const QString path = QFileInfo(winpath::Resolve(fileName)).absoluteFilePath();
    const QFileInfo exe(QCoreApplication::applicationFilePath());
    const QString exePath = exe.absoluteFilePath();
    return path == exePath || path == exePath + QStringLiteral(".exe") ||
           path == exe.absolutePath() + QLatin1Char('/') + exe.completeBaseName() + QStringLiteral(".exe");
}

QString nextModuleRoot()
{
    static int counter = 0;
    return QStringLiteral("/cAnimControl-module-%1").arg(++counter);
}

}  // namespace

cAnimControl::cAnimControl()
{
    static const bool ownAnimations = (initOwnAnimations(), true);
    Q_UNUSED(ownAnimations);
}

cAnimControl::~cAnimControl()
{
    DestroyAnimationWindow();
    freeModule();
}

QString cAnimControl::ErrorSource()
{
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName() + QStringLiteral(".cAnimControl");
}

void cAnimControl::raise(qint32 number, const QString& description) const
{
    throw com::ComError(number, ErrorSource(), description);
}

WId cAnimControl::hwnd() const
{
    return m_window ? m_hwnd : 0;
}

void cAnimControl::StartPlay(qint32 From, qint32 To_, qint32 Repeat)
{
    if (m_clipOpen && m_window)
        m_window->play(quint16(From & 0xFFFF), quint16(To_ & 0xFFFF), Repeat);
}

void cAnimControl::StopPlay()
{
    if (m_clipOpen && m_window)
        m_window->stop();
}

void cAnimControl::setFilename(const QString& sFile)
{
    CloseClip();
    m_resourceId = 0;
    m_resourceFileName.clear();
    m_filename = sFile;
    OpenClip();
}

void cAnimControl::setResourceId(qint32 lId)
{
    CloseClip();
    m_filename.clear();
    m_resourceId = lId;
    OpenClip();
}

void cAnimControl::setResourceFileName(const QString& sFileName)
{
    CloseClip();
    m_filename.clear();
    m_resourceFileName = sFileName;
    OpenClip();
}

void cAnimControl::setOwner(QWidget* oFormOrControl)
{
    SetOwnerWindow(oFormOrControl);
}

void cAnimControl::setTransparent(bool bState)
{
    if (bState == m_transparent)
        return;
    m_transparent = bState;
    if (m_window)
        CreateAnimationWindow();
}

void cAnimControl::setCentre(bool bState)
{
    if (bState == m_centre)
        return;
    m_centre = bState;
    if (m_window)
        CreateAnimationWindow();
}

void cAnimControl::setAutoPlay(bool bState)
{
    if (bState == m_autoPlay)
        return;
    m_autoPlay = bState;
    if (m_window)
        CreateAnimationWindow();
}

void cAnimControl::OpenClip()
{
    if (!m_window)
        return;
    if (m_resourceId != 0) {
        QString resource = QStringLiteral(":/avi/%1").arg(m_resourceId);
        if (!isOwnModule(m_resourceFileName)) {
            const QString file = winpath::Resolve(m_resourceFileName);
            const QString root = nextModuleRoot();
            if (!QResource::registerResource(file, root))
                raise(45003, QStringLiteral("Failed to load the resource library '%1'").arg(m_resourceFileName));
            m_moduleFile = file;
            m_moduleRoot = root;
            resource = QStringLiteral(":%1/avi/%2").arg(root).arg(m_resourceId);
        }
        if (!m_window->openPath(resource))
            raise(45002, QStringLiteral("Failed to open the AVI from the resource %1").arg(m_resourceId));
    } else if (!m_filename.isEmpty()) {
        if (!m_window->openPath(m_filename))
            raise(45002, QStringLiteral("Failed to open the file '%1'").arg(m_filename));
    } else {
        return;
    }
    m_window->show();
    m_openRect = m_window->geometry();
    FitToOwner();
    m_clipOpen = true;
}

void cAnimControl::CloseClip()
{
    if (m_window) {
        StopPlay();
        m_window->closeClip();
        m_window->hide();
    }
    freeModule();
    m_clipOpen = false;
}

void cAnimControl::freeModule()
{
    if (m_moduleFile.isEmpty())
        return;
    QResource::unregisterResource(m_moduleFile, m_moduleRoot);
    m_moduleFile.clear();
    m_moduleRoot.clear();
}

void cAnimControl::SetOwnerWindow(QWidget* owner)
{
    if (!owner || owner->winId() == 0)
        return;
    m_owner = owner;
    if (!CreateAnimationWindow())
        raise(45001, QStringLiteral("Could not create Animation Control."));
    OpenClip();
}

bool cAnimControl::CreateAnimationWindow()
{
    if (m_window)
        DestroyAnimationWindow();
    if (!InitAnimateClass() || !m_owner)
        return false;
    auto* window = new anim::AnimationWindow(m_owner, anim::AnimationStyle{m_autoPlay, m_transparent, m_centre});
    window->setObjectName(QStringLiteral("cAnimControl"));
    m_window = window;
    m_hwnd = window->winId();
    window->show();
    FitToOwner();
    return true;
}

void cAnimControl::DestroyAnimationWindow()
{
    if (!m_window)
        return;
    CloseClip();
    m_window->hide();
    delete m_window.data();
    m_hwnd = 0;
}

bool cAnimControl::InitAnimateClass()
{
    // Widgets exist only under a QApplication; without one there is no animation window to make.
    if (!m_classReady)
        m_classReady = qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
    return m_classReady;
}

void cAnimControl::FitToOwner()
{
    if (!m_window || !m_owner)
        return;
    m_window->setGeometry(m_owner->contentsRect());
    m_window->update();
}
