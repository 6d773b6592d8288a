// avigen: draws the progress window's clip and writes it as a RIFF AVI file: 31 frames of 272 x 60
// pixels, 8 bits per pixel with a 12-colour palette, Microsoft RLE8, 100 ms per frame, one video
// stream, no sound. The picture: a thermostat on the left sends packets along a cable to a computer
// on the right, whose screen shows a filling progress bar.
//
// Usage: avigen <output.avi>
//
// Integer arithmetic only, so that the same source always gives the same bytes.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int Width = 272;
constexpr int Height = 60;
constexpr int FrameCount = 31;
constexpr std::uint32_t MicroSecPerFrame = 100000;

enum Colour : std::uint8_t {
    Background,
    Black,
    DarkGray,
    White,
    Navy,
    LightGray,
    PacketGreen,
    LcdLit,
    LcdDark,
    Yellow,
    Teal,
    Red,
    ColourCount
};

// RGB of each palette entry, in palette order.
constexpr std::uint8_t Palette[ColourCount][3] = {
    {192, 192, 192}, {0, 0, 0},   {128, 128, 128}, {255, 255, 255}, {0, 0, 128},   {224, 224, 224},
    {0, 160, 0},     {0, 255, 0}, {0, 64, 0},      {255, 255, 0},   {0, 128, 128}, {192, 0, 0},
};

class Picture {
public:
    Picture() : m_pixels(std::size_t(Width) * Height, Background) {}

    // Fills the rectangle of inclusive corners (x0, y0) - (x1, y1), clipped to the picture.
    void fill(int x0, int y0, int x1, int y1, std::uint8_t colour)
    {
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x)
                if (x >= 0 && x < Width && y >= 0 && y < Height)
                    m_pixels[std::size_t(y) * Width + x] = colour;
    }
    void frame(int x0, int y0, int x1, int y1, std::uint8_t colour)
    {
        fill(x0, y0, x1, y0, colour);
        fill(x0, y1, x1, y1, colour);
        fill(x0, y0, x0, y1, colour);
        fill(x1, y0, x1, y1, colour);
    }
    std::uint8_t at(int x, int y) const { return m_pixels[std::size_t(y) * Width + x]; }

private:
    std::vector<std::uint8_t> m_pixels;  // top row first
};

Picture drawFrame(int k)
{
    Picture p;

    // The thermostat: a white case with an LCD, two keys and a blinking LED.
    p.fill(8, 6, 51, 53, White);
    p.frame(8, 6, 51, 53, Black);
    p.fill(9, 52, 50, 52, LightGray);
    p.frame(13, 11, 46, 28, DarkGray);
    p.fill(14, 12, 45, 27, LcdDark);
    const int litBlocks = 1 + k % 4;
    for (int b = 0; b < litBlocks; ++b)
        p.fill(16 + b * 7, 16, 21 + b * 7, 23, LcdLit);
    p.fill(16, 35, 23, 42, LightGray);
    p.frame(16, 35, 23, 42, DarkGray);
    p.fill(36, 35, 43, 42, LightGray);
    p.frame(36, 35, 43, 42, DarkGray);
    p.fill(28, 46, 31, 49, k % 2 == 0 ? Red : DarkGray);

    // The cable between them.
    constexpr int cableLeft = 52;
    constexpr int cableRight = 213;
    p.fill(cableLeft, 28, cableRight, 29, DarkGray);

    // Three packets travelling right; after 31 frames each has moved one spacing, so the loop is seamless.
    constexpr int spacing = 54;
    constexpr int period = 3 * spacing;
    for (int j = 0; j < 3; ++j) {
        const int x = cableLeft + (k * spacing / FrameCount + j * spacing) % period;
        for (int px = x; px <= x + 9; ++px) {
            if (px < cableLeft || px > cableRight)
                continue;
            const bool edge = px == x || px == x + 9;
            p.fill(px, 25, px, 32, edge ? Black : PacketGreen);
            if (!edge) {
                p.fill(px, 25, px, 25, Black);
                p.fill(px, 32, px, 32, Black);
            }
        }
        if (x + 4 <= cableRight)
            p.fill(x + 4, 28, x + 5, 29, Yellow);
    }

    // The computer: a monitor with a progress bar on its screen, on a stand.
    p.fill(214, 6, 263, 41, LightGray);
    p.frame(214, 6, 263, 41, Black);
    p.fill(219, 10, 258, 37, Navy);
    p.frame(222, 20, 255, 27, White);
    const int filled = (k + 1) * 32 / FrameCount;
    if (filled > 0)
        p.fill(223, 21, 222 + filled, 26, Teal);
    p.fill(234, 42, 243, 46, DarkGray);
    p.fill(226, 47, 251, 51, LightGray);
    p.frame(226, 47, 251, 51, Black);
    return p;
}

