#include "PeVersionReader.h"

#include "RegularFileReader.h"

#include <array>
#include <optional>

// The main screen asks for the installed version on every repaint, and the
// modules it asks about are large, possibly damaged, possibly hostile files.
// So the reader walks only the few structures it needs, reads a bounded
// number of bytes in total, validates every offset and count against the
// stream length before use, and gives up (empty result) at the first
// inconsistency instead of guessing.

namespace
{
using juce::uint16;
using juce::uint32;
using juce::uint64;
using juce::uint8;

constexpr size_t readBudget = 8192;  // bytes per file, whatever its size
constexpr uint32 maxSections = 96;
constexpr uint32 maxOptionalHeaderSize = 1024;
constexpr uint32 maxPeHeaderOffset = 0x10000;
constexpr uint32 maxRootEntries = 256;
constexpr uint32 maxDirectoryEntries = 4096;
constexpr uint32 maxVersionInfoSize = 0x10000;
constexpr uint32 resourceSubdirectory = 0x80000000u;
constexpr uint32 rtVersion = 16;

uint16 le16 (const uint8* p) noexcept
{
    return static_cast<uint16> (p[0] | (p[1] << 8));
}

uint32 le32 (const uint8* p) noexcept
{
    return static_cast<uint32> (p[0]) | (static_cast<uint32> (p[1]) << 8) | (static_cast<uint32> (p[2]) << 16)
         | (static_cast<uint32> (p[3]) << 24);
}

//==============================================================================
class BoundedReader final
{
public:
    explicit BoundedReader (juce::InputStream& s) : stream (s), length (s.getTotalLength()) {}

    uint64 getLength() const noexcept { return length > 0 ? static_cast<uint64> (length) : 0; }

