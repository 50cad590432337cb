#include <catch2/catch_test_macros.hpp>
#include <juce_core/juce_core.h>
#include <zlib.h>

#include "BinaryData.h"
#include "install/PeVersionReader.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <vector>

namespace
{
using Bytes = std::vector<std::uint8_t>;

std::uint32_t get16 (const Bytes& b, size_t offset)
{
    REQUIRE (offset + 2 <= b.size());
    return static_cast<std::uint32_t> (b[offset]) | (static_cast<std::uint32_t> (b[offset + 1]) << 8);
}

std::uint32_t get32 (const Bytes& b, size_t offset)
{
    return get16 (b, offset) | (get16 (b, offset + 2) << 16);
}

void put16 (Bytes& b, size_t offset, std::uint32_t value)
{
    REQUIRE (offset + 2 <= b.size());
    b[offset] = static_cast<std::uint8_t> (value & 0xffu);
    b[offset + 1] = static_cast<std::uint8_t> ((value >> 8) & 0xffu);
}

void put32 (Bytes& b, size_t offset, std::uint32_t value)
{
    put16 (b, offset, value & 0xffffu);
    put16 (b, offset + 2, value >> 16);
}

juce::String versionOf (const Bytes& image, size_t length)
{
    juce::MemoryInputStream stream (image.data(), std::min (length, image.size()), false);
    return PeVersionReader::readFileVersion (stream);
}

juce::String versionOf (const Bytes& image)
{
    return versionOf (image, image.size());
}

//==============================================================================
// Just enough ZIP reading to get one module out of an embedded archive; the
// archive format tests check the layout this relies on.
Bytes inflateFromArchive (const char* zipData, int zipSize, const juce::String& name)
{
    const Bytes zip (zipData, zipData + zipSize);
    const auto endRecord = zip.size() - 22;
    REQUIRE (get32 (zip, endRecord) == 0x06054b50);

    auto p = static_cast<size_t> (get32 (zip, endRecord + 16));

    for (std::uint32_t i = 0, n = get16 (zip, endRecord + 10); i < n; ++i)
    {
        const auto nameLength = get16 (zip, p + 28);
        const auto next = p + 46 + nameLength + get16 (zip, p + 30) + get16 (zip, p + 32);
        REQUIRE (p + 46 + nameLength <= zip.size());

        if (juce::String (reinterpret_cast<const char*> (zip.data() + p + 46), nameLength) == name)
        {
            const auto local = static_cast<size_t> (get32 (zip, p + 42));
            const auto dataStart = local + 30 + get16 (zip, local + 26) + get16 (zip, local + 28);
            Bytes out (get32 (zip, p + 24));

            z_stream zs {};
            REQUIRE (inflateInit2 (&zs, -15) == Z_OK);
            zs.next_in = const_cast<Bytef*> (zip.data() + dataStart);
            zs.avail_in = static_cast<uInt> (get32 (zip, p + 20));
            zs.next_out = out.data();
            zs.avail_out = static_cast<uInt> (out.size());
            const auto result = inflate (&zs, Z_FINISH);
            inflateEnd (&zs);
            REQUIRE (result == Z_STREAM_END);
            return out;
        }

        p = next;
    }

    FAIL ("no entry named " << name);
    return {};
}

const Bytes& aaxModule()
{
    static const auto module =
        inflateFromArchive (BinaryData::aax_zip, BinaryData::aax_zipSize,
                            "Glass Tundra Lights.aaxplugin\\Contents\\x64\\Glass Tundra Lights.aaxplugin");
    return module;
}

/** File offset just past the raw data of the module's last section. */
size_t endOfSections (const Bytes& module)
{
    const auto pe = static_cast<size_t> (get32 (module, 0x3c));
    const auto numSections = get16 (module, pe + 6);
    const auto table = pe + 24 + get16 (module, pe + 20);
    size_t end = 0;

    for (size_t i = 0; i < numSections; ++i)
        end = std::max (end, static_cast<size_t> (get32 (module, table + 40 * i + 20))
                                 + get32 (module, table + 40 * i + 16));

    return end;
}

size_t versionInfoOffset (const Bytes& module)
{
    static const juce::String key ("VS_VERSION_INFO");
    Bytes utf16;

    for (auto c : key)
        utf16.insert (utf16.end(), { static_cast<std::uint8_t> (c), 0 });

    const auto found = std::search (module.begin(), module.end(), utf16.begin(), utf16.end());
    REQUIRE (found != module.end());
    return static_cast<size_t> (found - module.begin()) - 6;
}

//==============================================================================
// A small hand-made image with one .rsrc section, laid out as a linker would:
// root (one named type, RT_ICON, RT_VERSION) -> ID 1 -> language 0x0409 ->
// data entry -> VS_VERSIONINFO. Offsets are kept so tests can damage it.
struct TestImage
{
    static constexpr size_t peHeader = 0x80;
    static constexpr size_t coffHeader = peHeader + 4;
    static constexpr size_t optionalHeader = coffHeader + 20;
    static constexpr size_t resources = 0x200;
    static constexpr std::uint32_t sectionRva = 0x1000;