void put8(std::vector<std::uint8_t>& out, std::uint8_t v)
{
    out.push_back(v);
}

// One bitmap in Microsoft RLE8: rows bottom-up; runs of three or more equal pixels as encoded runs,
// other stretches of three or more as absolute runs (padded to a word), single pixels as runs of one;
// every row ends with end-of-line, the last with end-of-bitmap.
std::vector<std::uint8_t> encodeRle8(const Picture& p)
{
    std::vector<std::uint8_t> out;
    for (int row = Height - 1; row >= 0; --row) {
        int x = 0;
        auto runAt = [&](int from) {
            int n = 1;
            while (from + n < Width && n < 255 && p.at(from + n, row) == p.at(from, row))
                ++n;
            return n;
        };
        while (x < Width) {
            const int run = runAt(x);
            if (run >= 3) {
                put8(out, std::uint8_t(run));
                put8(out, p.at(x, row));
                x += run;
                continue;
            }
            int end = x;
            while (end < Width && end - x < 255 && runAt(end) < 3)
                ++end;
            const int literal = end - x;
            if (literal >= 3) {
                put8(out, 0);
                put8(out, std::uint8_t(literal));
                for (int i = x; i < end; ++i)
                    put8(out, p.at(i, row));
                if (literal % 2 != 0)
                    put8(out, 0);
            } else {
                for (int i = x; i < end; ++i) {
                    put8(out, 1);
                    put8(out, p.at(i, row));
                }
            }
            x = end;
        }
        put8(out, 0);
        put8(out, row == 0 ? 1 : 0);
    }
    return out;
}

class Writer {
public:
    void u8(std::uint8_t v) { m_bytes.push_back(v); }
    void u16(std::uint16_t v)
    {
        u8(std::uint8_t(v & 0xFF));
        u8(std::uint8_t(v >> 8));
    }
    void u32(std::uint32_t v)
    {
        u16(std::uint16_t(v & 0xFFFF));
        u16(std::uint16_t(v >> 16));
    }
    void fourcc(const char* cc)
    {
        for (int i = 0; i < 4; ++i)
            u8(std::uint8_t(cc[i]));
    }
    void bytes(const std::vector<std::uint8_t>& b) { m_bytes.insert(m_bytes.end(), b.begin(), b.end()); }

    // Starts a chunk (or a LIST / RIFF with its form type) and returns where its size goes.
    std::size_t begin(const char* id, const char* form = nullptr)
    {
        fourcc(id);
        const std::size_t at = m_bytes.size();
        u32(0);
        if (form)
            fourcc(form);
        return at;
    }
    void end(std::size_t sizeAt)
    {
        const std::uint32_t size = std::uint32_t(m_bytes.size() - sizeAt - 4);
        for (int i = 0; i < 4; ++i)
            m_bytes[sizeAt + i] = std::uint8_t(size >> (8 * i));
        if (size % 2 != 0)
            u8(0);
    }
    std::size_t size() const { return m_bytes.size(); }
    const std::vector<std::uint8_t>& data() const { return m_bytes; }

private:
    std::vector<std::uint8_t> m_bytes;
};

