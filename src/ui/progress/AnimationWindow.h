#pragma once
// The animation window: a child widget that plays a silent AVI clip with a timer at the clip's frame
// rate. Its style is fixed when it is made, as a window class style is: Centre draws the clip in the
// middle of the window (otherwise the window takes the clip's frame size when it opens a clip),
// Transparent lets the owner show through the clip's background colour (the first frame's top-left
// pixel), AutoPlay starts an endless loop as soon as a clip opens.
#include "ui/progress/AviClip.h"

#include <QTimer>
#include <QWidget>
#include <optional>

namespace anim {

struct AnimationStyle {
    bool autoPlay = false;
    bool transparent = false;
    bool centre = false;
};

class AnimationWindow : public QWidget {
    Q_OBJECT
public:
    AnimationWindow(QWidget* parent, AnimationStyle style);

    AnimationStyle style() const { return m_style; }

    // Opens a clip from a file or from a resource path (":/..."); false when it cannot be read or is
    // no playable clip. Any clip open before is closed first.
    bool openPath(const QString& path);
    bool open(AviClip clip);
    // Closes the clip: stops and shows nothing.
    void closeClip();

    // Plays frames from..to (16-bit, 0xFFFF = the last frame) repeat times (-1 = endlessly); stays
    // on the last frame played. False without a clip.
    bool play(quint16 from, quint16 to, int repeat);
    void stop();

    bool hasClip() const { return m_clip.has_value(); }
    bool isPlaying() const { return m_timer.isActive(); }
    int currentFrame() const { return m_current; }
    const AviClip* clip() const { return m_clip ? &*m_clip : nullptr; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void advance();
    // Frame index with the transparent colour applied, made on first use.
    const QImage& shownFrame(int index);

    AnimationStyle m_style;
    std::optional<AviClip> m_clip;
    QList<QImage> m_shown;  // the frames ready to paint (with the transparent colour applied), made on first use
    QRgb m_key = 0;         // the clip's background colour
    QTimer m_timer;
    int m_current = 0;
    int m_from = 0;
    int m_to = 0;
    int m_repeatsLeft = 0;  // -1: endless
};

}  // namespace anim
