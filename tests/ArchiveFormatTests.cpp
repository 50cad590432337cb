#include <catch2/catch_test_macros.hpp>
#include <juce_core/juce_core.h>
#include <zlib.h>

#include "BinaryData.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// The installer unpacks these archives with its own reader, which accepts only
// the plain ZIP subset the build tool writes; these checks pin that subset down
// byte by byte, together with the payload the bundles must contain.

namespace
{
using Bytes = std::vector<std::uint8_t>;

struct ArchiveData
{
    const std::uint8_t* data;
    size_t size;
};

// Laid out as a table: one archive per line.
// clang-format off
ArchiveData vst3Archive()  { return { reinterpret_cast<const std::uint8_t*> (BinaryData::vst3_zip), static_cast<size_t> (BinaryData::vst3_zipSize) }; }
ArchiveData clapArchive()  { return { reinterpret_cast<const std::uint8_t*> (BinaryData::clap_zip), static_cast<size_t> (BinaryData::clap_zipSize) }; }
ArchiveData aaxArchive()   { return { reinterpret_cast<const std::uint8_t*> (BinaryData::aax_zip), static_cast<size_t> (BinaryData::aax_zipSize) }; }
// clang-format on

std::uint32_t u16At (const ArchiveData& a, size_t offset)
{
    REQUIRE (offset + 2 <= a.size);
    return static_cast<std::uint32_t> (a.data[offset]) | (static_cast<std::uint32_t> (a.data[offset + 1]) << 8);
}

std::uint32_t u32At (const ArchiveData& a, size_t offset)
{
    return u16At (a, offset) | (u16At (a, offset + 2) << 16);
}

juce::String textAt (const ArchiveData& a, size_t offset, size_t length)
{
    REQUIRE (offset + length <= a.size);
    return juce::String (reinterpret_cast<const char*> (a.data + offset), length);
}

//==============================================================================
struct Entry
{
    juce::String name;
    std::uint32_t versionMadeBy, versionNeeded, flags, method, time, date, crc, compressedSize, size;
    std::uint32_t extraLength, commentLength, diskStart, internalAttributes, externalAttributes, localOffset;

