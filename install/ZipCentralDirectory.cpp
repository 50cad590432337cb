#include "ZipCentralDirectory.h"

namespace
{
constexpr size_t endRecordSize = 22;
constexpr size_t entryHeaderSize = 46;
constexpr size_t localHeaderSize = 30;
constexpr size_t longestArchiveComment = 0xffff;

juce::uint32 readInt (const juce::uint8* p)
{
    return juce::ByteOrder::littleEndianInt (p);
}

juce::uint32 readShort (const juce::uint8* p)
{
    return juce::ByteOrder::littleEndianShort (p);
}

// The end-of-central-directory record, found from the back as ZIP readers do.
const juce::uint8* findEndRecord (const juce::uint8* data, size_t size)
{
    if (size < endRecordSize)
        return nullptr;

    const auto earliest = size - juce::jmin (size, endRecordSize + longestArchiveComment);

    for (auto pos = size - endRecordSize + 1; pos-- > earliest;)
        if (readInt (data + pos) == 0x06054b50)
            return data + pos;

    return nullptr;
}

// Where an entry's data starts: after its local header, whose name and extra field may
// differ in length from the central directory's copies. Zero when it lies outside.
size_t dataOffsetOf (const juce::uint8* data, size_t size, size_t localHeader, size_t compressedSize)
{
    if (localHeader > size || size - localHeader < localHeaderSize || readInt (data + localHeader) != 0x04034b50)
        return 0;

    const auto offset =
        localHeader + localHeaderSize + readShort (data + localHeader + 26) + readShort (data + localHeader + 28);

    return offset <= size && size - offset >= compressedSize ? offset : 0;
}
}  // namespace

std::vector<ZipCentralDirectory::Entry> ZipCentralDirectory::read (const void* archive, size_t size)
{
    const auto* data = static_cast<const juce::uint8*> (archive);
    const auto* end = findEndRecord (data, size);

    if (end == nullptr)
        return {};

    const auto numEntries = (size_t) readShort (end + 10);
    auto pos = (size_t) readInt (end + 16);
    std::vector<Entry> entries;

    for (size_t i = 0; i < numEntries; ++i)
    {
        if (pos > size || size - pos < entryHeaderSize)
            break;

        const auto* header = data + pos;
        const auto nameLength = (size_t) readShort (header + 28);

        if (size - pos - entryHeaderSize < nameLength)
            break;

        const Entry entry { readInt (header + 16), (int) readShort (header + 10), 0, (size_t) readInt (header + 20) };
        const auto dataOffset = dataOffsetOf (data, size, readInt (header + 42), entry.compressedSize);

        if (dataOffset == 0)
            return {};

        entries.push_back (entry);
        entries.back().dataOffset = dataOffset;
        pos += entryHeaderSize + nameLength + readShort (header + 30) + readShort (header + 32);
    }

    return entries;
}
