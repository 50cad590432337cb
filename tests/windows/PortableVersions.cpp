// What the portable PE reader says about each module, for the Windows checks to compare
// with Windows' own version functions.
//
// portable_versions OUT_FOLDER LIST_FILE (ARCHIVE.zip | FOLDER)...
// Unpacks each archive into OUT_FOLDER, writes damaged copies of every module that carries
// a version into OUT_FOLDER/hostile, and lists "path<TAB>version" for every file.
#include "install/PeVersionReader.h"

#include <juce_core/juce_core.h>

namespace
{
void writeDamagedCopies (const juce::File& module, const juce::File& folder)
{
    juce::MemoryBlock bytes;
    module.loadFileAsData (bytes);
    const auto size = bytes.getSize();
    const auto name = module.getFileNameWithoutExtension().removeCharacters (" ");

    for (size_t cut : { size_t (0x3c), size_t (0x40), size_t (0x100), size_t (0x200), size_t (0x400), size_t (0x1000),
                        size / 2, size - 1 })
        if (cut < size)
            folder.getChildFile (name + "-cut-" + juce::String (cut)).replaceWithData (bytes.getData(), cut);

    // The headers, and the resource tree around the version block.
    const juce::String key ("VS_VERSION_INFO");
    juce::MemoryBlock utf16;
    for (auto c : key)
        utf16.append ("\0\0", 2), utf16[utf16.getSize() - 2] = static_cast<char> (c);

    const auto* data = static_cast<const char*> (bytes.getData());
    const auto found = std::search (data, data + size, static_cast<const char*> (utf16.getData()),
                                    static_cast<const char*> (utf16.getData()) + utf16.getSize());
    const auto versionBlock = static_cast<int> (found - data);
    juce::Random random (1234);

    for (int trial = 0; trial < 96; ++trial)
    {
        auto copy = bytes;
        const auto position =
            trial % 2 == 0 ? random.nextInt (0x400)
                           : juce::jlimit (0, static_cast<int> (size) - 1, versionBlock - 0xa0 + random.nextInt (0xe0));
        copy[static_cast<size_t> (position)] ^= static_cast<char> (1 + random.nextInt (255));
        folder.getChildFile (name + "-flip-" + juce::String (trial)).replaceWithData (copy.getData(), size);
    }
}
}  // namespace

int main (int argc, char** argv)
{
    if (argc < 4)
    {
        std::fputs ("usage: portable_versions OUT_FOLDER LIST_FILE (ARCHIVE.zip | FOLDER)...\n", stderr);
        return 2;
    }

    const juce::File out (juce::File::getCurrentWorkingDirectory().getChildFile (argv[1]));
    const auto hostile = out.getChildFile ("hostile");
    out.deleteRecursively();
    hostile.createDirectory();
    juce::Array<juce::File> files;

    for (int i = 3; i < argc; ++i)
    {
        const juce::File input (juce::File::getCurrentWorkingDirectory().getChildFile (argv[i]));
        auto folder = input;

        if (input.existsAsFile())
        {
            folder = out.getChildFile (input.getFileNameWithoutExtension());

            if (juce::ZipFile (input).uncompressTo (folder).failed())
                return 1;
        }

        files.addArray (folder.findChildFiles (juce::File::findFiles, true));
    }

    for (const auto& file : files)
        if (PeVersionReader::readFileVersion (file).isNotEmpty())
            writeDamagedCopies (file, hostile);

    files.addArray (hostile.findChildFiles (juce::File::findFiles, false));
    juce::String list;

    for (const auto& file : files)
        list << file.getFullPathName() << "\t" << PeVersionReader::readFileVersion (file) << "\n";

    return juce::File (juce::File::getCurrentWorkingDirectory().getChildFile (argv[2])).replaceWithText (list) ? 0 : 1;
}