    /** Reads exactly numBytes at offset, or fails: past the end, past the budget or short. */
    bool read (uint64 offset, uint8* dest, size_t numBytes)
    {
        const auto total = getLength();

        if (numBytes > remainingBudget || offset > total || numBytes > total - offset)
            return false;

        remainingBudget -= numBytes;

        if (! stream.setPosition (static_cast<juce::int64> (offset)))
            return false;

        size_t done = 0;

        while (done < numBytes)
        {
            const auto got = stream.read (dest + done, static_cast<int> (numBytes - done));

            if (got <= 0)
                return false;

            done += static_cast<size_t> (got);
        }

        return true;
    }

private:
    juce::InputStream& stream;
    juce::int64 length;
    size_t remainingBudget = readBudget;
};

//==============================================================================
struct Section
{
    uint32 virtualAddress, virtualSize, rawSize, rawPointer;
};

struct ImageLayout
{
    std::array<Section, maxSections> sections;
    uint32 numSections = 0;
    uint32 resourceRva = 0, resourceSize = 0;
};

/** Where an RVA lies in the file, and how many bytes of its section's raw data follow it. */
struct FileSpan
{
    uint64 offset, available;
};

std::optional<FileSpan> mapRva (const ImageLayout& layout, uint32 rva)
{
    for (uint32 i = 0; i < layout.numSections; ++i)
    {
        const auto& s = layout.sections[i];
        const uint64 extent = s.virtualSize != 0 ? juce::jmin (s.virtualSize, s.rawSize) : s.rawSize;

        if (rva >= s.virtualAddress && static_cast<uint64> (rva - s.virtualAddress) < extent)
        {
            const auto delta = static_cast<uint64> (rva - s.virtualAddress);
            return FileSpan { s.rawPointer + delta, extent - delta };
        }
    }

    return std::nullopt;
}

std::optional<uint32> readPeHeaderOffset (BoundedReader& reader)
{
    std::array<uint8, 64> dos {};

    if (! reader.read (0, dos.data(), dos.size()) || dos[0] != 'M' || dos[1] != 'Z')
        return std::nullopt;

    const auto offset = le32 (dos.data() + 0x3c);

    if (offset < dos.size() || offset > maxPeHeaderOffset)
        return std::nullopt;

    return offset;
}

/** Finds the resource data directory in a PE32 or PE32+ optional header. */
bool readResourceDirectory (BoundedReader& reader, uint64 optionalHeaderOffset, uint32 optionalHeaderSize,
                            ImageLayout& layout)
{
    std::array<uint8, 112 + 3 * 8> header {};

    if (optionalHeaderSize < 2 || ! reader.read (optionalHeaderOffset, header.data(), 2))
        return false;

    const auto magic = le16 (header.data());
    const uint32 directoriesStart = magic == 0x10b ? 96 : (magic == 0x20b ? 112 : 0);

    if (directoriesStart == 0 || optionalHeaderSize < directoriesStart)
        return false;

    const uint32 needed = directoriesStart + 3 * 8;

    if (optionalHeaderSize < needed || ! reader.read (optionalHeaderOffset, header.data(), needed))
        return false;

    const auto numDirectories = le32 (header.data() + directoriesStart - 4);

    if (numDirectories < 3 || numDirectories > 16 || directoriesStart + 8 * numDirectories > optionalHeaderSize)
        return false;

    layout.resourceRva = le32 (header.data() + directoriesStart + 16);
    layout.resourceSize = le32 (header.data() + directoriesStart + 20);
    return layout.resourceRva != 0 && layout.resourceSize != 0;
}

bool readSectionTable (BoundedReader& reader, uint64 tableOffset, ImageLayout& layout)
{
    std::array<uint8, maxSections * 40> table {};

    if (! reader.read (tableOffset, table.data(), layout.numSections * 40))
        return false;

    for (uint32 i = 0; i < layout.numSections; ++i)
    {
        const auto* entry = table.data() + i * 40;
        const Section s { le32 (entry + 12), le32 (entry + 8), le32 (entry + 16), le32 (entry + 20) };

        // A section whose raw data runs past the end means a truncated or damaged copy;
        // the installed module is then not the one we shipped, whatever its header says.
        if (static_cast<uint64> (s.rawPointer) + s.rawSize > reader.getLength())
            return false;

        layout.sections[i] = s;
    }

    return true;
}

std::optional<ImageLayout> readImageLayout (BoundedReader& reader)
{
    const auto peOffset = readPeHeaderOffset (reader);

    if (! peOffset)
        return std::nullopt;

    std::array<uint8, 24> coff {};

    if (! reader.read (*peOffset, coff.data(), coff.size()) || coff[0] != 'P' || coff[1] != 'E' || coff[2] != 0
        || coff[3] != 0)
        return std::nullopt;

    ImageLayout layout;
    layout.numSections = le16 (coff.data() + 6);
    const uint32 optionalHeaderSize = le16 (coff.data() + 20);
    const auto optionalHeaderOffset = static_cast<uint64> (*peOffset) + coff.size();

    if (layout.numSections == 0 || layout.numSections > maxSections || optionalHeaderSize > maxOptionalHeaderSize
        || ! readResourceDirectory (reader, optionalHeaderOffset, optionalHeaderSize, layout)
        || ! readSectionTable (reader, optionalHeaderOffset + optionalHeaderSize, layout))
        return std::nullopt;

    return layout;
}

//==============================================================================
/** The resource tree's bytes: offsets inside the tree are relative to its root. */
struct ResourceArea
{
    uint64 fileOffset, length;
};

struct DirectoryEntry
{
    uint32 name, target;
};

std::optional<DirectoryEntry> readEntry (BoundedReader& reader, const ResourceArea& area, uint32 directoryOffset,
                                         std::optional<uint32> wantedId)
{
    std::array<uint8, 16> header {};

    if (area.length < header.size() || directoryOffset > area.length - header.size()
        || ! reader.read (area.fileOffset + directoryOffset, header.data(), header.size()))
        return std::nullopt;

    const uint32 numNamed = le16 (header.data() + 12);
    const uint32 numIds = le16 (header.data() + 14);
    const auto numEntries = numNamed + numIds;
    const auto entriesOffset = static_cast<uint64> (directoryOffset) + header.size();

    if (numEntries == 0 || numEntries > maxDirectoryEntries
        || entriesOffset + 8 * static_cast<uint64> (numEntries) > area.length)
        return std::nullopt;

    // Without a wanted ID the first entry, named or not, is the one.
    const auto first = wantedId ? numNamed : 0u;
    const auto count = wantedId ? numIds : 1u;

    if (count == 0 || count > maxRootEntries)
        return std::nullopt;

    std::array<uint8, maxRootEntries * 8> entries {};

    if (! reader.read (area.fileOffset + entriesOffset + 8 * first, entries.data(), 8 * count))
        return std::nullopt;

    for (uint32 i = 0; i < count; ++i)
    {
        const DirectoryEntry entry { le32 (entries.data() + 8 * i), le32 (entries.data() + 8 * i + 4) };

        if (! wantedId || entry.name == *wantedId)
            return entry;
    }

    return std::nullopt;
}

std::optional<uint32> subdirectoryOf (const std::optional<DirectoryEntry>& entry)
{
    if (! entry || (entry->target & resourceSubdirectory) == 0)
        return std::nullopt;

    return entry->target & ~resourceSubdirectory;
}

/** Walks type -> first name/ID -> first language and returns the data entry's offset. */
std::optional<uint32> findVersionDataEntry (BoundedReader& reader, const ResourceArea& area)
{
    const auto nameDirectory = subdirectoryOf (readEntry (reader, area, 0, rtVersion));

    if (! nameDirectory || *nameDirectory == 0)
        return std::nullopt;

    const auto languageDirectory = subdirectoryOf (readEntry (reader, area, *nameDirectory, std::nullopt));

    if (! languageDirectory || *languageDirectory == 0 || *languageDirectory == *nameDirectory)
        return std::nullopt;

    const auto language = readEntry (reader, area, *languageDirectory, std::nullopt);

    // A third level that points to a directory again would be a fourth level, or a loop.
    if (! language || (language->target & resourceSubdirectory) != 0)
        return std::nullopt;

    const auto dataEntry = language->target;

    if (dataEntry == 0 || dataEntry == *nameDirectory || dataEntry == *languageDirectory)
        return std::nullopt;

    return dataEntry;
}

std::optional<FileSpan> findVersionInfo (BoundedReader& reader, const ImageLayout& layout)
{
    const auto root = mapRva (layout, layout.resourceRva);

    if (! root)
        return std::nullopt;

    const ResourceArea area { root->offset, juce::jmin (root->available, static_cast<uint64> (layout.resourceSize)) };
    const auto dataEntryOffset = findVersionDataEntry (reader, area);
    std::array<uint8, 16> dataEntry {};

    if (! dataEntryOffset || area.length < dataEntry.size() || *dataEntryOffset > area.length - dataEntry.size()
        || ! reader.read (area.fileOffset + *dataEntryOffset, dataEntry.data(), dataEntry.size()))
        return std::nullopt;

    const auto dataRva = le32 (dataEntry.data());
    const auto dataSize = le32 (dataEntry.data() + 4);
    const auto data = mapRva (layout, dataRva);

    if (! data || dataSize == 0 || dataSize > maxVersionInfoSize || dataSize > data->available)
        return std::nullopt;

    return FileSpan { data->offset, dataSize };
}

//==============================================================================
// VS_VERSIONINFO: wLength, wValueLength, wType, L"VS_VERSION_INFO", padding to
// 32 bits, then VS_FIXEDFILEINFO.
constexpr uint32 fixedInfoOffset = 40;
constexpr uint32 fixedInfoSize = 52;

juce::String parseVersionInfo (BoundedReader& reader, const FileSpan& info)
{
    std::array<uint8, fixedInfoOffset + fixedInfoSize> block {};

    if (info.available < block.size() || ! reader.read (info.offset, block.data(), block.size()))
        return {};

    const uint32 length = le16 (block.data());
    const uint32 valueLength = le16 (block.data() + 2);

    if (length < block.size() || length > info.available || valueLength < fixedInfoSize
        || fixedInfoOffset + valueLength > length)
        return {};

    static constexpr char key[] = "VS_VERSION_INFO";

    for (size_t i = 0; i < sizeof (key); ++i)  // includes the terminating zero
        if (le16 (block.data() + 6 + 2 * i) != static_cast<uint16> (key[i]))
            return {};

    const auto* fixed = block.data() + fixedInfoOffset;

    if (le32 (fixed) != 0xfeef04bdu)
        return {};

    const auto ms = le32 (fixed + 8);
    const auto ls = le32 (fixed + 12);
    return juce::String (ms >> 16) + "." + juce::String (ms & 0xffffu) + "." + juce::String (ls >> 16) + "."
         + juce::String (ls & 0xffffu);
}
}  // namespace

//==============================================================================
juce::String PeVersionReader::readFileVersion (const juce::File& file)
{
    // Only a regular file, never through a link in its place, and never a FIFO that waits.
    const auto stream = RegularFileReader::open (file.getParentDirectory(), file.getFileName());
    return stream != nullptr ? readFileVersion (*stream) : juce::String();
}

juce::String PeVersionReader::readFileVersion (juce::InputStream& input)
{
    BoundedReader reader (input);

    if (reader.getLength() == 0)
        return {};

    const auto layout = readImageLayout (reader);

    if (! layout)
        return {};

    const auto info = findVersionInfo (reader, *layout);
    return info ? parseVersionInfo (reader, *info) : juce::String();
}