    // Offsets inside the resource section.
    static constexpr std::uint32_t rootEntries = 0x10, nameDirectory = 0x28, languageDirectory = 0x40;
    static constexpr std::uint32_t dataEntry = 0x58, typeName = 0x68, versionInfo = 0x78, versionInfoSize = 92;

    Bytes bytes = Bytes (0x400, 0);
    size_t optionalHeaderSize = 0, directories = 0, sectionTable = 0;
};

enum class Content
{
    version,
    noResources,
    noVersionType
};

void writeHeaders (TestImage& image, bool pe32Plus, Content content)
{
    auto& b = image.bytes;
    b[0] = 'M';
    b[1] = 'Z';
    put32 (b, 0x3c, TestImage::peHeader);
    b[TestImage::peHeader] = 'P';
    b[TestImage::peHeader + 1] = 'E';

    image.optionalHeaderSize = pe32Plus ? 240 : 224;
    image.directories = TestImage::optionalHeader + (pe32Plus ? 112 : 96);
    image.sectionTable = TestImage::optionalHeader + image.optionalHeaderSize;

    const auto c = TestImage::coffHeader;
    put16 (b, c, pe32Plus ? 0x8664 : 0x14c);
    put16 (b, c + 2, 1);
    put16 (b, c + 16, static_cast<std::uint32_t> (image.optionalHeaderSize));
    put16 (b, c + 18, pe32Plus ? 0x2022 : 0x2102);

    const auto o = TestImage::optionalHeader;
    put16 (b, o, pe32Plus ? 0x20b : 0x10b);
    put32 (b, o + 32, 0x1000);
    put32 (b, o + 36, 0x200);
    put32 (b, o + 56, 0x2000);
    put32 (b, o + 60, 0x200);
    put32 (b, image.directories - 4, 16);

    if (content != Content::noResources)
    {
        put32 (b, image.directories + 16, TestImage::sectionRva);
        put32 (b, image.directories + 20, TestImage::versionInfo + TestImage::versionInfoSize);
    }

    const auto s = image.sectionTable;
    std::copy_n (".rsrc", 5, b.begin() + static_cast<std::ptrdiff_t> (s));
    put32 (b, s + 8, TestImage::versionInfo + TestImage::versionInfoSize);
    put32 (b, s + 12, TestImage::sectionRva);
    put32 (b, s + 16, 0x200);
    put32 (b, s + 20, TestImage::resources);
    put32 (b, s + 36, 0x40000040);
}

void writeDirectory (Bytes& b, size_t at, std::uint32_t numNamed, std::uint32_t numIds)
{
    put16 (b, at + 12, numNamed);
    put16 (b, at + 14, numIds);
}

void writeResources (TestImage& image, Content content, std::uint32_t versionMS, std::uint32_t versionLS)
{
    constexpr std::uint32_t subdirectory = 0x80000000u;
    auto& b = image.bytes;
    const auto r = TestImage::resources;

    writeDirectory (b, r, 1, 2);
    put32 (b, r + 0x10, subdirectory | TestImage::typeName);
    put32 (b, r + 0x14, subdirectory | TestImage::nameDirectory);
    put32 (b, r + 0x18, 3);
    put32 (b, r + 0x1c, subdirectory | TestImage::nameDirectory);
    put32 (b, r + 0x20, content == Content::noVersionType ? 14 : 16);
    put32 (b, r + 0x24, subdirectory | TestImage::nameDirectory);

    writeDirectory (b, r + TestImage::nameDirectory, 0, 1);
    put32 (b, r + TestImage::nameDirectory + 16, 1);
    put32 (b, r + TestImage::nameDirectory + 20, subdirectory | TestImage::languageDirectory);

    writeDirectory (b, r + TestImage::languageDirectory, 0, 1);
    put32 (b, r + TestImage::languageDirectory + 16, 0x0409);
    put32 (b, r + TestImage::languageDirectory + 20, TestImage::dataEntry);

    put32 (b, r + TestImage::dataEntry, TestImage::sectionRva + TestImage::versionInfo);
    put32 (b, r + TestImage::dataEntry + 4, TestImage::versionInfoSize);

    put16 (b, r + TestImage::typeName, 4);
    for (size_t i = 0; i < 4; ++i)
        put16 (b, r + TestImage::typeName + 2 + 2 * i, static_cast<std::uint32_t> ("ICON"[i]));

    const auto v = r + TestImage::versionInfo;
    put16 (b, v, TestImage::versionInfoSize);
    put16 (b, v + 2, 52);
    const char key[] = "VS_VERSION_INFO";
    for (size_t i = 0; i < sizeof (key); ++i)
        put16 (b, v + 6 + 2 * i, static_cast<std::uint32_t> (key[i]));

    put32 (b, v + 40, 0xfeef04bd);
    put32 (b, v + 44, 0x00010000);
    put32 (b, v + 48, versionMS);
    put32 (b, v + 52, versionLS);
    put32 (b, v + 56, versionMS);
    put32 (b, v + 60, versionLS);
}

TestImage makeImage (bool pe32Plus, Content content = Content::version, std::uint32_t versionMS = 0x00020003,
                     std::uint32_t versionLS = 0x00040005)
{
    TestImage image;
    writeHeaders (image, pe32Plus, content);
    writeResources (image, content, versionMS, versionLS);
    return image;
}

/** Checks that the intact image reads fine and that each damaged copy reads as empty. */
void checkDamageGivesEmpty (const std::vector<std::function<void (TestImage&)>>& damages)
{
    for (const auto pe32Plus : { false, true })
    {
        REQUIRE (versionOf (makeImage (pe32Plus).bytes) == "2.3.4.5");

        for (size_t i = 0; i < damages.size(); ++i)
        {
            INFO ("damage " << i << (pe32Plus ? " (PE32+)" : " (PE32)"));
            auto image = makeImage (pe32Plus);
            damages[i](image);
            CHECK (versionOf (image.bytes) == "");
        }
    }
}

std::function<void (TestImage&)> set16 (std::function<size_t (const TestImage&)> where, std::uint32_t value)
{
    return [where, value] (TestImage& image) { put16 (image.bytes, where (image), value); };
}

std::function<void (TestImage&)> set32 (std::function<size_t (const TestImage&)> where, std::uint32_t value)
{
    return [where, value] (TestImage& image) { put32 (image.bytes, where (image), value); };
}

std::function<size_t (const TestImage&)> fixed (size_t offset)
{
    return [offset] (const TestImage&) { return offset; };
}

std::function<size_t (const TestImage&)> inResources (size_t offset)
{
    return fixed (TestImage::resources + offset);
}

//==============================================================================
class CountingStream final : public juce::InputStream
{
public:
    explicit CountingStream (const Bytes& data) : inner (data.data(), data.size(), false) {}

