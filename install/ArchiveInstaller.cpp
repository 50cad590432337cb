#include "ArchiveInstaller.h"

#include "EntryInflater.h"
#include "FailureReason.h"
#include "ProgramImageInputStream.h"
#include "TextDecoding.h"
#include "ZipCentralDirectory.h"

#include <cerrno>

namespace
{
juce::StringArray checkedEntryParts (const juce::String& name, const juce::String& itemName);
}  // namespace

juce::StringArray ArchiveInstaller::entryParts (const juce::String& entryName, const juce::String& itemName)
{
    return checkedEntryParts (entryName, itemName);
}

namespace
{
juce::StringArray checkedEntryParts (const juce::String& name, const juce::String& itemName)
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

    // Names of nothing but dots mean "here" or "up" somewhere, or are names that tools
    // and hosts cannot address.
    const auto onlyDots = [] (const juce::String& part) { return part.containsOnly ("."); };

    if (parts.isEmpty() || parts[0] != itemName || std::any_of (parts.begin(), parts.end(), onlyDots))
        return {};

    return parts;
}

// An archive's entries are copied through one block, made once for the whole archive,
// as fresh memory costs a page fault for every page first touched. Large, so that a
// plug-in module is written in a few dozen system calls. Formats are installed side by
// side (see InstallPass), so one format's writing overlaps another's inflating without
// a thread of its own.
constexpr int copyBlockSize = 1 << 20;

enum class Copied
{
    whole,
    damaged,    // the archive's content is not what it claims
    notWritten  // the file system refused; errno says why
};

// Writes one entry's content into a new file; whole only when every byte arrived, the
// count matches the entry's stated size and the CRC the central directory's.
Copied copyEntry (EntryInflater& in, const juce::ZipFile::ZipEntry& entry, juce::uint32 expectedCrc,
                  juce::HeapBlock<char>& block, ExtractedFile& out)
{
    juce::int64 written = 0;

    for (;;)
    {
        const auto got = in.read (block, copyBlockSize);

        // More content than stated is damage too, and is not written out to the end.
        if (got < 0 || got > entry.uncompressedSize - written)
            return Copied::damaged;

        if (got == 0)
            break;

        if (! out.write (block, (size_t) got))
            return Copied::notWritten;

        written += got;
    }

    if (written != entry.uncompressedSize || ! in.isFinished() || in.crc() != expectedCrc)
        return Copied::damaged;

    return out.finish (entry.fileTime) ? Copied::whole : Copied::notWritten;
}

juce::Result damaged (const juce::String& entryName)
{
    return juce::Result::fail ("the archive is damaged" + (entryName.isEmpty() ? juce::String() : ": " + entryName));
}

