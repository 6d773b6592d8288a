#pragma once
// cAnimControl: plays a silent AVI clip inside any widget without placing a control on it. The clip
// comes from a file (Filename) or from an AVI resource (ResourceId) of a module (ResourceFileName):
//   - empty, the program's own executable path, or that path + ".exe": the program itself, whose
//     AVI resources are the Qt resources ":/avi/<id>";
//   - any other path: a Qt resource bundle (.rcc) loaded for the time the clip is open, whose AVI
//     resources are "avi/<id>" inside it.
// Setting a source closes the clip and opens the new one as soon as an owner is set; setting the owner
// creates the animation window inside it (sized to its client area) and opens the clip there. Failures
// are raised as com::ComError with source "<executable name>.cAnimControl":
//   45001 "Could not create Animation Control."
//   45002 "Failed to open the AVI from the resource <id>" / "Failed to open the file '<name>'"
//   45003 "Failed to load the resource library '<name>'"
// A failed open leaves the window made and the clip closed; the object stays usable.
#include "ui/progress/AnimationWindow.h"

#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>

class cAnimControl {
public:
    cAnimControl();
    ~cAnimControl();
    cAnimControl(const cAnimControl&) = delete;
    cAnimControl& operator=(const cAnimControl&) = delete;

    // From and To_ are frame numbers (their low 16 bits; -1 / 0xFFFF = the last frame); Repeat -1 loops
    // endlessly. Both do nothing while no clip is open.
    void StartPlay(qint32 From = 0, qint32 To_ = -1, qint32 Repeat = -1);
    void StopPlay();

    QString Filename() const { return m_filename; }
    void setFilename(const QString& sFile);
    qint32 ResourceId() const { return m_resourceId; }
    void setResourceId(qint32 lId);
    QString ResourceFileName() const { return m_resourceFileName; }
    void setResourceFileName(const QString& sFileName);

    // The widget hosting the animation. A null owner, or one without a window id, is ignored.
    QWidget* Owner() const { return m_owner; }
    void setOwner(QWidget* oFormOrControl);

    bool Transparent() const { return m_transparent; }
    void setTransparent(bool bState);
    bool Centre() const { return m_centre; }
    void setCentre(bool bState);
    bool AutoPlay() const { return m_autoPlay; }
    void setAutoPlay(bool bState);

    // Size of the animation window measured right after the last successful open.
    int Width() const { return m_openRect.width(); }
    int Height() const { return m_openRect.height(); }
    // Window id of the animation window; 0 while there is none. QWidget::find(hwnd()) gives the window.
    WId hwnd() const;

    // The error source of this class's failures.
    static QString ErrorSource();

private:
    void OpenClip();
    void CloseClip();
    void SetOwnerWindow(QWidget* owner);
    bool CreateAnimationWindow();
    void DestroyAnimationWindow();
    bool InitAnimateClass();
    void FitToOwner();
    void freeModule();
    [[noreturn]] void raise(qint32 number, const QString& description) const;

    QString m_filename;
    qint32 m_resourceId = 0;
    QString m_resourceFileName;
    bool m_autoPlay = false;
    bool m_transparent = false;
    bool m_centre = false;
    QPointer<QWidget> m_owner;
    QPointer<anim::AnimationWindow> m_window;
    WId m_hwnd = 0;
    QString m_moduleFile;  // the bundle registered for the open clip; empty when none
    QString m_moduleRoot;  // where its resources are mapped
    bool m_clipOpen = false;
    bool m_classReady = false;
    QRect m_openRect;
};