    // Laid out as a table: one line per forwarded call.
    // clang-format off
    juce::int64 getTotalLength() override        { return inner.getTotalLength(); }
    bool isExhausted() override                  { return inner.isExhausted(); }
    juce::int64 getPosition() override           { return inner.getPosition(); }
    bool setPosition (juce::int64 pos) override  { return inner.setPosition (pos); }
    // clang-format on

    int read (void* dest, int numBytes) override
    {
        const auto got = inner.read (dest, numBytes);
        bytesRead += static_cast<size_t> (std::max (got, 0));
        return got;
    }

    size_t bytesRead = 0;

private:
    juce::MemoryInputStream inner;
};
}  // namespace

//==============================================================================
TEST_CASE ("The file version of the shipped modules", "[pe]")
{
    SECTION ("the AAX module carries version 1.0.12.0")
    {
        CHECK (versionOf (aaxModule()) == "1.0.12.0");
    }

    SECTION ("the AAX module is read from disk")
    {
        juce::TemporaryFile temporary (".aaxplugin");
        REQUIRE (temporary.getFile().replaceWithData (aaxModule().data(), aaxModule().size()));
        CHECK (PeVersionReader::readFileVersion (temporary.getFile()) == "1.0.12.0");
    }

    SECTION ("the CLAP and VST3 modules carry no version resource")
    {
        const auto clap =
            inflateFromArchive (BinaryData::clap_zip, BinaryData::clap_zipSize, "Glass Tundra Lights.clap");
        CHECK (clap.size() == 16556512);
        CHECK (versionOf (clap) == "");

        const auto vst3 =
            inflateFromArchive (BinaryData::vst3_zip, BinaryData::vst3_zipSize,
                                "Glass Tundra Lights.vst3\\Contents\\x86_64-win\\Glass Tundra Lights.vst3");
        CHECK (vst3.size() == 16909792);
        CHECK (versionOf (vst3) == "");
    }

    SECTION ("only a few kilobytes of a 16 MB module are read")
    {
        CountingStream stream (aaxModule());
        CHECK (PeVersionReader::readFileVersion (stream) == "1.0.12.0");
        CHECK (stream.bytesRead > 0);
        CHECK (stream.bytesRead <= 8192);
    }
}