    // The local header's copy of the same facts.
    juce::String localName;
    std::uint32_t localVersionNeeded, localFlags, localMethod, localTime, localDate;
    std::uint32_t localCrc, localCompressedSize, localSize, localExtraLength;
    size_t dataOffset;
};

struct Archive
{
    size_t endRecordOffset;
    std::uint32_t diskNumber, directoryDisk, entriesOnDisk, totalEntries, directorySize, directoryOffset, commentLength;
    std::vector<Entry> entries;
};

size_t findEndRecord (const ArchiveData& a)
{
    REQUIRE (a.size >= 22);

    // Searched backwards like any reader does, so trailing bytes after the record would show.
    for (size_t offset = a.size - 22;; --offset)
    {
        if (u32At (a, offset) == 0x06054b50)
            return offset;

        REQUIRE (offset > 0);
        REQUIRE (a.size - offset < 22 + 0x10000);
    }
}

void readLocalHeader (const ArchiveData& a, Entry& e)
{
    const auto p = static_cast<size_t> (e.localOffset);
    REQUIRE (u32At (a, p) == 0x04034b50);
    e.localVersionNeeded = u16At (a, p + 4);
    e.localFlags = u16At (a, p + 6);
    e.localMethod = u16At (a, p + 8);
    e.localTime = u16At (a, p + 10);
    e.localDate = u16At (a, p + 12);
    e.localCrc = u32At (a, p + 14);
    e.localCompressedSize = u32At (a, p + 18);
    e.localSize = u32At (a, p + 22);
    const auto nameLength = u16At (a, p + 26);
    e.localExtraLength = u16At (a, p + 28);
    e.localName = textAt (a, p + 30, nameLength);
    e.dataOffset = p + 30 + nameLength + e.localExtraLength;
    REQUIRE (e.dataOffset + e.compressedSize <= a.size);
}

Entry readCentralEntry (const ArchiveData& a, size_t& p)
{
    REQUIRE (u32At (a, p) == 0x02014b50);
    Entry e {};
    e.versionMadeBy = u16At (a, p + 4);
    e.versionNeeded = u16At (a, p + 6);
    e.flags = u16At (a, p + 8);
    e.method = u16At (a, p + 10);
    e.time = u16At (a, p + 12);
    e.date = u16At (a, p + 14);
    e.crc = u32At (a, p + 16);
    e.compressedSize = u32At (a, p + 20);
    e.size = u32At (a, p + 24);
    const auto nameLength = u16At (a, p + 28);
    e.extraLength = u16At (a, p + 30);
    e.commentLength = u16At (a, p + 32);
    e.diskStart = u16At (a, p + 34);
    e.internalAttributes = u16At (a, p + 36);
    e.externalAttributes = u32At (a, p + 38);
    e.localOffset = u32At (a, p + 42);
    e.name = textAt (a, p + 46, nameLength);
    p += 46 + nameLength + e.extraLength + e.commentLength;
    readLocalHeader (a, e);
    return e;
}

Archive parseArchive (const ArchiveData& a)
{
    Archive archive {};
    const auto end = findEndRecord (a);
    archive.endRecordOffset = end;
    archive.diskNumber = u16At (a, end + 4);
    archive.directoryDisk = u16At (a, end + 6);
    archive.entriesOnDisk = u16At (a, end + 8);
    archive.totalEntries = u16At (a, end + 10);
    archive.directorySize = u32At (a, end + 12);
    archive.directoryOffset = u32At (a, end + 16);
    archive.commentLength = u16At (a, end + 20);

    auto p = static_cast<size_t> (archive.directoryOffset);

    for (std::uint32_t i = 0; i < archive.totalEntries; ++i)
        archive.entries.push_back (readCentralEntry (a, p));

    CHECK (p == static_cast<size_t> (archive.directoryOffset) + archive.directorySize);
    return archive;
}

Bytes inflateEntry (const ArchiveData& a, const Entry& e)
{
    // One spare byte shows an entry that inflates to more than its recorded size.
    Bytes out (static_cast<size_t> (e.size) + 1);

    if (e.method == 0)
    {
        REQUIRE (e.compressedSize == e.size);
        out.assign (a.data + e.dataOffset, a.data + e.dataOffset + e.size);
        return out;
    }

    REQUIRE (e.method == 8);
    z_stream zs {};
    REQUIRE (inflateInit2 (&zs, -15) == Z_OK);
    zs.next_in = const_cast<Bytef*> (a.data + e.dataOffset);
    zs.avail_in = static_cast<uInt> (e.compressedSize);
    zs.next_out = out.data();
    zs.avail_out = static_cast<uInt> (out.size());
    const auto result = inflate (&zs, Z_FINISH);
    const auto produced = zs.total_out;
    const auto consumed = zs.total_in;
    inflateEnd (&zs);

    REQUIRE (result == Z_STREAM_END);
    CHECK (consumed == e.compressedSize);
    out.resize (produced);
    return out;
}

Bytes inflateNamed (const ArchiveData& a, const juce::String& name)
{
    const auto archive = parseArchive (a);

    for (const auto& e : archive.entries)
        if (e.name == name)
            return inflateEntry (a, e);

    FAIL ("no entry named " << name);
    return {};
}

std::uint32_t crcOf (const Bytes& b)
{
    return static_cast<std::uint32_t> (crc32 (0, b.data(), static_cast<uInt> (b.size())));
}

//==============================================================================
struct ExpectedEntry
{
    const char* name;
    std::uint32_t method;
    std::int64_t size;  // negative: any non-zero size
};

const std::vector<ExpectedEntry> vst3Entries {
    { "Glass Tundra Lights.vst3\\Contents\\", 0, 0 },
    { "Glass Tundra Lights.vst3\\desktop.ini", 8, 80 },
    { "Glass Tundra Lights.vst3\\Plugin.ico", 8, -1 },
    { "Glass Tundra Lights.vst3\\Contents\\Resources\\moduleinfo.json", 8, -1 },
    { "Glass Tundra Lights.vst3\\Contents\\x86_64-win\\Glass Tundra Lights.vst3", 8, 16909792 },
};

const std::vector<ExpectedEntry> clapEntries {
    { "Glass Tundra Lights.clap", 8, 16556512 },
};

const std::vector<ExpectedEntry> aaxEntries {
    { "Glass Tundra Lights.aaxplugin\\Contents\\", 0, 0 },
    { "Glass Tundra Lights.aaxplugin\\desktop.ini", 8, 80 },
    { "Glass Tundra Lights.aaxplugin\\Plugin.ico", 8, -1 },
    { "Glass Tundra Lights.aaxplugin\\Contents\\x64\\Glass Tundra Lights.aaxplugin", 8, 16692840 },
};

void checkEndRecord (const ArchiveData& a, const Archive& archive)
{
    CHECK (archive.endRecordOffset + 22 == a.size);
    CHECK (archive.commentLength == 0);
    CHECK (archive.diskNumber == 0);
    CHECK (archive.directoryDisk == 0);
    CHECK (archive.entriesOnDisk == archive.totalEntries);
    CHECK (static_cast<size_t> (archive.directoryOffset) + archive.directorySize == archive.endRecordOffset);
}

void checkHeaderFields (const Entry& e, const Entry& first)
{
    CHECK (e.versionMadeBy == 20);
    CHECK (e.versionNeeded == 20);
    CHECK (e.flags == 0);
    CHECK (e.extraLength == 0);
    CHECK (e.commentLength == 0);
    CHECK (e.diskStart == 0);
    CHECK (e.internalAttributes == 0);
    CHECK (e.externalAttributes == 0);
    CHECK (e.time == first.time);
    CHECK (e.date == first.date);
    CHECK (! e.name.containsChar ('/'));
}

void checkLocalHeaderMatches (const Entry& e)
{
    CHECK (e.localName == e.name);
    CHECK (e.localVersionNeeded == e.versionNeeded);
    CHECK (e.localFlags == 0);
    CHECK (e.localMethod == e.method);
    CHECK (e.localTime == e.time);
    CHECK (e.localDate == e.date);
    CHECK (e.localCrc == e.crc);
    CHECK (e.localCompressedSize == e.compressedSize);
    CHECK (e.localSize == e.size);
    CHECK (e.localExtraLength == 0);
}

void checkExpectedEntry (const Entry& e, const ExpectedEntry& expected)
{
    CHECK (e.name == juce::String (expected.name));
    CHECK (e.method == expected.method);

    if (expected.size >= 0)
    {
        CHECK (static_cast<std::int64_t> (e.size) == expected.size);
    }
    else
    {
        CHECK (e.size > 0);
    }

    if (e.name.endsWithChar ('\\'))
    {
        CHECK (e.method == 0);
        CHECK (e.size == 0);
        CHECK (e.compressedSize == 0);
        CHECK (e.crc == 0);
    }
}

void checkArchiveLayout (const ArchiveData& a, const std::vector<ExpectedEntry>& expected)
{
    const auto archive = parseArchive (a);
    checkEndRecord (a, archive);
    REQUIRE (archive.entries.size() == expected.size());

    size_t nextLocalHeader = 0;

    for (size_t i = 0; i < expected.size(); ++i)
    {
        const auto& e = archive.entries[i];
        INFO ("entry " << i << ": " << e.name);
        checkExpectedEntry (e, expected[i]);
        checkHeaderFields (e, archive.entries.front());
        checkLocalHeaderMatches (e);

        CHECK (e.localOffset == nextLocalHeader);
        nextLocalHeader = e.dataOffset + e.compressedSize;
    }

    CHECK (nextLocalHeader == archive.directoryOffset);
}

void checkEntriesInflate (const ArchiveData& a)
{
    const auto archive = parseArchive (a);
    REQUIRE (! archive.entries.empty());

    for (const auto& e : archive.entries)
    {
        INFO (e.name);
        const auto content = inflateEntry (a, e);
        CHECK (content.size() == e.size);
        CHECK (crcOf (content) == e.crc);
    }
}

bool validDosStamp (std::uint32_t date, std::uint32_t time)
{
    const auto month = (date >> 5) & 15, day = date & 31, year = 1980 + (date >> 9);
    const auto hours = time >> 11, minutes = (time >> 5) & 63, seconds = 2 * (time & 31);
    return year >= 2020 && month >= 1 && month <= 12 && day >= 1 && hours < 24 && minutes < 60 && seconds < 60;
}

//==============================================================================
void checkDibImage (const Bytes& icon, std::uint32_t offset, std::uint32_t length, std::uint32_t size)
{
    const ArchiveData view { icon.data(), icon.size() };
    const auto maskStride = (size + 31) / 32 * 4;
    CHECK (length == 40 + size * size * 4 + maskStride * size);
    CHECK (u32At (view, offset) == 40);
    CHECK (u32At (view, offset + 4) == size);
    CHECK (u32At (view, offset + 8) == size * 2);
    CHECK (u16At (view, offset + 12) == 1);
    CHECK (u16At (view, offset + 14) == 32);
    CHECK (u32At (view, offset + 16) == 0);
}

std::uint32_t bigEndian32 (const Bytes& b, size_t offset)
{
    REQUIRE (offset + 4 <= b.size());
    return (static_cast<std::uint32_t> (b[offset]) << 24) | (static_cast<std::uint32_t> (b[offset + 1]) << 16)
         | (static_cast<std::uint32_t> (b[offset + 2]) << 8) | b[offset + 3];
}

void checkPngImage (const Bytes& icon, std::uint32_t offset, std::uint32_t length)
{
    static const Bytes signature { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n' };
    REQUIRE (length > 33);
    CHECK (Bytes (icon.begin() + offset, icon.begin() + offset + 8) == signature);
    CHECK (juce::String (reinterpret_cast<const char*> (icon.data() + offset + 12), 4) == "IHDR");
    CHECK (bigEndian32 (icon, offset + 16) == 256);
    CHECK (bigEndian32 (icon, offset + 20) == 256);
    CHECK (icon[offset + 24] == 8);  // bit depth
    CHECK (icon[offset + 25] == 6);  // RGBA
    CHECK (juce::String (reinterpret_cast<const char*> (icon.data() + offset + length - 8), 4) == "IEND");
}

void checkIcon (const Bytes& icon)
{
    const ArchiveData view { icon.data(), icon.size() };
    CHECK (u16At (view, 0) == 0);
    CHECK (u16At (view, 2) == 1);
    REQUIRE (u16At (view, 4) == 4);

    const std::uint32_t sizes[] = { 16, 32, 48, 256 };

    for (std::uint32_t i = 0; i < 4; ++i)
    {
        const auto entry = 6 + 16 * i;
        INFO ("image " << i);
        CHECK (icon[entry] == (sizes[i] & 0xff));
        CHECK (icon[entry + 1] == (sizes[i] & 0xff));
        CHECK (u16At (view, entry + 4) == 1);
        CHECK (u16At (view, entry + 6) == 32);

        const auto length = u32At (view, entry + 8);
        const auto offset = u32At (view, entry + 12);
        REQUIRE (static_cast<size_t> (offset) + length <= icon.size());

        if (sizes[i] == 256)
        {
            checkPngImage (icon, offset, length);
        }
        else
        {
            checkDibImage (icon, offset, length, sizes[i]);
        }
    }
}

juce::String jsonString (const juce::var& object, const char* key)
{
    return object.getProperty (juce::Identifier (key), {}).toString();
}

bool isCid (const juce::String& s)
{
    return s.length() == 32 && s.containsOnly ("0123456789abcdefABCDEF");
}

void checkModuleInfo (const Bytes& json)
{
    for (auto c : json)
        REQUIRE (c < 0x80);

    juce::var info;
    const auto parsed =
        juce::JSON::parse (juce::String (reinterpret_cast<const char*> (json.data()), json.size()), info);
    REQUIRE (parsed.wasOk());

    CHECK (jsonString (info, "Name") == "Glass Tundra Lights");
    CHECK (jsonString (info, "Version") == "1.0.12");

    const auto factory = info["Factory Info"];
    CHECK (jsonString (factory, "Vendor") == "Tovin Drift");
    CHECK (jsonString (factory, "URL") == "https://tovindrift.com");
    CHECK (jsonString (factory, "E-Mail") == "support@tovindrift.com");
    CHECK (factory["Flags"].isObject());
    CHECK (info["Compatibility"].isArray());

    const auto* classes = info["Classes"].getArray();
    REQUIRE (classes != nullptr);
    REQUIRE (classes->size() == 2);

    const auto& processor = classes->getReference (0);
    const auto& controller = classes->getReference (1);
    CHECK (jsonString (processor, "Category") == "Audio Module Class");
    CHECK (processor["Sub Categories"].getArray() != nullptr);
    CHECK (processor["Sub Categories"][0].toString() == "Fx");
    CHECK (jsonString (controller, "Category") == "Component Controller Class");

    for (const auto& c : *classes)
    {
        CHECK (isCid (jsonString (c, "CID")));
        CHECK (jsonString (c, "Vendor") == "Tovin Drift");
        CHECK (jsonString (c, "Version") == "1.0.12");
        CHECK (jsonString (c, "Name").isNotEmpty());
        CHECK (jsonString (c, "SDKVersion").isNotEmpty());
        CHECK (c.hasProperty ("Class Flags"));
        CHECK (c.hasProperty ("Cardinality"));
        CHECK (c["Snapshots"].isArray());
    }

    CHECK (jsonString (processor, "CID") != jsonString (controller, "CID"));
}
}  // namespace

//==============================================================================
TEST_CASE ("Product archives are plain ZIP files with the expected entries", "[archives]")
{
    SECTION ("vst3.zip")
    {
        checkArchiveLayout (vst3Archive(), vst3Entries);
    }

    SECTION ("clap.zip")
    {
        checkArchiveLayout (clapArchive(), clapEntries);
    }

    SECTION ("aax.zip")
    {
        checkArchiveLayout (aaxArchive(), aaxEntries);
    }

    SECTION ("all archives share one valid time stamp")
    {
        const auto first = parseArchive (vst3Archive()).entries.at (0);
        CHECK (validDosStamp (first.date, first.time));

        for (const auto& archive : { clapArchive(), aaxArchive() })
        {
            const auto entry = parseArchive (archive).entries.at (0);
            CHECK (entry.date == first.date);
            CHECK (entry.time == first.time);
        }
    }
}

TEST_CASE ("Every archive entry inflates to its recorded size and CRC", "[archives]")
{
    SECTION ("vst3.zip")
    {
        checkEntriesInflate (vst3Archive());
    }
    SECTION ("clap.zip")
    {
        checkEntriesInflate (clapArchive());
    }
    SECTION ("aax.zip")
    {
        checkEntriesInflate (aaxArchive());
    }
}

TEST_CASE ("Bundle payload files have the expected content", "[archives]")
{
    SECTION ("desktop.ini points the folder at its icon")
    {
        const std::string expected = "[.ShellClassInfo]\r\n"
                                     "IconResource=Plugin.ico,0\r\n"
                                     "IconFile=Plugin.ico\r\n"
                                     "IconIndex=0\r\n";
        REQUIRE (expected.size() == 80);

        for (const auto& [archive, bundle] : { std::pair { vst3Archive(), "Glass Tundra Lights.vst3" },
                                               std::pair { aaxArchive(), "Glass Tundra Lights.aaxplugin" } })
        {
            const auto content = inflateNamed (archive, juce::String (bundle) + "\\desktop.ini");
            CHECK (std::string (content.begin(), content.end()) == expected);
        }
    }

    SECTION ("Plugin.ico holds 16, 32 and 48 pixel bitmaps and a 256 pixel PNG")
    {
        const auto vst3Icon = inflateNamed (vst3Archive(), "Glass Tundra Lights.vst3\\Plugin.ico");
        const auto aaxIcon = inflateNamed (aaxArchive(), "Glass Tundra Lights.aaxplugin\\Plugin.ico");
        checkIcon (vst3Icon);
        CHECK (aaxIcon == vst3Icon);
    }

    SECTION ("moduleinfo.json describes the product and its two classes")
    {
        checkModuleInfo (
            inflateNamed (vst3Archive(), "Glass Tundra Lights.vst3\\Contents\\Resources\\moduleinfo.json"));
    }
}
