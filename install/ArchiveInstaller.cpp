#include "ArchiveInstaller.h"

#include "ProgramImageInputStream.h"
#include "TextDecoding.h"
#include "ZipCentralDirectory.h"

#include <zlib.h>

#include <array>
#include <future>

namespace
{
bool isPresent (const juce::File& item)
{
    return item.exists() || item.isSymbolicLink();
}

bool removeItem (const juce::File& item)
{
    return item.deleteRecursively (false);
}

// Formats are installed side by side, and their plug-in folders may share the folders
// on the way to them: at every level, one that another install made a moment ago is
// as good as one made here.
bool makeFolder (const juce::File& folder)
{
    if (folder.isDirectory())
        return true;

    const auto parent = folder.getParentDirectory();

    if (parent == folder || ! makeFolder (parent))
        return false;

    return folder.createDirectory().wasOk() || folder.isDirectory();
}

// Entry names use backslashes; an entry may only ever land inside the item. The name
// comes back rebuilt from its parts, with no doubled separators: the framework's path
// handling loops forever on some names that have them.
juce::String checkedEntryPath (const juce::String& name, const juce::String& itemName)
{
    // The framework keeps an entry name's bytes as they are, valid UTF-8 or not.
    const auto* bytes = name.toRawUTF8();

    if (! TextDecoding::isStrictUtf8 (bytes, strlen (bytes)))
        return {};

    const auto path = name.replaceCharacter ('\\', '/');

    if (path.startsWithChar ('/') || (path.length() >= 2 && path[1] == ':'))
        return {};

    auto parts = juce::StringArray::fromTokens (path, "/", {});
    parts.removeEmptyStrings();

    // Names of nothing but dots mean "here" or "up" somewhere, and the framework's path
    // handling cannot address some of the others once they exist.
    const auto onlyDots = [] (const juce::String& part) { return part.containsOnly ("."); };

    if (parts.isEmpty() || parts[0] != itemName || std::any_of (parts.begin(), parts.end(), onlyDots))
        return {};

    return parts.joinIntoString ("/") + (path.endsWithChar ('/') ? "/" : "");
}

bool copyEntry (juce::ZipFile& zip, int index, juce::uint32 expectedCrc, const juce::File& file)
{
    const auto* entry = zip.getEntry (index);
    std::unique_ptr<juce::InputStream> in (zip.createStreamForEntry (index));

    if (in == nullptr || ! makeFolder (file.getParentDirectory()))
        return false;

    juce::FileOutputStream out (file);

    if (out.failedToOpen() || ! out.setPosition (0) || ! out.truncate().wasOk())
        return false;

    // Inflating is most of an install's time, so the next block is inflated while the
    // one before is checked and written on another thread. Large blocks: a plug-in
    // module is written in a few dozen system calls.
    constexpr int blockSize = 1 << 20;
    std::array<juce::HeapBlock<char>, 2> buffers { juce::HeapBlock<char> (blockSize),
                                                   juce::HeapBlock<char> (blockSize) };
    std::future<bool> writing;
    juce::int64 written = 0;
    uLong crc = crc32 (0L, Z_NULL, 0);

    const auto writeBlock = [&out, &crc] (const char* data, int size)
    {
        crc = crc32 (crc, reinterpret_cast<const Bytef*> (data), (uInt) size);
        return out.write (data, (size_t) size);
    };

    // Where no thread can be had, a block is written when its result is asked for,
    // which is still before its buffer is read into again.
    constexpr auto anyThread = std::launch::async | std::launch::deferred;
    const auto lastWriteSucceeded = [&writing] { return ! writing.valid() || writing.get(); };

    for (size_t turn = 0;; turn ^= 1)
    {
        const auto* block = buffers[turn].get();
        const auto got = in->read (buffers[turn], blockSize);

        if (! lastWriteSucceeded())
            return false;

        if (got <= 0)
            break;

        writing = std::async (anyThread, writeBlock, block, got);
        written += got;
    }

    out.flush();

    return out.getStatus().wasOk() && written == entry->uncompressedSize && (juce::uint32) crc == expectedCrc;
}
}  // namespace

ArchiveInstaller::ArchiveInstaller (const juce::File& pluginFolder, const juce::String& item)
    : folder (pluginFolder), itemName (item)
{
}

bool ArchiveInstaller::hasFolder() const
{
    return folder != juce::File();
}

juce::File ArchiveInstaller::target() const
{
    return hasFolder() ? folder.getChildFile (itemName) : juce::File();
}

juce::File ArchiveInstaller::stagingFolder() const
{
    return hasFolder() ? folder.getChildFile ("." + itemName + ".staging") : juce::File();
}

juce::File ArchiveInstaller::previousItem() const
{
    return hasFolder() ? folder.getChildFile ("." + itemName + ".previous") : juce::File();
}

bool ArchiveInstaller::install (const void* archive, size_t size, ArchiveMemory memory) const
{
    if (! hasFolder())
        return false;

    removeLeftovers();

    const auto staging = stagingFolder();
    const auto succeeded = makeFolder (staging) && extract (archive, size, memory, staging)
                        && swapIntoPlace (staging.getChildFile (itemName));

    removeItem (staging);
    return succeeded;
}

bool ArchiveInstaller::uninstall() const
{
    if (! hasFolder())
        return false;

    removeLeftovers();
    return removeItem (target());
}

void ArchiveInstaller::removeLeftovers() const
{
    if (! hasFolder())
        return;

    removeItem (stagingFolder());

    const auto previous = previousItem();

    if (! isPresent (previous))
        return;

    if (! isPresent (target()))
        previous.moveFileTo (target());
    else
        removeItem (previous);
}

bool ArchiveInstaller::extract (const void* archive, size_t size, ArchiveMemory memory,
                                const juce::File& destination) const
{
    const auto crcs = ZipCentralDirectory::readCrcs (archive, size);
    juce::ZipFile zip (memory == ArchiveMemory::programImage
                           ? static_cast<juce::InputStream*> (new ProgramImageInputStream (archive, size))
                           : new juce::MemoryInputStream (archive, size, false),
                       true);

    if (zip.getNumEntries() == 0 || (size_t) zip.getNumEntries() != crcs.size())
        return false;

    for (int index = 0; index < zip.getNumEntries(); ++index)
    {
        const auto* entry = zip.getEntry (index);
        const auto path = checkedEntryPath (entry->filename, itemName);

        if (path.isEmpty() || entry->isSymbolicLink)
            return false;

        const auto file = destination.getChildFile (path);

        if (! file.isAChildOf (destination))
            return false;

        const auto ok =
            path.endsWithChar ('/') ? makeFolder (file) : copyEntry (zip, index, crcs[(size_t) index], file);

        if (! ok)
            return false;
    }

    return isPresent (destination.getChildFile (itemName));
}

bool ArchiveInstaller::swapIntoPlace (const juce::File& staged) const
{
    const auto current = target();
    const auto previous = previousItem();

    // A link that points nowhere is no install worth keeping.
    if (current.isSymbolicLink() && ! current.exists())
        current.deleteFile();

    const auto hadEarlier = isPresent (current);

    if (hadEarlier && ! current.moveFileTo (previous))
        return false;

    if (! staged.moveFileTo (current))
    {
        if (hadEarlier)
            previous.moveFileTo (current);

        return false;
    }

    removeItem (previous);
    return true;
}