TEST_CASE ("PE32 and PE32+ version resources", "[pe]")
{
    SECTION ("PE32")
    {
        CHECK (versionOf (makeImage (false).bytes) == "2.3.4.5");
    }

    SECTION ("PE32+ with the full 16-bit range of each part")
    {
        CHECK (versionOf (makeImage (true, Content::version, 0xffff0000, 0x0001fffe).bytes) == "65535.0.1.65534");
    }

    SECTION ("no resources at all")
    {
        CHECK (versionOf (makeImage (false, Content::noResources).bytes) == "");
        CHECK (versionOf (makeImage (true, Content::noResources).bytes) == "");
    }

    SECTION ("resources but no version resource")
    {
        CHECK (versionOf (makeImage (false, Content::noVersionType).bytes) == "");
        CHECK (versionOf (makeImage (true, Content::noVersionType).bytes) == "");
    }
}

TEST_CASE ("Damaged or hostile images give an empty version", "[pe]")
{
    SECTION ("truncated copies of the AAX module")
    {
        const auto& module = aaxModule();
        const auto complete = endOfSections (module);
        REQUIRE (versionInfoOffset (module) < complete);
        REQUIRE (complete <= module.size());

        std::vector<size_t> cuts;

        for (size_t cut = 0; cut < 0x400; ++cut)
            cuts.push_back (cut);

        for (size_t cut = complete - 0x400; cut <= module.size(); ++cut)
            cuts.push_back (cut);

        for (size_t step = 1; step < 256; ++step)
            cuts.push_back (module.size() / 256 * step);

        for (const auto cut : cuts)
        {
            INFO ("cut at " << cut);
            CHECK (versionOf (module, cut) == (cut >= complete ? "1.0.12.0" : ""));
        }
    }

    SECTION ("random byte flips in the headers and the resource tree")
    {
        auto module = aaxModule();
        const auto versionInfo = versionInfoOffset (module);
        const auto resourceTree = versionInfo - 0x58;
        juce::Random random (0x5eed);
        int empty = 0, intact = 0;

        for (int trial = 0; trial < 3000; ++trial)
        {
            // Headers, the tree, and the version block up to its signature; never the version numbers.
            const auto position = trial % 2 == 0 ? static_cast<size_t> (random.nextInt (0x200))
                                                 : resourceTree + static_cast<size_t> (random.nextInt (0x58 + 44));
            const auto mask = static_cast<std::uint8_t> (1 + random.nextInt (255));

            module[position] ^= mask;
            const auto version = versionOf (module);
            module[position] ^= mask;

            INFO ("flip " << (int) mask << " at " << position);
            CHECK ((version == "" || version == "1.0.12.0"));
            (version == "" ? empty : intact)++;
        }

        CHECK (empty > 0);
        CHECK (intact > 0);
        CHECK (versionOf (module) == "1.0.12.0");
    }

    SECTION ("resource directories that loop or go too deep")
    {
        constexpr std::uint32_t sub = 0x80000000u;
        checkDamageGivesEmpty ({
            set32 (inResources (0x24), sub | 0),                                                  // type -> root
            set32 (inResources (TestImage::nameDirectory + 20), sub | TestImage::nameDirectory),  // name -> itself
            set32 (inResources (TestImage::nameDirectory + 20), sub | 0),                         // name -> root
            set32 (inResources (TestImage::languageDirectory + 20), sub | TestImage::languageDirectory),
            set32 (inResources (TestImage::languageDirectory + 20), sub | 0),
            set32 (inResources (TestImage::languageDirectory + 20),
                   TestImage::nameDirectory),                  // data entry on a directory
            set32 (inResources (0x24), TestImage::dataEntry),  // type entry is a leaf
        });
    }

    SECTION ("bogus e_lfanew")
    {
        checkDamageGivesEmpty ({
            set32 (fixed (0x3c), 0),
            set32 (fixed (0x3c), 0x3f),
            set32 (fixed (0x3c), 0x40),
            set32 (fixed (0x3c), 0x3fe),
            set32 (fixed (0x3c), 0x400),
            set32 (fixed (0x3c), 0x10004),
            set32 (fixed (0x3c), 0x7fffffff),
            set32 (fixed (0x3c), 0xffffffff),
        });

        auto module = aaxModule();
        put32 (module, 0x3c, 0xfffffff0);
        CHECK (versionOf (module) == "");
    }

    SECTION ("header counts and sizes out of range")
    {
        const auto numSections = fixed (TestImage::coffHeader + 2);
        const auto optionalSize = fixed (TestImage::coffHeader + 16);
        const auto numDirectories = [] (const TestImage& i) { return i.directories - 4; };
        const auto resourceRva = [] (const TestImage& i) { return i.directories + 16; };
        const auto resourceSize = [] (const TestImage& i) { return i.directories + 20; };
        const auto rawPointer = [] (const TestImage& i) { return i.sectionTable + 20; };
        const auto sectionVa = [] (const TestImage& i) { return i.sectionTable + 12; };

        checkDamageGivesEmpty ({
            set16 (fixed (0), 0x4d5a),
            set16 (fixed (TestImage::peHeader), 0x4551),
            set16 (numSections, 0),
            set16 (numSections, 97),
            set16 (numSections, 0xffff),
            set16 (optionalSize, 0),
            set16 (optionalSize, 95),
            set16 (optionalSize, 0xffff),
            set16 (fixed (TestImage::optionalHeader), 0x107),
            set32 (numDirectories, 0),
            set32 (numDirectories, 2),
            set32 (numDirectories, 17),
            set32 (numDirectories, 0xffffffff),
            set32 (resourceRva, 0),
            set32 (resourceRva, 0x5000),
            set32 (resourceRva, 0xffffffff),
            set32 (resourceSize, 0),
            set32 (resourceSize, 16),
            set32 (rawPointer, 0x300),
            set32 (rawPointer, 0xfffffe00),
            set32 (sectionVa, 0x2000),
        });
    }

    SECTION ("resource entry counts and version block fields out of range")
    {
        const auto v = TestImage::versionInfo;
        checkDamageGivesEmpty ({
            set32 (inResources (12), 0),
            set32 (inResources (14), 0xffff),
            set16 (inResources (12), 0xffff),
            set16 (inResources (TestImage::nameDirectory + 14), 0),
            set16 (inResources (TestImage::languageDirectory + 14), 0x1000),
            set32 (inResources (TestImage::dataEntry), 0),
            set32 (inResources (TestImage::dataEntry), 0x1000 + 0x1f0),
            set32 (inResources (TestImage::dataEntry + 4), 0),
            set32 (inResources (TestImage::dataEntry + 4), 91),
            set32 (inResources (TestImage::dataEntry + 4), 0x7fffffff),
            set16 (inResources (v), 91),
            set16 (inResources (v), 0xffff),
            set16 (inResources (v + 2), 0),
            set16 (inResources (v + 2), 60),
            set16 (inResources (v + 6), 'W'),
            set16 (inResources (v + 36), 'X'),
            set32 (inResources (v + 40), 0xfeef04bc),
        });
    }

    SECTION ("not a PE image at all")
    {
        CHECK (versionOf (Bytes()) == "");
        CHECK (versionOf (Bytes { 'M', 'Z' }) == "");
        CHECK (versionOf (Bytes (0x1000, 0)) == "");

        const juce::String text ("This is a plain text file that happens to be long enough to hold headers.");
        CHECK (versionOf (Bytes (text.toRawUTF8(), text.toRawUTF8() + text.getNumBytesAsUTF8())) == "");
    }

    SECTION ("missing file, empty file and folder")
    {
        const auto temp = juce::File::getSpecialLocation (juce::File::tempDirectory);
        CHECK (PeVersionReader::readFileVersion (temp.getNonexistentChildFile ("missing", ".vst3")) == "");
        CHECK (PeVersionReader::readFileVersion (juce::File()) == "");

        juce::TemporaryFile empty (".aaxplugin");
        REQUIRE (empty.getFile().create().wasOk());
        CHECK (PeVersionReader::readFileVersion (empty.getFile()) == "");

        juce::TemporaryFile folder (".vst3");
        REQUIRE (folder.getFile().createDirectory().wasOk());
        CHECK (PeVersionReader::readFileVersion (folder.getFile()) == "");
    }
}

// Writes the version reader's fuzzing seeds from the hand-made images; run on purpose
// only: SEED_DIR=tests/fuzz/corpus/PeVersionReader build/tests/Tests "[.seeds]"
TEST_CASE ("Write the version reader's fuzzing seeds", "[.seeds]")
{
    const juce::File folder (juce::SystemStats::getEnvironmentVariable ("SEED_DIR", {}));
    REQUIRE (folder.createDirectory());

    const auto write = [&folder] (const juce::String& name, const Bytes& bytes)
    { REQUIRE (folder.getChildFile (name).replaceWithData (bytes.data(), bytes.size())); };

    write ("pe32-version", makeImage (false).bytes);
    write ("pe32plus-version", makeImage (true).bytes);
    write ("pe32plus-no-resources", makeImage (true, Content::noResources).bytes);
    write ("pe32-no-version-type", makeImage (false, Content::noVersionType).bytes);
}
