#include "ui/progress/AviClip.h"

#include <QtEndian>

#include <cstring>
#include <functional>

namespace anim {
namespace {

// Frames larger than this are refused rather than allocated: no clip of ours comes near it.
constexpr int MaxSide = 4096;
// What a clip may decode in all (frames x frame size): a few hundred bytes of chunks can name
// thousands of frames, each of them as large as MaxSide allows.
constexpr qint64 MaxDecodedBytes = qint64(64) * 1024 * 1024;

struct Chunk {
    QByteArray id;
    qsizetype dataAt = 0;  // offset of the chunk's data (after id and size)
    qsizetype size = 0;
};

quint32 u32At(const QByteArray& d, qsizetype at)
{
    return qFromLittleEndian<quint32>(d.constData() + at);
}

quint16 u16At(const QByteArray& d, qsizetype at)
{
    return qFromLittleEndian<quint16>(d.constData() + at);
}

// The chunks between from and to; stops at the first one that does not fit.
QList<Chunk> chunksIn(const QByteArray& d, qsizetype from, qsizetype to)
{
    QList<Chunk> out;
    qsizetype at = from;
    while (at + 8 <= to) {
        Chunk c;
        c.id = d.mid(at, 4);
        c.size = u32At(d, at + 4);
        c.dataAt = at + 8;
        if (c.size > to - c.dataAt)
            break;
        out << c;
        at = c.dataAt + c.size + (c.size & 1);
    }
    return out;
}

bool isList(const QByteArray& d, const Chunk& c, const char* form)
{
    return c.id == "LIST" && c.size >= 4 && d.mid(c.dataAt, 4) == form;
}

// Uncompressed 8-bit rows, bottom-up, each padded to four bytes.
void decodeRgb8(const QByteArray& data, QImage& frame)
{
    const int stride = (frame.width() + 3) & ~3;
    for (int row = 0; row < frame.height(); ++row) {
        const qsizetype at = qsizetype(row) * stride;
        if (at + frame.width() > data.size())
            break;
        memcpy(frame.scanLine(frame.height() - 1 - row), data.constData() + at, size_t(frame.width()));
    }
}

struct VideoStream {
    int index = -1;
    quint32 compression = 0;
    qint64 rateMicroSec = 0;  // from the stream's scale and rate, in case the main header has none
    QList<QRgb> palette;
};

}  // namespace

void DecodeRle8(const QByteArray& data, QImage& frame)
{
    const int w = frame.width();
    const int h = frame.height();
    // One detach for the whole frame: scanLine() on a non-const image checks for sharing at every
    // call. Runs go in with memset / memcpy, clipped to the bitmap.
    uchar* const bits = frame.bits();
    const qsizetype stride = frame.bytesPerLine();
    const auto row = [&](int y) -> uchar* { return y >= 0 && y < h ? bits + stride * (h - 1 - y) : nullptr; };
    const auto span = [&](int x, int count, int& from, int& to) {
        from = qMax(x, 0);
        to = qMin(x + count, w);
        return to > from;
    };
    const auto* p = reinterpret_cast<const uchar*>(data.constData());
    const qsizetype n = data.size();
    qsizetype i = 0;
    int x = 0;
    int y = 0;  // counted from the bottom row
    while (i + 1 < n) {
        const uchar count = p[i];
        const uchar value = p[i + 1];
        i += 2;
        if (count > 0) {
            int from = 0, to = 0;
            if (uchar* line = row(y); line && span(x, count, from, to))
                std::memset(line + from, value, size_t(to - from));
            x += count;
            continue;
        }
        switch (value) {
        case 0:  // end of line
            x = 0;
            ++y;
            break;
        case 1:  // end of bitmap
            return;
        case 2:  // delta: move right and up, leaving the pixels in between as they are
            if (i + 1 >= n)
                return;
            x += p[i];
            y += p[i + 1];
            i += 2;
            break;
        default: {  // absolute run of value literal pixels, padded to a 16-bit boundary
            const int available = int(qMin<qsizetype>(value, n - i));
            int from = 0, to = 0;
            if (uchar* line = row(y); line && span(x, available, from, to))
                std::memcpy(line + from, p + i + (from - x), size_t(to - from));
            x += available;
            i += value + (value & 1);
            break;
        }
        }
    }
}

std::optional<AviClip> ReadAvi(const QByteArray& d)
{
    // The progress window opens the same clip at every load; decoding it once per process is enough.
    static QByteArray lastData;
    static std::optional<AviClip> lastClip;
    if (lastClip && d == lastData)
        return lastClip;
    std::optional<AviClip> clip = ReadAviUncached(d);
    if (clip) {
        lastData = d;
        lastClip = clip;
    }
    return clip;
}

std::optional<AviClip> ReadAviUncached(const QByteArray& d)
{
    if (d.size() < 12 || !d.startsWith("RIFF") || d.mid(8, 4) != "AVI ")
        return std::nullopt;
    const qsizetype riffEnd = qMin<qsizetype>(d.size(), 8 + qsizetype(u32At(d, 4)));

    AviClip clip;
    VideoStream video;
    std::optional<Chunk> movi;
    int streamIndex = 0;

    for (const Chunk& top : chunksIn(d, 12, riffEnd)) {
        if (isList(d, top, "hdrl")) {
            for (const Chunk& h : chunksIn(d, top.dataAt + 4, top.dataAt + top.size)) {
                if (h.id == "avih" && h.size >= 40) {
                    clip.microSecPerFrame = u32At(d, h.dataAt);
                    clip.width = int(u32At(d, h.dataAt + 32));
                    clip.height = int(u32At(d, h.dataAt + 36));
                } else if (isList(d, h, "strl")) {
                    const QList<Chunk> parts = chunksIn(d, h.dataAt + 4, h.dataAt + h.size);
                    const int index = streamIndex++;
                    if (video.index >= 0)
                        continue;
                    bool isVideo = false;
                    for (const Chunk& s : parts) {
                        if (s.id == "strh" && s.size >= 28 && d.mid(s.dataAt, 4) == "vids") {
                            isVideo = true;
                            const quint32 scale = u32At(d, s.dataAt + 20);
                            const quint32 rate = u32At(d, s.dataAt + 24);
                            if (rate > 0)
                                video.rateMicroSec = qint64(scale) * 1000000 / rate;
                        }
                    }
                    if (!isVideo)
                        continue;
                    for (const Chunk& s : parts) {
                        if (s.id != "strf" || s.size < 40)
                            continue;
                        const quint32 headerSize = u32At(d, s.dataAt);
                        const int width = int(u32At(d, s.dataAt + 4));
                        // Negative for rows stored top-down; read wide, so that the smallest is no
                        // overflow when made positive.
                        const qint64 height = qint32(u32At(d, s.dataAt + 8));
                        const quint16 bits = u16At(d, s.dataAt + 14);
                        if (bits != 8 || headerSize < 40 || headerSize > quint32(s.size))
                            return std::nullopt;
                        video.index = index;
                        video.compression = u32At(d, s.dataAt + 16);
                        quint32 colours = u32At(d, s.dataAt + 32);
                        if (colours == 0 || colours > 256)
                            colours = 256;
                        const qsizetype paletteAt = s.dataAt + headerSize;
                        for (qsizetype c = 0; c < qsizetype(colours) && paletteAt + 4 * (c + 1) <= s.dataAt + s.size;
                             ++c) {
                            const auto* q = reinterpret_cast<const uchar*>(d.constData() + paletteAt + 4 * c);
                            video.palette << qRgb(q[2], q[1], q[0]);
                        }
                        if (clip.width <= 0 || clip.height <= 0) {
                            clip.width = width;
                            clip.height = int(qMin(qAbs(height), qint64(MaxSide) + 1));
                        }
                    }
                }
            }
        } else if (isList(d, top, "movi")) {
            movi = top;
        }
    }

    if (video.index < 0 || !movi || video.palette.isEmpty())
        return std::nullopt;
    if (video.compression != 0 && video.compression != 1)  // BI_RGB or BI_RLE8
        return std::nullopt;
    if (clip.width <= 0 || clip.height <= 0 || clip.width > MaxSide || clip.height > MaxSide)
        return std::nullopt;
    if (clip.microSecPerFrame <= 0)
        clip.microSecPerFrame = video.rateMicroSec;
    while (video.palette.size() < 256)
        video.palette << qRgb(0, 0, 0);

    const QByteArray prefix = QByteArray::number(video.index).rightJustified(2, '0');
    QImage canvas(clip.width, clip.height, QImage::Format_Indexed8);
    canvas.setColorTable(video.palette);
    canvas.fill(0);

    // Frame chunks may sit directly in "movi" or inside "rec " lists.
    QList<Chunk> frameChunks;
    const std::function<void(qsizetype, qsizetype)> collect = [&](qsizetype from, qsizetype to) {
        for (const Chunk& c : chunksIn(d, from, to)) {
            if (isList(d, c, "rec "))
                collect(c.dataAt + 4, c.dataAt + c.size);
            else if (c.id.startsWith(prefix) && (c.id.endsWith("dc") || c.id.endsWith("db")))
                frameChunks << c;
        }
    };
    collect(movi->dataAt + 4, movi->dataAt + movi->size);
    if (qint64(frameChunks.size()) * canvas.sizeInBytes() > MaxDecodedBytes)
        return std::nullopt;
    for (const Chunk& c : frameChunks) {
        const QByteArray data = d.mid(c.dataAt, c.size);
        // An empty chunk repeats the previous frame.
        if (!data.isEmpty()) {
            if (video.compression == 1)
                DecodeRle8(data, canvas);
            else
                decodeRgb8(data, canvas);
        }
        // A frame like the one before shares its pixels instead of holding a copy of its own.
        if (!clip.frames.isEmpty() && canvas == clip.frames.last())
            clip.frames << clip.frames.last();
        else
            clip.frames << canvas.copy();
    }
    if (clip.frames.isEmpty())
        return std::nullopt;
    return clip;
}

}  // namespace anim
