// Build-time generator of the product payload that the installer carries:
// vst3.zip, clap.zip and aax.zip (one archive per plug-in format) plus the
// installer's own application icon. The plug-in modules are stand-ins with
// the exact sizes of the released product: well-formed 64-bit PE images whose
// bodies compress like machine code, so that archive sizes, unpack times and
// progress behaviour match what customers will see.
//
// Everything is deterministic (fixed seeds, fixed timestamps): the same
// sources always give byte-identical archives, which keeps rebuilds and the
// embedded binary data stable.
//
// Usage: make_archives <output-folder>

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace
{
using Bytes = std::vector<std::uint8_t>;

//==============================================================================
// Laid out as a table: one line per field width.
// clang-format off
class ByteWriter final
{
public:
    void u8 (std::uint32_t v)   { data.push_back (static_cast<std::uint8_t> (v & 0xffu)); }
    void u16 (std::uint32_t v)  { u8 (v); u8 (v >> 8); }
    void u32 (std::uint32_t v)  { u16 (v & 0xffffu); u16 (v >> 16); }
    void u64 (std::uint64_t v)  { u32 (static_cast<std::uint32_t> (v)); u32 (static_cast<std::uint32_t> (v >> 32)); }

    void bytes (const void* src, size_t n)
    {
        auto* p = static_cast<const std::uint8_t*> (src);
        data.insert (data.end(), p, p + n);
    }

    void bytes (const Bytes& b)           { data.insert (data.end(), b.begin(), b.end()); }
    void text (const std::string& s)      { bytes (s.data(), s.size()); }
    void fill (size_t n, std::uint8_t v)  { data.insert (data.end(), n, v); }

    void padTo (size_t alignment)
    {
        while (data.size() % alignment != 0)
            data.push_back (0);
    }

    void patch16 (size_t pos, std::uint32_t v)
    {
        data[pos]     = static_cast<std::uint8_t> (v & 0xffu);
        data[pos + 1] = static_cast<std::uint8_t> ((v >> 8) & 0xffu);
    }

    void patch32 (size_t pos, std::uint32_t v)
    {
        patch16 (pos, v & 0xffffu);
        patch16 (pos + 2, v >> 16);
    }

    size_t size() const  { return data.size(); }

    Bytes data;
};
// clang-format on

std::uint32_t alignUp (std::uint32_t value, std::uint32_t alignment)
{
    return (value + alignment - 1) / alignment * alignment;
}

//==============================================================================
// Laid out as a table: one line per draw.
// clang-format off
class Xorshift final
{
public:
    explicit Xorshift (std::uint64_t seed) : state (seed != 0 ? seed : 0x9e3779b97f4a7c15ull) {}

    std::uint64_t next()
    {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return state * 0x2545f4914f6cdd1dull;
    }

    std::uint32_t below (std::uint32_t limit)  { return static_cast<std::uint32_t> ((next() >> 32) % limit); }
    std::uint8_t byte()                        { return static_cast<std::uint8_t> (next() >> 56); }

private:
    std::uint64_t state;
};
// clang-format on

//==============================================================================
// Compression

Bytes deflateRaw (const Bytes& input)
{
    z_stream zs {};

    if (deflateInit2 (&zs, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error ("deflateInit2 failed");

    Bytes out (deflateBound (&zs, static_cast<uLong> (input.size())));
    zs.next_in = const_cast<Bytef*> (input.data());
    zs.avail_in = static_cast<uInt> (input.size());
    zs.next_out = out.data();
    zs.avail_out = static_cast<uInt> (out.size());

    const auto result = deflate (&zs, Z_FINISH);
    const auto produced = zs.total_out;
    deflateEnd (&zs);

    if (result != Z_STREAM_END)
        throw std::runtime_error ("deflate did not finish");

    out.resize (produced);
    return out;
}

Bytes compressZlib (const Bytes& input)
{
    auto bound = compressBound (static_cast<uLong> (input.size()));
    Bytes out (bound);

    if (compress2 (out.data(), &bound, input.data(), static_cast<uLong> (input.size()), 9) != Z_OK)
        throw std::runtime_error ("compress2 failed");

    out.resize (bound);
    return out;
}

std::uint32_t crcOf (const Bytes& b)
{
    return static_cast<std::uint32_t> (crc32 (0, b.data(), static_cast<uInt> (b.size())));
}

//==============================================================================
// Icons

struct Rgba
{
    std::uint8_t r = 0, g = 0, b = 0, a = 0;
};

constexpr Rgba rgb (std::uint32_t hex)
{
    return { static_cast<std::uint8_t> (hex >> 16), static_cast<std::uint8_t> (hex >> 8),
             static_cast<std::uint8_t> (hex), 255 };
}

struct Point
{
    double x, y;
};

// Artwork is a function from a point in the unit square (y pointing down) to
// a colour; the renderer supersamples it for anti-aliasing.
using Artwork = std::function<Rgba (Point)>;

struct Image
{
    int size = 0;
    std::vector<Rgba> pixels;  // top row first
};

Image render (int size, const Artwork& art)
{
    constexpr int grid = 4;
    Image image { size, std::vector<Rgba> (static_cast<size_t> (size * size)) };

    for (int y = 0; y < size; ++y)
    {
        for (int x = 0; x < size; ++x)
        {
            double r = 0, g = 0, b = 0, a = 0;

            for (int sy = 0; sy < grid; ++sy)
            {
                for (int sx = 0; sx < grid; ++sx)
                {
                    const Point p { (x + (sx + 0.5) / grid) / size, (y + (sy + 0.5) / grid) / size };
                    const auto c = art (p);
                    const auto alpha = c.a / 255.0;
                    r += c.r * alpha;
                    g += c.g * alpha;
                    b += c.b * alpha;
                    a += alpha;
                }
            }

            auto& out = image.pixels[static_cast<size_t> (y * size + x)];

            if (a > 0)
            {
                out.r = static_cast<std::uint8_t> (std::lround (r / a));
                out.g = static_cast<std::uint8_t> (std::lround (g / a));
                out.b = static_cast<std::uint8_t> (std::lround (b / a));
                out.a = static_cast<std::uint8_t> (std::lround (255.0 * a / (grid * grid)));
            }
        }
    }

    return image;
}

bool insideRoundedSquare (Point p, double margin, double radius)
{
    const auto lo = margin + radius, hi = 1.0 - margin - radius;
    const auto dx = std::max ({ lo - p.x, 0.0, p.x - hi });
    const auto dy = std::max ({ lo - p.y, 0.0, p.y - hi });
    return dx * dx + dy * dy <= radius * radius;
}

double distanceToSegment (Point p, Point a, Point b)
{
    const auto vx = b.x - a.x, vy = b.y - a.y;
    const auto t = std::clamp (((p.x - a.x) * vx + (p.y - a.y) * vy) / (vx * vx + vy * vy), 0.0, 1.0);
    const auto dx = p.x - (a.x + t * vx), dy = p.y - (a.y + t * vy);
    return std::sqrt (dx * dx + dy * dy);
}

struct Stroke
{
    Point from, to;
    double halfWidth;
};

// Six arms, each with two pairs of barbs that give the crystal its shape.
std::vector<Stroke> snowflakeStrokes()
{
    constexpr double pi = 3.14159265358979323846;
    const Point centre { 0.5, 0.5 };
    std::vector<Stroke> strokes;

    for (int arm = 0; arm < 6; ++arm)
    {
        const auto angle = arm * pi / 3.0 - pi / 2.0;
        const Point dir { std::cos (angle), std::sin (angle) };
        strokes.push_back ({ centre, { centre.x + 0.33 * dir.x, centre.y + 0.33 * dir.y }, 0.032 });

        for (const auto along : { 0.17, 0.25 })
        {
            const Point base { centre.x + along * dir.x, centre.y + along * dir.y };
            const auto barbLength = along < 0.2 ? 0.10 : 0.07;

            for (const auto side : { -1.0, 1.0 })
            {
                const auto barbAngle = angle + side * pi / 4.0;
                strokes.push_back (
                    { base,
                      { base.x + barbLength * std::cos (barbAngle), base.y + barbLength * std::sin (barbAngle) },
                      0.024 });
            }
        }
    }

    return strokes;
}

bool insideSnowflake (Point p)
{
    static const auto strokes = snowflakeStrokes();

    return std::any_of (strokes.begin(), strokes.end(),
                        [p] (const Stroke& s) { return distanceToSegment (p, s.from, s.to) < s.halfWidth; });
}

Rgba pluginArtwork (Point p)
{
    if (! insideRoundedSquare (p, 0.03, 0.18))
        return {};

    return insideSnowflake (p) ? rgb (0x0094d8) : rgb (0x171717);
}

bool insideDownArrow (Point p)
{
    const auto inShaft = std::abs (p.x - 0.5) < 0.075 && p.y > 0.32 && p.y < 0.62;
    const auto headTop = 0.56, headBottom = 0.82, headHalfWidth = 0.24;
    const auto progress = (p.y - headTop) / (headBottom - headTop);
    const auto inHead = progress >= 0.0 && progress <= 1.0 && std::abs (p.x - 0.5) <= headHalfWidth * (1.0 - progress);
    const auto inTray = p.y > 0.86 && p.y < 0.91 && std::abs (p.x - 0.5) < 0.28;
    return inShaft || inHead || inTray;
}

Rgba installerArtwork (Point p)
{
    if (! insideRoundedSquare (p, 0.03, 0.16))
        return {};

    if (p.y < 0.24)
        return rgb (0x0094d8);

    return insideDownArrow (p) ? rgb (0xf5f5f5) : rgb (0x111111);
}

void pngChunk (ByteWriter& w, const char* type, const Bytes& body)
{
    Bytes typed (type, type + 4);
    typed.insert (typed.end(), body.begin(), body.end());

    for (int i = 3; i >= 0; --i)
        w.u8 (static_cast<std::uint32_t> (body.size()) >> (8 * i));

    w.bytes (typed);
    const auto crc = crcOf (typed);

    for (int i = 3; i >= 0; --i)
        w.u8 (crc >> (8 * i));
}

Bytes encodePng (const Image& image)
{
    const auto size = static_cast<std::uint32_t> (image.size);
    Bytes ihdr;

    for (auto v : { size, size })
        for (int i = 3; i >= 0; --i)
            ihdr.push_back (static_cast<std::uint8_t> (v >> (8 * i)));

    ihdr.insert (ihdr.end(), { 8, 6, 0, 0, 0 });  // 8-bit RGBA, deflate, no filter, no interlace

    Bytes raw;
    raw.reserve (static_cast<size_t> (size * (size * 4 + 1)));

    for (std::uint32_t y = 0; y < size; ++y)
    {
        raw.push_back (0);

        for (std::uint32_t x = 0; x < size; ++x)
        {
            const auto& px = image.pixels[y * size + x];
            raw.insert (raw.end(), { px.r, px.g, px.b, px.a });
        }
    }

    ByteWriter w;
    w.bytes ("\x89PNG\r\n\x1a\n", 8);
    pngChunk (w, "IHDR", ihdr);
    pngChunk (w, "IDAT", compressZlib (raw));
    pngChunk (w, "IEND", {});
    return w.data;
}

Bytes encodeDib (const Image& image)
{
    const auto size = static_cast<std::uint32_t> (image.size);
    const auto maskStride = (size + 31) / 32 * 4;
    const auto colourBytes = size * size * 4;

    ByteWriter w;
    w.u32 (40);  // BITMAPINFOHEADER
    w.u32 (size);
    w.u32 (size * 2);  // colour rows plus AND mask rows
    w.u16 (1);
    w.u16 (32);
    w.u32 (0);  // BI_RGB
    w.u32 (colourBytes + maskStride * size);
    w.fill (16, 0);

    for (auto y = size; y-- > 0;)
    {
        for (std::uint32_t x = 0; x < size; ++x)
        {
            const auto& px = image.pixels[y * size + x];
            w.u8 (px.b);
            w.u8 (px.g);
            w.u8 (px.r);
            w.u8 (px.a);
        }
    }

    // Older shells still consult the AND mask, so fully transparent pixels are masked out.
    for (auto y = size; y-- > 0;)
    {
        Bytes row (maskStride, 0);

        for (std::uint32_t x = 0; x < size; ++x)
            if (image.pixels[y * size + x].a == 0)
                row[x / 8] |= static_cast<std::uint8_t> (0x80u >> (x % 8));

        w.bytes (row);
    }

    return w.data;
}

Bytes makeIcon (const Artwork& art)
{
    const std::array<int, 4> sizes { 16, 32, 48, 256 };
    std::vector<Bytes> images;

    for (auto size : sizes)
    {
        const auto image = render (size, art);
        images.push_back (size == 256 ? encodePng (image) : encodeDib (image));
    }

    ByteWriter w;
    w.u16 (0);
    w.u16 (1);  // icon
    w.u16 (static_cast<std::uint32_t> (sizes.size()));

    auto offset = static_cast<std::uint32_t> (6 + 16 * sizes.size());

    for (size_t i = 0; i < sizes.size(); ++i)
    {
        const auto dimension = static_cast<std::uint32_t> (sizes[i] >= 256 ? 0 : sizes[i]);
        w.u8 (dimension);
        w.u8 (dimension);
        w.u8 (0);  // no palette
        w.u8 (0);
        w.u16 (1);   // planes
        w.u16 (32);  // bits per pixel
        w.u32 (static_cast<std::uint32_t> (images[i].size()));
        w.u32 (offset);
        offset += static_cast<std::uint32_t> (images[i].size());
    }

    for (const auto& image : images)
        w.bytes (image);

    return w.data;
}

//==============================================================================
// Plug-in module stand-ins

// Emits bytes whose statistics resemble compiled x86-64 code: a per-module
// vocabulary of instruction-like snippets (used with a skewed frequency, as
// prologues and common moves are), small immediate and displacement fields,
// incompressible runs standing in for rel32 targets and constants, and int3
// padding between functions. The share of incompressible runs (per mille of
// emitted items) sets how well the result deflates; each module's share was
// tuned by measurement so that deflate at its default level keeps about 0.57
// of the input, like a release build of the product.
class CodeLikeNoise final
{
public:
    CodeLikeNoise (std::uint64_t seed, std::uint32_t incompressibleShare)
        : rng (seed), randomRunShare (std::min<std::uint32_t> (incompressibleShare, 490))
    {
        static constexpr std::uint8_t opcodeBytes[] = { 0x48, 0x89, 0x8b, 0x4c, 0x24, 0x44, 0x0f, 0xe8,
                                                        0x83, 0xc4, 0x85, 0xc0, 0x74, 0x75, 0xff, 0x15,
                                                        0x41, 0x49, 0x8d, 0x05, 0x33, 0xd2, 0xc3, 0x50,
                                                        0x10, 0x20, 0x08, 0x00, 0x01, 0xb8, 0x45, 0x4d };
        vocabulary.resize (vocabularySize);

        for (auto& snippet : vocabulary)
        {
            const auto length = 2 + rng.below (9);

            for (std::uint32_t i = 0; i < length; ++i)
                snippet.push_back (rng.below (100) < 70 ? opcodeBytes[rng.below (sizeof (opcodeBytes))] : rng.byte());
        }
    }

    Bytes generate (size_t length)
    {
        Bytes out;
        out.reserve (length + 64);

        while (out.size() < length)
            emitInstruction (out);

        out.resize (length);
        return out;
    }

private:
    static constexpr std::uint32_t vocabularySize = 1024;

    void emitInstruction (Bytes& out)
    {
        const auto pick = rng.below (1000);

        if (pick < 500)
        {
            const auto& snippet = vocabulary[rng.below (vocabularySize) * rng.below (vocabularySize) / vocabularySize];
            out.insert (out.end(), snippet.begin(), snippet.end());
        }
        else if (pick < 990 - randomRunShare)
        {
            if (rng.below (2) != 0)
                out.push_back (static_cast<std::uint8_t> (rng.below (128)));
            else
                out.insert (out.end(), { static_cast<std::uint8_t> (rng.byte() & 0x3f), 0, 0, 0 });
        }
        else if (pick < 990)
        {
            for (int i = 0; i < 4; ++i)
                out.push_back (rng.byte());
        }
        else
        {
            out.insert (out.end(), 1 + rng.below (12), 0xcc);
        }
    }

    Xorshift rng;
    std::uint32_t randomRunShare;
    std::vector<Bytes> vocabulary;
};

void putUtf16z (ByteWriter& w, const std::string& ascii)
{
    for (auto c : ascii)
        w.u16 (static_cast<std::uint8_t> (c));

    w.u16 (0);
}

// One node of a VS_VERSIONINFO tree. Every node starts on a 32-bit boundary,
// as does its value after the key; wLength covers the node and its children.
void versionNode (ByteWriter& w, const std::string& key, std::uint32_t type, std::uint32_t valueLength,
                  const Bytes& value, const std::function<void()>& writeChildren = {})
{
    w.padTo (4);
    const auto start = w.size();
    w.u16 (0);
    w.u16 (valueLength);
    w.u16 (type);
    putUtf16z (w, key);
    w.padTo (4);
    w.bytes (value);

    if (writeChildren)
        writeChildren();

    w.patch16 (start, static_cast<std::uint32_t> (w.size() - start));
}

void versionString (ByteWriter& w, const std::string& key, const std::string& text)
{
    ByteWriter value;
    putUtf16z (value, text);
    versionNode (w, key, 1, static_cast<std::uint32_t> (text.size() + 1), value.data);
}

Bytes fixedFileInfo()
{
    constexpr std::uint32_t versionMS = 0x00010000;  // 1.0
    constexpr std::uint32_t versionLS = 0x000c0000;  // 12.0

    ByteWriter w;
    w.u32 (0xfeef04bd);
    w.u32 (0x00010000);
    w.u32 (versionMS);
    w.u32 (versionLS);
    w.u32 (versionMS);
    w.u32 (versionLS);
    w.u32 (0x3f);        // file flags mask
    w.u32 (0);           // file flags
    w.u32 (0x00040004);  // VOS_NT_WINDOWS32
    w.u32 (2);           // VFT_DLL
    w.u32 (0);
    w.u32 (0);  // no file date
    w.u32 (0);
    return w.data;
}

// Writes the VS_VERSIONINFO block at the writer's current (32-bit aligned) position.
void writeVersionInfo (ByteWriter& w)
{
    versionNode (w, "VS_VERSION_INFO", 0, 52, fixedFileInfo(),
                 [&w]
                 {
                     versionNode (w, "StringFileInfo", 1, 0, {},
                                  [&w]
                                  {
                                      versionNode (w, "040904E4", 1, 0, {},
                                                   [&w]
                                                   {
                                                       versionString (w, "CompanyName", "Tovin Drift");
                                                       versionString (w, "FileDescription", "Glass Tundra Lights");
                                                       versionString (w, "FileVersion", "1.0.12.0");
                                                       versionString (w, "ProductName", "Glass Tundra Lights");
                                                       versionString (w, "ProductVersion", "1.0.12.0");
                                                   });
                                  });

                     versionNode (w, "VarFileInfo", 1, 0, {},
                                  [&w] {
                                      versionNode (w, "Translation", 0, 4, { 0x09, 0x04, 0xe4, 0x04 });
                                  });
                 });
}

void resourceDirectory (ByteWriter& w, std::uint32_t id, std::uint32_t target)
{
    w.u32 (0);  // characteristics
    w.u32 (0);  // time stamp
    w.u16 (0);  // version
    w.u16 (0);
    w.u16 (0);  // named entries
    w.u16 (1);  // ID entries
    w.u32 (id);
    w.u32 (target);
}

// The .rsrc section body: RT_VERSION -> ID 1 -> language 0x0409 -> version data.
Bytes makeResourceSection (std::uint32_t sectionRva)
{
    constexpr std::uint32_t subdirectory = 0x80000000u;
    constexpr std::uint32_t nameDir = 0x18, languageDir = 0x30, dataEntry = 0x48, versionData = 0x58;

    ByteWriter w;
    resourceDirectory (w, 16, subdirectory | nameDir);
    resourceDirectory (w, 1, subdirectory | languageDir);
    resourceDirectory (w, 0x0409, dataEntry);

    const auto dataEntryPos = w.size();
    w.fill (16, 0);

    writeVersionInfo (w);
    const auto versionSize = static_cast<std::uint32_t> (w.size() - versionData);

    w.patch32 (dataEntryPos, sectionRva + versionData);
    w.patch32 (dataEntryPos + 4, versionSize);
    return w.data;
}

struct ModuleRecipe
{
    std::uint32_t fileSize;
    std::uint64_t seed;
    std::uint32_t incompressibleShare;
    bool withVersionResource;
};

struct Section
{
    std::string name;
    std::uint32_t virtualSize, virtualAddress, rawSize, rawPointer, characteristics;
};

void writeDosHeader (ByteWriter& w, std::uint32_t peOffset)
{
    w.text ("MZ");
    for (std::uint32_t v : { 0x90u, 3u, 0u, 4u, 0u, 0xffffu, 0u, 0xb8u, 0u, 0u, 0u, 0x40u, 0u })
        w.u16 (v);

    w.fill (0x3c - w.size(), 0);
    w.u32 (peOffset);

    static constexpr std::uint8_t stub[] = { 0x0e, 0x1f, 0xba, 0x0e, 0x00, 0xb4, 0x09,
                                             0xcd, 0x21, 0xb8, 0x01, 0x4c, 0xcd, 0x21 };
    w.bytes (stub, sizeof (stub));
    w.text ("This program cannot be run in DOS mode.\r\r\n$");
    w.fill (peOffset - w.size(), 0);
}

void writeOptionalHeader (ByteWriter& w, const std::vector<Section>& sections, std::uint32_t sizeOfHeaders,
                          std::uint32_t resourceRva, std::uint32_t resourceSize)
{
    const auto& last = sections.back();
    const auto sizeOfImage = alignUp (last.virtualAddress + last.virtualSize, 0x1000);
    std::uint32_t initialisedData = 0;

    for (size_t i = 1; i < sections.size(); ++i)
        initialisedData += sections[i].rawSize;

    w.u16 (0x20b);
    w.u8 (14);  // linker version
    w.u8 (38);
    w.u32 (sections.front().rawSize);  // size of code
    w.u32 (initialisedData);
    w.u32 (0);
    w.u32 (0x1000 + 0x2f0);  // entry point inside .text
    w.u32 (0x1000);          // base of code
    w.u64 (0x180000000ull);
    w.u32 (0x1000);  // section alignment
    w.u32 (0x200);   // file alignment
    for (std::uint32_t v : { 6u, 0u, 0u, 0u, 6u, 0u })
        w.u16 (v);  // OS, image and subsystem versions
    w.u32 (0);
    w.u32 (sizeOfImage);
    w.u32 (sizeOfHeaders);
    w.u32 (0);       // checksum, patched once the file is complete
    w.u16 (2);       // Windows GUI subsystem
    w.u16 (0x0100);  // NX compatible
    for (std::uint64_t v : { 0x100000ull, 0x1000ull, 0x100000ull, 0x1000ull })
        w.u64 (v);  // stack and heap reserve/commit
    w.u32 (0);
    w.u32 (16);

    for (std::uint32_t i = 0; i < 16; ++i)
    {
        w.u32 (i == 2 ? resourceRva : 0);
        w.u32 (i == 2 ? resourceSize : 0);
    }
}

void writeSectionTable (ByteWriter& w, const std::vector<Section>& sections)
{
    for (const auto& s : sections)
    {
        char name[8] = {};
        std::memcpy (name, s.name.data(), std::min<size_t> (8, s.name.size()));
        w.bytes (name, 8);

        for (auto v : { s.virtualSize, s.virtualAddress, s.rawSize, s.rawPointer, 0u, 0u })
            w.u32 (v);

        w.u32 (0);  // relocation and line number counts
        w.u32 (s.characteristics);
    }
}

std::uint32_t peChecksum (const Bytes& image, size_t checksumOffset)
{
    std::uint64_t sum = 0;

    for (size_t i = 0; i < image.size(); i += 2)
    {
        if (i == checksumOffset || i == checksumOffset + 2)
            continue;

        std::uint32_t word = image[i];

        if (i + 1 < image.size())
            word |= static_cast<std::uint32_t> (image[i + 1]) << 8;

        sum += word;
        sum = (sum & 0xffff) + (sum >> 16);
    }

    sum = (sum & 0xffff) + (sum >> 16);
    return static_cast<std::uint32_t> (sum + image.size());
}

Bytes makeModule (const ModuleRecipe& recipe)
{
    constexpr std::uint32_t peOffset = 0x80, fileAlignment = 0x200;
    const auto sectionCount = recipe.withVersionResource ? 2u : 1u;
    const auto sizeOfHeaders = alignUp (peOffset + 4 + 20 + 240 + 40 * sectionCount, fileAlignment);

    std::vector<Section> sections;
    Bytes resources;
    std::uint32_t resourceRaw = 0;

    if (recipe.withVersionResource)
    {
        // Resource RVA depends on the .text size, which depends on the resource size;
        // the section's raw size never changes with its RVA, so measure first.
        resourceRaw = alignUp (static_cast<std::uint32_t> (makeResourceSection (0).size()), fileAlignment);
    }

    if (recipe.fileSize < sizeOfHeaders + resourceRaw + fileAlignment)
        throw std::runtime_error ("module size too small");

    const auto available = recipe.fileSize - sizeOfHeaders - resourceRaw;
    const auto textRaw = available / fileAlignment * fileAlignment;
    sections.push_back ({ ".text", textRaw, 0x1000, textRaw, sizeOfHeaders, 0x60000020 });

    if (recipe.withVersionResource)
    {
        const auto rva = alignUp (0x1000 + textRaw, 0x1000);
        resources = makeResourceSection (rva);
        sections.push_back ({ ".rsrc", static_cast<std::uint32_t> (resources.size()), rva, resourceRaw,
                              sizeOfHeaders + textRaw, 0x40000040 });
    }

    ByteWriter w;
    w.data.reserve (recipe.fileSize);
    writeDosHeader (w, peOffset);
    w.text (std::string ("PE\0\0", 4));
    w.u16 (0x8664);
    w.u16 (sectionCount);
    w.u32 (0x6790a1c4);  // link time stamp
    w.u32 (0);
    w.u32 (0);
    w.u16 (240);
    w.u16 (0x2022);  // executable, large address aware, DLL

    const auto checksumOffset = w.size() + 64;
    writeOptionalHeader (w, sections, sizeOfHeaders, recipe.withVersionResource ? sections.back().virtualAddress : 0,
                         static_cast<std::uint32_t> (resources.size()));
    writeSectionTable (w, sections);
    w.fill (sizeOfHeaders - w.size(), 0);

    CodeLikeNoise noise (recipe.seed, recipe.incompressibleShare);
    w.bytes (noise.generate (textRaw));

    if (recipe.withVersionResource)
    {
        w.bytes (resources);
        w.padTo (fileAlignment);
    }

    // Whatever is left below the product's exact size trails the last section as overlay.
    w.bytes (noise.generate (recipe.fileSize - w.size()));

    if (w.size() != recipe.fileSize)
        throw std::runtime_error ("module layout does not add up");

    w.patch32 (checksumOffset, peChecksum (w.data, checksumOffset));
    return std::move (w.data);
}

//==============================================================================
// Small text files

std::string desktopIni()
{
    return "[.ShellClassInfo]\r\n"
           "IconResource=Plugin.ico,0\r\n"
           "IconFile=Plugin.ico\r\n"
           "IconIndex=0\r\n";
}

std::string moduleInfoJson()
{
    return R"({
  "Name": "Glass Tundra Lights",
  "Version": "1.0.12",
  "Factory Info": {
    "Vendor": "Tovin Drift",
    "URL": "https://tovindrift.com",
    "E-Mail": "support@tovindrift.com",
    "Flags": {
      "Unicode": true,
      "Classes Discardable": false,
      "Component Non Discardable": false
    }
  },
  "Compatibility": [
  ],
  "Classes": [
    {
      "CID": "6A3F0C1E9B2D47C58E01D4A7B36F29E4",
      "Category": "Audio Module Class",
      "Name": "Glass Tundra Lights",
      "Vendor": "Tovin Drift",
      "Version": "1.0.12",
      "SDKVersion": "VST 3.7.12",
      "Sub Categories": [
        "Fx"
      ],
      "Class Flags": 1,
      "Cardinality": 2147483647,
      "Snapshots": [
      ]
    },
    {
      "CID": "C2E85B1047AF4D3996B07E2A51D8F3C6",
      "Category": "Component Controller Class",
      "Name": "Glass Tundra Lights Controller",
      "Vendor": "Tovin Drift",
      "Version": "1.0.12",
      "SDKVersion": "VST 3.7.12",
      "Sub Categories": [
      ],
      "Class Flags": 0,
      "Cardinality": 2147483647,
      "Snapshots": [
      ]
    }
  ]
}
)";
}

Bytes toBytes (const std::string& s)
{
    return Bytes (s.begin(), s.end());
}

//==============================================================================
// ZIP writing

struct ZipEntry
{
    std::string name;
    Bytes content;  // ignored for folders
    bool isFolder = false;
};

struct PreparedEntry
{
    std::string name;
    std::uint32_t method, crc, compressedSize, size, localHeaderOffset;
};

// Every entry carries the same DOS time stamp: 2025-02-17 09:30:00.
constexpr std::uint32_t dosTime = (9u << 11) | (30u << 5);
constexpr std::uint32_t dosDate = ((2025u - 1980u) << 9) | (2u << 5) | 17u;

void writeEntryHeader (ByteWriter& w, std::uint32_t signature, bool central, const PreparedEntry& e)
{
    w.u32 (signature);

    if (central)
        w.u16 (20);  // made by: version 2.0, MS-DOS

    w.u16 (20);  // needed to extract
    w.u16 (0);   // flags
    w.u16 (e.method);
    w.u16 (dosTime);
    w.u16 (dosDate);
    w.u32 (e.crc);
    w.u32 (e.compressedSize);
    w.u32 (e.size);
    w.u16 (static_cast<std::uint32_t> (e.name.size()));
    w.u16 (0);  // extra field length

    if (central)
    {
        w.u16 (0);  // comment length
        w.u16 (0);  // disk number
        w.u16 (0);  // internal attributes
        w.u32 (0);  // external attributes
        w.u32 (e.localHeaderOffset);
    }

    w.text (e.name);
}

Bytes makeZip (const std::vector<ZipEntry>& entries)
{
    ByteWriter w;
    std::vector<PreparedEntry> prepared;

    for (const auto& entry : entries)
    {
        const auto compressed = entry.isFolder ? Bytes() : deflateRaw (entry.content);
        const auto size = entry.isFolder ? 0u : static_cast<std::uint32_t> (entry.content.size());

        PreparedEntry e { entry.name,
                          entry.isFolder ? 0u : 8u,
                          entry.isFolder ? 0u : crcOf (entry.content),
                          static_cast<std::uint32_t> (compressed.size()),
                          size,
                          static_cast<std::uint32_t> (w.size()) };
        writeEntryHeader (w, 0x04034b50, false, e);
        w.bytes (compressed);
        prepared.push_back (e);
    }

    const auto directoryOffset = static_cast<std::uint32_t> (w.size());

    for (const auto& e : prepared)
        writeEntryHeader (w, 0x02014b50, true, e);

    const auto directorySize = static_cast<std::uint32_t> (w.size()) - directoryOffset;
    const auto count = static_cast<std::uint32_t> (prepared.size());

    w.u32 (0x06054b50);
    w.u16 (0);  // this disk
    w.u16 (0);  // disk holding the directory
    w.u16 (count);
    w.u16 (count);
    w.u32 (directorySize);
    w.u32 (directoryOffset);
    w.u16 (0);  // no archive comment
    return std::move (w.data);
}

//==============================================================================
// The three archives

const std::string productName = "Glass Tundra Lights";

Bytes makeClapArchive()
{
    return makeZip ({ { productName + ".clap", makeModule ({ 16556512, 0xc1a9'5e3d'71b2'04f8ull, 217, false }) } });
}

Bytes makeAaxArchive (const Bytes& folderIcon)
{
    const auto bundle = productName + ".aaxplugin\\";
    return makeZip ({ { bundle + "Contents\\", {}, true },
                      { bundle + "desktop.ini", toBytes (desktopIni()) },
                      { bundle + "Plugin.ico", folderIcon },
                      { bundle + "Contents\\x64\\" + productName + ".aaxplugin",
                        makeModule ({ 16692840, 0xaa71'3c90'd4e2'6b15ull, 210, true }) } });
}

Bytes makeVst3Archive (const Bytes& folderIcon)
{
    const auto bundle = productName + ".vst3\\";
    return makeZip ({ { bundle + "Contents\\", {}, true },
                      { bundle + "desktop.ini", toBytes (desktopIni()) },
                      { bundle + "Plugin.ico", folderIcon },
                      { bundle + "Contents\\Resources\\moduleinfo.json", toBytes (moduleInfoJson()) },
                      { bundle + "Contents\\x86_64-win\\" + productName + ".vst3",
                        makeModule ({ 16909792, 0x57e3'08c6'9f1d'a24bull, 240, false }) } });
}

// Writes through a temporary name so that an interrupted build never leaves
// a truncated archive that a later incremental build would take as current.
void writeFile (const std::filesystem::path& path, const Bytes& data)
{
    auto temporary = path;
    temporary += ".tmp";

    {
        std::ofstream out (temporary, std::ios::binary | std::ios::trunc);
        out.write (reinterpret_cast<const char*> (data.data()), static_cast<std::streamsize> (data.size()));
        out.close();

        if (! out)
            throw std::runtime_error ("cannot write " + temporary.string());
    }

    std::filesystem::rename (temporary, path);
}

// Runs the jobs on their own threads (the module bodies dominate the run time)
// and rethrows the first failure.
void runInParallel (const std::vector<std::function<void()>>& jobs)
{
    std::vector<std::exception_ptr> failures (jobs.size());
    std::vector<std::thread> threads;

    for (size_t i = 0; i < jobs.size(); ++i)
    {
        threads.emplace_back (
            [&jobs, &failures, i]
            {
                try
                {
                    jobs[i]();
                }
                catch (...)
                {
                    failures[i] = std::current_exception();
                }
            });
    }

    for (auto& t : threads)
        t.join();

    for (auto& failure : failures)
        if (failure != nullptr)
            std::rethrow_exception (failure);
}

void makeAll (const std::filesystem::path& folder)
{
    std::filesystem::create_directories (folder);

    const auto folderIcon = makeIcon (pluginArtwork);
    writeFile (folder / "td_installer.ico", makeIcon (installerArtwork));

    runInParallel ({ [&] { writeFile (folder / "vst3.zip", makeVst3Archive (folderIcon)); },
                     [&] { writeFile (folder / "clap.zip", makeClapArchive()); },
                     [&] { writeFile (folder / "aax.zip", makeAaxArchive (folderIcon)); } });
}

}  // namespace

int main (int argc, char** argv)
{
    if (argc != 2)
    {
        std::cerr << "usage: make_archives <output-folder>\n";
        return 2;
    }

    try
    {
        makeAll (argv[1]);
    }
    catch (const std::exception& e)
    {
        std::cerr << "make_archives: " << e.what() << "\n";
        return 1;
    }

    return 0;
}
