#include "ItemVerifier.h"

#include "ArchiveInstaller.h"
#include "EntryInflater.h"
#include "FolderHandle.h"
#include "RegularFileReader.h"
#include "ZipCentralDirectory.h"

#include <cerrno>
#include <map>
#include <set>

namespace
{
struct Entry
{
    bool folder = true;
    juce::int64 size = 0;
    juce::uint32 crc = 0;
    std::set<juce::String> children;  // names, for a folder
};

// What the archive would unpack, by path inside the plug-in folder ('/'-separated, the
// item's name first). Empty when the archive is refused as an install would refuse it.
std::map<juce::String, Entry> entriesOf (const void* archive, size_t size, const juce::String& itemName)
{
    std::map<juce::String, Entry> tree;
    const auto located = ZipCentralDirectory::read (archive, size);
    juce::ZipFile zip (new juce::MemoryInputStream (archive, size, false), true);

    if (zip.getNumEntries() == 0 || (size_t) zip.getNumEntries() != located.size())
        return {};

    for (int index = 0; index < zip.getNumEntries(); ++index)
    {
        const auto* zipEntry = zip.getEntry (index);
        const auto parts = ArchiveInstaller::entryParts (zipEntry->filename, itemName);

        if (parts.isEmpty() || zipEntry->isSymbolicLink)
            return {};

        const auto isFolder = zipEntry->filename.endsWithChar ('/') || zipEntry->filename.endsWithChar ('\\');
        juce::String path;

        for (int part = 0; part < parts.size(); ++part)
        {
            const auto parent = path;
            path = part == 0 ? parts[0] : path + "/" + parts[part];

            if (part > 0)
                tree[parent].children.insert (parts[part]);

            auto& entry = tree[path];

            if (part == parts.size() - 1 && ! isFolder)
                entry = { false, zipEntry->uncompressedSize, located[(size_t) index].crc, {} };
        }
    }

    return tree;
}

class Comparison final
{
public:
    Comparison (const std::map<juce::String, Entry>& expected, juce::StringArray& found)
        : tree (expected), differences (found)
    {
    }

    // The item named name in folder, which lies at path.
    void compare (const FolderHandle& folder, const juce::String& name, const juce::String& path)
    {
        if (full())
            return;

        const auto& expected = tree.at (path);

        switch (folder.kindOf (name))
        {
            case FolderHandle::Kind::missing: return differ (path, "missing");
            case FolderHandle::Kind::other: return differ (path, "a link or special file");
            case FolderHandle::Kind::unknown: return differ (path, "cannot be looked at");
            case FolderHandle::Kind::folder:
                return expected.folder ? compareFolder (folder, name, path, expected)
                                       : differ (path, "a folder, not a file");
            case FolderHandle::Kind::file:
                return expected.folder ? differ (path, "a file, not a folder")
                                       : compareFile (folder, name, path, expected);
        }
    }

private:
    void compareFolder (const FolderHandle& parent, const juce::String& name, const juce::String& path,
                        const Entry& expected)
    {
        const auto folder = parent.openChild (name, false);

        if (! folder.isOpen())
            return differ (path, "cannot be opened");

        for (const auto& child : folder.childNames())
            if (expected.children.count (child) == 0)
                differ (path + "/" + child, "not part of the product");

        for (const auto& child : expected.children)
            compare (folder, child, path + "/" + child);
    }

    void compareFile (const FolderHandle& folder, const juce::String& name, const juce::String& path,
                      const Entry& expected)
    {
        const auto stream = RegularFileReader::open (folder, name);

        if (stream == nullptr)
            return differ (path, "cannot be read");

        if (stream->getTotalLength() != expected.size)
            return differ (path, "changed (size)");

        juce::uint32 crc = 0;
        juce::int64 read = 0;

        for (int got; (got = stream->read (block, blockSize)) > 0; read += got)
            crc = EntryInflater::checksum (crc, block, (size_t) got);

        if (read != expected.size || crc != expected.crc)
            differ (path, "changed");
    }

    void differ (const juce::String& path, const juce::String& what)
    {
        if (! full())
            differences.add (path + ": " + what);
    }

    bool full() const { return differences.size() >= ItemVerifier::mostDifferences; }

    static constexpr int blockSize = 1 << 20;
    const std::map<juce::String, Entry>& tree;
    juce::StringArray& differences;
    juce::HeapBlock<char> block { blockSize };
};
}  // namespace

ItemVerifier::ItemVerifier (const juce::File& pluginFolder, const juce::String& item)
    : folder (pluginFolder), itemName (item)
{
}

ItemVerifier::Report ItemVerifier::verify (const void* archive, size_t size) const
{
    Report report;

    if (folder == juce::File())
    {
        report.verdict = Verdict::unreadable;
        report.reason = ArchiveInstaller::noFolderReason;
        return report;
    }

    const auto pluginFolder = FolderHandle::open (folder, false, &report.reason);

    if (! pluginFolder.isOpen())
    {
        report.verdict = errno == ENOENT ? Verdict::notInstalled : Verdict::unreadable;

        if (report.verdict == Verdict::notInstalled)
            report.reason = {};

        return report;
    }

    if (pluginFolder.kindOf (itemName) == FolderHandle::Kind::missing)
        return report;

    const auto expected = entriesOf (archive, size, itemName);

    if (expected.empty())
    {
        report.verdict = Verdict::unreadable;
        report.reason = "the archive is damaged";
        return report;
    }

    Comparison (expected, report.differences).compare (pluginFolder, itemName, itemName);
    report.verdict = report.differences.isEmpty() ? Verdict::intact : Verdict::modified;
    return report;
}
