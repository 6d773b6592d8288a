#include "ui/progress/AnimationWindow.h"

#include <QFile>
#include <QPainter>

namespace anim {

AnimationWindow::AnimationWindow(QWidget* parent, AnimationStyle style) : QWidget(parent), m_style(style)
{
    setAttribute(Qt::WA_NoSystemBackground, m_style.transparent);
    setAutoFillBackground(!m_style.transparent);
    connect(&m_timer, &QTimer::timeout, this, &AnimationWindow::advance);
}

bool AnimationWindow::openPath(const QString& path)
{
    closeClip();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    std::optional<AviClip> clip = ReadAvi(file.readAll());
    if (!clip)
        return false;
    return open(std::move(*clip));
}

bool AnimationWindow::open(AviClip clip)
{
    closeClip();
    if (clip.frames.isEmpty())
        return false;
    const QImage& first = clip.frames.first();
    m_key = first.color(first.pixelIndex(0, 0));
    // Frames are made ready to paint when first shown: a clip often plays only a few of them
    // before its window goes.
    m_shown = QList<QImage>(clip.frames.size());
    m_clip = std::move(clip);
    m_current = 0;
    if (!m_style.centre)
        resize(m_clip->width, m_clip->height);
    if (m_style.autoPlay)
        play(0, 0xFFFF, -1);
    update();
    return true;
}

void AnimationWindow::closeClip()
{
    stop();
    m_clip.reset();
    m_shown.clear();
    m_current = 0;
    update();
}

bool AnimationWindow::play(quint16 from, quint16 to, int repeat)
{
    if (!m_clip)
        return false;
    const int last = int(m_clip->frames.size()) - 1;
    m_to = to == 0xFFFF ? last : qMin<int>(to, last);
    m_from = qMin<int>(from, m_to);
    m_repeatsLeft = repeat;
    m_current = m_from;
    update();
    if (repeat == 0) {
        stop();
        return true;
    }
    m_timer.start(qMax(1, m_clip->frameDelayMs()));
    return true;
}

void AnimationWindow::stop()
{
    m_timer.stop();
}

void AnimationWindow::advance()
{
    if (!m_clip) {
        stop();
        return;
    }
    if (m_current < m_to) {
        ++m_current;
    } else {
        if (m_repeatsLeft > 0)
            --m_repeatsLeft;
        if (m_repeatsLeft == 0) {
            stop();
            return;
        }
        m_current = m_from;
    }
    update();
}

const QImage& AnimationWindow::shownFrame(int index)
{
    QImage& shown = m_shown[index];
    if (shown.isNull()) {
        QImage frame = m_clip->frames.at(index);
        if (m_style.transparent) {
            QList<QRgb> colours = frame.colorTable();
            for (QRgb& c : colours)
                if (c == m_key)
                    c = qRgba(0, 0, 0, 0);
            frame.setColorTable(colours);
        }
        shown = frame.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    }
    return shown;
}

void AnimationWindow::paintEvent(QPaintEvent*)
{
    if (m_shown.isEmpty())
        return;
    const QImage& frame = shownFrame(m_current);
    QPoint at(0, 0);
    if (m_style.centre)
        at = QPoint((width() - frame.width()) / 2, (height() - frame.height()) / 2);
    QPainter painter(this);
    painter.drawImage(at, frame);
}

}  // namespace anim
