// AVI clips for the animation window. Run with -rss_limit_mb=256: a clip may not decode more than
// 64 MiB, however small the file.
#include "ui/progress/AviClip.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::optional<anim::AviClip> clip =
        anim::ReadAviUncached(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (!clip)
        return 0;
    if (clip->frames.isEmpty() || clip->width <= 0 || clip->height <= 0)
        std::abort();
    for (const QImage& frame : clip->frames)
        if (frame.width() != clip->width || frame.height() != clip->height || frame.format() != QImage::Format_Indexed8)
            std::abort();
    return 0;
}
