#include "ui/progress/fProgress.h"

#include "framework/Identity.h"
#include "framework/PlugInSession.h"
#include "platform/toolkit/Events.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {

}  // namespace

// Where a session keeps its progress window while it is loaded.
struct fProgress::Slot {
    fProgress* window = nullptr;
    ~Slot() { delete window; }
};

namespace {

// Layout numbers are design twips: 15 to a pixel at 96 dpi.
int px(const QWidget* w, int twips)
{
    return qRound(twips / 15.0 * w->logicalDpiX() / 96.0);
}

// The width of the count's column: "9999 of 9999".
constexpr int CountTwips = 1500;

}  // namespace

fProgress& fProgress::Of(framework::PlugInSession& session)
{
    Slot& slot = session.Get<Slot>();
    if (!slot.window) {
        slot.window = new fProgress(slot);
        try {
            slot.window->Form_Load();
        } catch (...) {
            Unload(session);
            throw;
        }
    }
    return *slot.window;
}

bool fProgress::IsLoaded(const framework::PlugInSession& session)
{
    const Slot* slot = session.Find<Slot>();
    return slot && slot->window;
}

void fProgress::Unload(framework::PlugInSession& session)
{
    if (Slot* slot = session.Find<Slot>())
        delete slot->window;
}

fProgress::fProgress(Slot& slot)
    : QWidget(nullptr, Qt::Window | Qt::MSWindowsFixedSizeDialogHint),
      m_animation(std::make_unique<cAnimControl>()),
      m_slot(slot)
{
    setObjectName(QStringLiteral("fProgress"));
    // The operation's owner decides when the window goes; closing it never ends the program.
    setAttribute(Qt::WA_QuitOnClose, false);
    setFixedSize(px(this, 4905), px(this, 1830));

    picResAnim = new QWidget(this);
    picResAnim->setObjectName(QStringLiteral("picResAnim"));
    picResAnim->setGeometry(px(this, 0), px(this, 120), px(this, 4695), px(this, 855));

    Status = new QLabel(QStringLiteral("Initializating plug-in . . ."), this);
    Status->setObjectName(QStringLiteral("Status"));
    Status->setGeometry(px(this, 120), px(this, 1200), px(this, 4695), px(this, 495));
    Status->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Status->setWordWrap(true);

    // Right of the animation, in a column of its own that the window gains while counting.
    Count = new QLabel(this);
    Count->setObjectName(QStringLiteral("Count"));
    Count->setAlignment(Qt::AlignCenter);
    Count->setGeometry(px(this, 4905), px(this, 120), px(this, CountTwips), px(this, 855));
    Count->setVisible(false);
}

fProgress::~fProgress()
{
    toolkit::SetMousePointer(toolkit::MousePointer::Default);
    m_animation.reset();
    if (m_slot.window == this)
        m_slot.window = nullptr;
}

void fProgress::Form_Load()
{
    setWindowTitle(framework::PlugInName());
    toolkit::SetMousePointer(toolkit::MousePointer::Hourglass);

    // Flags and clip before the owner, so that the animation window is made once, with its final style.
    cAnimControl& a = *m_animation;
    a.setAutoPlay(true);
    a.setCentre(true);
    a.setTransparent(true);
    const QFileInfo exe(QCoreApplication::applicationFilePath());
    a.setResourceFileName(exe.absolutePath() + QLatin1Char('/') + exe.completeBaseName() + QStringLiteral(".exe"));
    a.setResourceId(201);
    a.setOwner(picResAnim);
}

void fProgress::SetCount(qint32 current, qint32 total)
{
    Count->setText(QStringLiteral("%1 of %2").arg(current).arg(total));
    if (Count->isHidden()) {
        setFixedSize(px(this, 4905 + CountTwips), height());
        Count->setVisible(true);
    }
}

void fProgress::ClearCount()
{
    if (Count->isHidden())
        return;
    Count->setVisible(false);
    Count->clear();
    setFixedSize(px(this, 4905), height());
}

void fProgress::DisplayStatus(const QString& newval)
{
    if (!isVisible())
        show();
    Status->setText(newval);
    toolkit::DoEvents();
}
