#include "ui/progress/fProgress.h"

#include "framework/Identity.h"
#include "framework/PlugInSession.h"
#include "platform/toolkit/Events.h"
#include "platform/toolkit/WindowPlacement.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPainter>
#include <QPointer>
#include <QRegularExpression>
#include <QScreen>
#include <QShowEvent>
#include <QTextLayout>
#include <algorithm>
#include <cmath>

// Where a session keeps its progress window while it is loaded, and the window it opens over.
struct fProgress::Slot {
    fProgress* window = nullptr;
    QPointer<QWidget> anchor;
    ~Slot() { delete window; }
};

namespace {

// The status line: its text wrapped at blanks, and inside a word only where the word is longer than
// the line (a path, a template's name), so that no part of it is ever cut. Its height for a width is
// the height of the text laid out so.
class StatusLine : public QLabel {
public:
    using QLabel::QLabel;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override { return int(std::ceil(layOut(width, nullptr))); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        layOut(contentsRect().width(), &painter);
    }

private:
    // Lays the text out in the width and draws it when given a painter; returns its height.
    double layOut(int width, QPainter* painter) const
    {
        QString shown = text();
        shown.replace(QStringLiteral("\r\n"), QString(QChar::LineSeparator));
        shown.replace(QLatin1Char('\n'), QChar::LineSeparator);
        shown.replace(QLatin1Char('\r'), QChar::LineSeparator);
        QTextLayout layout(shown, font(), const_cast<StatusLine*>(this));
        QTextOption option(Qt::AlignLeft | Qt::AlignTop);
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        double y = 0;
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            line.setPosition(QPointF(0, y));
            y += line.height();
        }
        layout.endLayout();
        if (painter) {
            painter->setPen(palette().color(foregroundRole()));
            layout.draw(painter, contentsRect().topLeft());
        }
        return y;
    }
};

// Layout numbers are design twips: 15 to a pixel at 96 dpi.
int px(const QWidget* w, int twips)
{
    return qRound(twips / 15.0 * w->logicalDpiX() / 96.0);
}

// The width of the count's column: "9999 of 9999".
constexpr int CountTwips = 1500;
// The design: the window 4905 x 1830, the status line at 120, 1200, 4695 wide and 495 high.
constexpr int WindowTwips = 4905;
constexpr int StatusLeftTwips = 120;
constexpr int StatusTopTwips = 1200;
constexpr int StatusWidthTwips = 4695;
constexpr int StatusHeightTwips = 495;
constexpr int BottomTwips = 1830 - StatusTopTwips - StatusHeightTwips;

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

void fProgress::SetAnchorWindow(framework::PlugInSession& session, QWidget* anchor)
{
    session.Get<Slot>().anchor = anchor;
}

fProgress::fProgress(Slot& slot)
    : QWidget(nullptr, Qt::Window | Qt::MSWindowsFixedSizeDialogHint),
      m_animation(std::make_unique<cAnimControl>()),
      m_slot(slot)
{
    setObjectName(QStringLiteral("fProgress"));
    // The operation's owner decides when the window goes; closing it never ends the program.
    setAttribute(Qt::WA_QuitOnClose, false);
    setFixedSize(px(this, WindowTwips), px(this, 1830));

    picResAnim = new QWidget(this);
    picResAnim->setObjectName(QStringLiteral("picResAnim"));
    picResAnim->setGeometry(px(this, 0), px(this, 120), px(this, 4695), px(this, 855));

    Status = new StatusLine(tr("Initializating plug-in . . ."), this);
    Status->setObjectName(QStringLiteral("Status"));
    Status->setGeometry(px(this, 120), px(this, 1200), px(this, 4695), px(this, 495));
    Status->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Status->setWordWrap(true);
    Status->setTextFormat(Qt::PlainText);

    // Right of the animation, in a column of its own that the window gains while counting.
    Count = new QLabel(this);
    Count->setObjectName(QStringLiteral("Count"));
    Count->setAlignment(Qt::AlignCenter);
    Count->setGeometry(px(this, 4905), px(this, 120), px(this, CountTwips), px(this, 855));
    Count->setVisible(false);
    fitContent();
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

void fProgress::fitContent()
{
    // A word longer than the line (a template or path without blanks) widens the line, up to the
    // screen's width (beyond that it wraps inside the word); the line then takes as many rows as the
    // text needs.
    const QFontMetrics metrics(Status->font());
    int longest = 0;
    for (const QString& word : Status->text().split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts))
        longest = std::max(longest, metrics.horizontalAdvance(word) + 2);
    int lineWidth = std::max(px(this, StatusWidthTwips), longest);
    if (const QScreen* screen = this->screen())
        lineWidth = std::min(lineWidth, screen->availableGeometry().width() - 2 * px(this, StatusLeftTwips));
    const int lineHeight = std::max(px(this, StatusHeightTwips), Status->heightForWidth(lineWidth));
    Status->setGeometry(px(this, StatusLeftTwips), px(this, StatusTopTwips), lineWidth, lineHeight);

    const int countWidth = Count->isHidden() ? 0 : px(this, CountTwips);
    const int width = std::max(px(this, WindowTwips) + countWidth, lineWidth + 2 * px(this, StatusLeftTwips));
    const QSize size(width, px(this, StatusTopTwips) + lineHeight + px(this, BottomTwips));
    const QSize growth = size - this->size();
    if (growth.isNull())
        return;
    setFixedSize(size);
    // Once placed it grows about its centre (a count or a longer text), and stays on the screen.
    if (m_placed)
        move(toolkit::KeptInside(pos() - QPoint(growth.width() / 2, growth.height() / 2), frameGeometry().size(),
                                 screen()->availableGeometry()));
}

bool fProgress::event(QEvent* event)
{
    // A text written straight into the status line asks for a new layout: the window follows it.
    if (event->type() == QEvent::LayoutRequest)
        fitContent();
    return QWidget::event(event);
}

void fProgress::showEvent(QShowEvent* event)
{
    fitContent();
    // Placed when it first shows; after that it stays where the user put it.
    if (!m_placed && !event->spontaneous()) {
        m_placed = true;
        const QWidget* anchor = m_slot.anchor.data();
        const QRect area = (anchor ? anchor->screen() : screen())->availableGeometry();
        const QSize size = frameGeometry().size();
        if (anchor) {
            const QRect over = anchor->frameGeometry();
            const QPoint centred(over.x() + (over.width() - size.width()) / 2,
                                 over.y() + (over.height() - size.height()) / 2);
            move(toolkit::KeptInside(centred, size, area));
        } else {
            toolkit::CentreOnScreen(this);
        }
    }
    QWidget::showEvent(event);
}

void fProgress::SetCount(qint32 current, qint32 total)
{
    Count->setText(tr("%1 of %2").arg(current).arg(total));
    if (Count->isHidden()) {
        Count->setVisible(true);
        fitContent();
    }
}

void fProgress::ClearCount()
{
    if (Count->isHidden())
        return;
    Count->setVisible(false);
    Count->clear();
    fitContent();
}

void fProgress::DisplayStatus(const QString& newval)
{
    if (!isVisible())
        show();
    Status->setText(newval);
    fitContent();
    toolkit::DoEvents();
}
