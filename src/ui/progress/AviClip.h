#pragma once
// A silent AVI clip as the animation window plays it: a RIFF AVI reader for one video stream of
// 8-bit palette frames, uncompressed or Microsoft RLE8, which is what the animation control accepts.
#include <QByteArray>
#include <QImage>
#include <QList>
#include <optional>

namespace anim {

struct AviClip {
    int width = 0;
    int height = 0;
    qint64 microSecPerFrame = 0;
    QList<QImage> frames;  // Format_Indexed8, each carrying the clip's palette

    int frameDelayMs() const { return int((microSecPerFrame + 500) / 1000); }
};

// The clip in data, or nothing when data is not a RIFF AVI with a playable video stream.
std::optional<AviClip> ReadAvi(const QByteArray& data);
// The same without ReadAvi's memory of the last clip it read.
std::optional<AviClip> ReadAviUncached(const QByteArray& data);

// Decodes one Microsoft RLE8 bitmap onto frame (Format_Indexed8), rows stored bottom-up. Pixels the
// data skips (delta and end-of-line escapes) keep their previous values, which is how a frame builds
// on the one before it. Runs that leave the bitmap are clipped; data that ends early ends the bitmap.
void DecodeRle8(const QByteArray& data, QImage& frame);

}  // namespace anim