// The folder that holds an entry, made on the way: every part is a new folder inside
// the staging folder, opened without following a link.
FolderHandle folderFor (const FolderHandle& staging, const juce::StringArray& folders)
{
    FolderHandle current;

    for (int i = 0; i < folders.size(); ++i)
    {
        current = (i == 0 ? staging : current).openChild (folders[i], true);

        if (! current.isOpen())
            break;
    }

    return current;
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

juce::String ArchiveInstaller::stagingPrefix() const
{
    return "." + itemName + ".staging-";
}

juce::Array<juce::File> ArchiveInstaller::leftovers() const
{
    juce::Array<juce::File> found;
    const auto pluginFolder = hasFolder() ? FolderHandle::open (folder, false) : FolderHandle();

    if (pluginFolder.isOpen())
        for (const auto& name : pluginFolder.childNames())
            if (FolderHandle::isUniqueChildName (name, stagingPrefix()) && pluginFolder.isPrivateFolder (name))
                found.add (folder.getChildFile (name));

    return found;
}

juce::Result ArchiveInstaller::failure (int error) const
{
    // What happens inside the staging folder happens, for the user, in the plug-in folder.
    return juce::Result::fail (FailureReason::ofError (error, folder.getFullPathName()));
}

juce::Result ArchiveInstaller::install (const void* archive, size_t size, ArchiveMemory memory) const
{
    if (! hasFolder())
        return juce::Result::fail (noFolderReason);

    juce::String whyNot;
    const auto pluginFolder = FolderHandle::open (folder, true, &whyNot);

    if (! pluginFolder.isOpen())
        return juce::Result::fail (whyNot);

    removeLeftovers (pluginFolder);

    juce::String stagingName;
    const auto staging = pluginFolder.makeUniqueChild (stagingPrefix(), stagingName);

    if (! staging.isOpen())
        return failure (errno);

    // Every file is flushed as it is written; the folders of the new item are flushed
    // before the swap, and the plug-in folder after it, so the swap and the names it
    // brings are on disk before success is reported.
    auto result = extract (archive, size, memory, staging);

    if (result.wasOk() && ! staging.sync (true))
        result = failure (errno);

    if (result.wasOk())
        result = swapIntoPlace (pluginFolder, staging);

    // After a swap, the staging folder holds the earlier item and goes with it; a success
    // is reported only once nothing of the pass is left in the plug-in folder. An earlier
    // item that could not be moved back after a failure (its name was taken meanwhile)
    // stays there for the next clean-up to put back.
    if (result.wasOk() || staging.kindOf (earlierItemName) == FolderHandle::Kind::missing)
    {
        const auto removed = staging.removeContents() && pluginFolder.removeEmptyChild (stagingName, staging);

        if (result.wasOk() && ! removed)
        {
            const auto stagingPath = folder.getChildFile (stagingName).getFullPathName();
            result =
                juce::Result::fail ("installed, but the earlier item could not be removed ("
                                    + FailureReason::ofError (errno, stagingPath) + "); the next start removes it");
        }
    }

    return result;
}

juce::Result ArchiveInstaller::uninstall() const
{
    if (! hasFolder())
        return juce::Result::fail (noFolderReason);

    juce::String whyNot;
    const auto pluginFolder = FolderHandle::open (folder, false, &whyNot);

    // A plug-in folder that is not there holds no item; one behind a link is refused.
    if (! pluginFolder.isOpen())
        return errno == ENOENT ? juce::Result::ok() : juce::Result::fail (whyNot);

    removeLeftovers (pluginFolder);

    if (! pluginFolder.removeChild (itemName))
        return juce::Result::fail ("could not remove all of " + target().getFullPathName() + ": "
                                   + FailureReason::ofError (errno, target().getFullPathName()));

    return pluginFolder.sync() ? juce::Result::ok() : failure (errno);
}

std::vector<Leftover> ArchiveInstaller::removeLeftovers() const
{
    const auto pluginFolder = hasFolder() ? FolderHandle::open (folder, false) : FolderHandle();
    return pluginFolder.isOpen() ? removeLeftovers (pluginFolder) : std::vector<Leftover>();
}

std::vector<Leftover> ArchiveInstaller::removeLeftovers (const FolderHandle& pluginFolder) const
{
    // A leftover may be whatever tree the folder's owner built in the earlier item: the
    // work is bounded, and what is left waits for the next start.
    const auto deadline = juce::Time::getMillisecondCounterHiRes() + cleanupTime.inMilliseconds();
    std::vector<Leftover> left;

    for (const auto& name : pluginFolder.childNames())
    {
        if (! FolderHandle::isUniqueChildName (name, stagingPrefix()))
            continue;

        const auto staging = pluginFolder.openChild (name, false);

        // A folder of that name that this program did not make is the owner's business, and
        // an installed item renamed to it is no leftover.
        if (! staging.isPrivateFolder())
            continue;

        // Stopped between moving the earlier item aside and putting the new one in place.
        if (pluginFolder.kindOf (itemName) == FolderHandle::Kind::missing
            && staging.kindOf (earlierItemName) != FolderHandle::Kind::missing)
        {
            staging.move (earlierItemName, pluginFolder, itemName, FolderHandle::Move::noReplace);
            pluginFolder.sync();
        }

        const auto emptied = staging.removeContents (deadline);
        const auto error = errno;

        if (emptied && pluginFolder.removeEmptyChild (name, staging))
            continue;

        const auto path = folder.getChildFile (name);

        if (juce::Time::getMillisecondCounterHiRes() > deadline)
            left.push_back ({ path, "the clean-up's time for this start ran out; the next start goes on" });
        else
            left.push_back ({ path, "could not remove it: "
                                        + FailureReason::ofError (emptied ? errno : error, path.getFullPathName()) });
    }

    return left;
}

juce::Result ArchiveInstaller::extract (const void* archive, size_t size, ArchiveMemory memory,
                                        const FolderHandle& staging) const
{
    const auto located = ZipCentralDirectory::read (archive, size);
    juce::ZipFile zip (memory == ArchiveMemory::programImage
                           ? static_cast<juce::InputStream*> (new ProgramImageInputStream (archive, size))
                           : new juce::MemoryInputStream (archive, size, false),
                       true);

    if (zip.getNumEntries() == 0 || (size_t) zip.getNumEntries() != located.size())
        return damaged ({});

    juce::HeapBlock<char> block (copyBlockSize);

    for (int index = 0; index < zip.getNumEntries(); ++index)
    {
        const auto* entry = zip.getEntry (index);
        auto parts = checkedEntryParts (entry->filename, itemName);

        if (parts.isEmpty() || entry->isSymbolicLink)
            return juce::Result::fail ("the archive holds an entry that would land outside the item");

        if (entry->filename.endsWithChar ('/') || entry->filename.endsWithChar ('\\'))
        {
            if (! folderFor (staging, parts).isOpen())
                return failure (errno);

            continue;
        }

        const auto fileName = parts[parts.size() - 1];
        parts.remove (parts.size() - 1);
        const auto holder = folderFor (staging, parts);
        const auto file = (parts.isEmpty() ? staging : holder).createFile (fileName);

        const auto& where = located[(size_t) index];
        EntryInflater content (static_cast<const char*> (archive) + where.dataOffset, where.compressedSize,
                               where.method, memory == ArchiveMemory::programImage);

        if (file == nullptr)
            return failure (errno);

        switch (copyEntry (content, *entry, where.crc, block, *file))
        {
            case Copied::whole: break;
            case Copied::damaged: return damaged (entry->filename);
            case Copied::notWritten: return failure (errno);
        }
    }

    return staging.kindOf (itemName) != FolderHandle::Kind::missing ? juce::Result::ok() : damaged ({});
}

juce::Result ArchiveInstaller::swapIntoPlace (const FolderHandle& pluginFolder, const FolderHandle& staging) const
{
    using Move = FolderHandle::Move;
    using Result = FolderHandle::MoveResult;

    // Whatever carries the item's name, an earlier install, a stray file or a link,
    // trades places with the new item in one step; it is then removed with the
    // staging folder. A failure leaves both where they were.
    auto result = staging.move (itemName, pluginFolder, itemName, Move::exchange);

    // Nothing to trade with: the new item takes the free name, never replacing
    // whatever may have arrived there meanwhile.
    if (result == Result::destinationMissing)
        result = staging.move (itemName, pluginFolder, itemName, Move::noReplace);

    if (result == Result::notSupported)
        result = swapInTwoSteps (pluginFolder, staging);

    if (result != Result::moved)
        return juce::Result::fail ("could not move the new item into place: "
                                   + FailureReason::ofError (errno, target().getFullPathName()));

    return pluginFolder.sync() && staging.sync() ? juce::Result::ok() : failure (errno);
}

// Where the file system cannot swap in one step, the earlier item waits inside the
// staging folder while the new one moves in; a start-up after a power cut in between
// puts it back (see removeLeftovers).
FolderHandle::MoveResult ArchiveInstaller::swapInTwoSteps (const FolderHandle& pluginFolder,
                                                           const FolderHandle& staging) const
{
    using Move = FolderHandle::Move;
    using Result = FolderHandle::MoveResult;

    if (pluginFolder.kindOf (itemName) == FolderHandle::Kind::missing)
        return staging.move (itemName, pluginFolder, itemName, Move::noReplace);

    if (pluginFolder.move (itemName, staging, earlierItemName, Move::noReplace) != Result::moved)
        return Result::failed;

    // The earlier item's new place is on disk before its name goes to the new one.
    if (staging.sync() && pluginFolder.sync()
        && staging.move (itemName, pluginFolder, itemName, Move::noReplace) == Result::moved)
        return Result::moved;

    if (staging.move (earlierItemName, pluginFolder, itemName, Move::noReplace) == Result::moved)
        pluginFolder.sync();
    else
        staging.removeChild (itemName);

    return Result::failed;
}