std::vector<std::uint8_t> buildAvi()
{
    std::vector<std::vector<std::uint8_t>> frames;
    std::uint32_t largest = 0;
    for (int k = 0; k < FrameCount; ++k) {
        frames.push_back(encodeRle8(drawFrame(k)));
        if (frames.back().size() > largest)
            largest = std::uint32_t(frames.back().size());
    }

    Writer w;
    const std::size_t riff = w.begin("RIFF", "AVI ");
    const std::size_t hdrl = w.begin("LIST", "hdrl");

    const std::size_t avih = w.begin("avih");
    w.u32(MicroSecPerFrame);
    w.u32(largest * (1000000 / MicroSecPerFrame));  // max bytes per second
    w.u32(0);                                       // padding granularity
    w.u32(0x10);                                    // AVIF_HASINDEX
    w.u32(FrameCount);
    w.u32(0);        // initial frames
    w.u32(1);        // streams
    w.u32(largest);  // suggested buffer size
    w.u32(Width);
    w.u32(Height);
    for (int i = 0; i < 4; ++i)
        w.u32(0);
    w.end(avih);

    const std::size_t strl = w.begin("LIST", "strl");
    const std::size_t strh = w.begin("strh");
    w.fourcc("vids");
    w.fourcc("mrle");
    w.u32(0);                           // flags
    w.u16(0);                           // priority
    w.u16(0);                           // language
    w.u32(0);                           // initial frames
    w.u32(1);                           // scale
    w.u32(1000000 / MicroSecPerFrame);  // rate: frames per second
    w.u32(0);                           // start
    w.u32(FrameCount);                  // length
    w.u32(largest);
    w.u32(0xFFFFFFFFu);  // quality: default
    w.u32(0);            // sample size
    w.u16(0);
    w.u16(0);
    w.u16(Width);
    w.u16(Height);
    w.end(strh);

    const std::size_t strf = w.begin("strf");
    w.u32(40);  // BITMAPINFOHEADER size
    w.u32(Width);
    w.u32(Height);  // positive: bottom-up
    w.u16(1);       // planes
    w.u16(8);       // bits per pixel
    w.u32(1);       // BI_RLE8
    w.u32(largest);
    w.u32(0);
    w.u32(0);
    w.u32(ColourCount);  // colours used
    w.u32(0);            // colours important
    for (const auto& rgb : Palette) {
        w.u8(rgb[2]);
        w.u8(rgb[1]);
        w.u8(rgb[0]);
        w.u8(0);
    }
    w.end(strf);
    w.end(strl);
    w.end(hdrl);

    const std::size_t movi = w.begin("LIST", "movi");
    const std::size_t moviData = movi + 4;  // index offsets count from the "movi" form type
    std::vector<std::uint32_t> offsets;
    for (const auto& f : frames) {
        offsets.push_back(std::uint32_t(w.size() - moviData));
        const std::size_t chunk = w.begin("00dc");
        w.bytes(f);
        w.end(chunk);
    }
    w.end(movi);

    const std::size_t idx1 = w.begin("idx1");
    for (std::size_t i = 0; i < frames.size(); ++i) {
        w.fourcc("00dc");
        w.u32(0x10);  // AVIIF_KEYFRAME: every frame is complete
        w.u32(offsets[i]);
        w.u32(std::uint32_t(frames[i].size()));
    }
    w.end(idx1);
    w.end(riff);
    return w.data();
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: avigen <output.avi>\n");
        return 2;
    }
    const std::vector<std::uint8_t> avi = buildAvi();
    std::FILE* f = std::fopen(argv[1], "wb");
    if (!f) {
        std::perror(argv[1]);
        return 1;
    }
    const bool written = std::fwrite(avi.data(), 1, avi.size(), f) == avi.size();
    if (std::fclose(f) != 0 || !written) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
