#pragma once
// fProgress: the small modeless window that shows what a long operation is doing, a looping
// animation above one status line. One instance per session, loaded on demand and unloaded by the
// owner of the operation:
//
//   fProgress::Of(session)                  loads the window (hidden) if it is not loaded and returns it;
//                                           loading sets the caption to PlugInName, the hourglass
//                                           pointer, and starts the animation (clip 201 of the
//                                           program). Throws com::ComError (45001..45003) when the
//                                           animation cannot be set up; the window is then unloaded.
//   fProgress::Of(session).DisplayStatus(t) shows the window if it is not visible, sets the status
//                                           text to t and lets pending events run so that it paints.
//   fProgress::Of(session).Status->setText(t)
//                                           sets the text only: no show, no event pumping.
//   fProgress::Of(session).show()           a plain modeless show.
//   fProgress::Of(session).SetCount(i, n)  shows "i of n" beside the animation, for an operation that
//                                           works through a list (networks, templates, devices): call
//                                           it as each item starts, next to its DisplayStatus. It
//                                           neither shows the window nor runs events; the window
//                                           widens by the count's room while a count is shown.
//   fProgress::Of(session).ClearCount()     takes the count away (the window narrows back). Unloading
//                                           takes it away too.
//   fProgress::SetAnchorWindow(session, w)  the window it opens centred on (the configuration window);
//                                           without one, or once that is gone, centred on the screen.
//   fProgress::IsLoaded(session)            whether the window is loaded (without loading it).
//   fProgress::Unload(session)              unloads it (if loaded): the default arrow pointer comes
//                                           back and the animation is released. The next Of(session)
//                                           loads a fresh window.
//
// The window is as tall as its status text needs (wider when a word is longer than the line), so no
// text is ever cut, whatever the scale and however the text was set.
//
// A typical operation:
//   fProgress::Of(session).DisplayStatus("Opening network . . .");
//   ...  DisplayStatus(...) between the steps ...
//   fProgress::Unload(session);   // also on the failure path
#include "ui/progress/cAnimControl.h"

#include <QLabel>
#include <QWidget>
#include <memory>

namespace framework {
class PlugInSession;
}

class fProgress : public QWidget {
    Q_OBJECT
public:
    static fProgress& Of(framework::PlugInSession& session);
    static bool IsLoaded(const framework::PlugInSession& session);
    static void Unload(framework::PlugInSession& session);
    static void SetAnchorWindow(framework::PlugInSession& session, QWidget* anchor);

    void DisplayStatus(const QString& newval);
    void SetCount(qint32 current, qint32 total);
    void ClearCount();

    QWidget* picResAnim = nullptr;
    QLabel* Status = nullptr;
    QLabel* Count = nullptr;  // hidden while no count is set

    // The window's animation object.
    cAnimControl& animation() { return *m_animation; }

    ~fProgress() override;

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    struct Slot;
    explicit fProgress(Slot& slot);
    void Form_Load();
    // Sizes the status line and the window to the text and the count.
    void fitContent();

    std::unique_ptr<cAnimControl> m_animation;
    Slot& m_slot;
    bool m_placed = false;
};
