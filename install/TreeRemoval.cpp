#include "TreeRemoval.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

namespace
{
// Folders held open at once below the top; enough for every real bundle.
constexpr int heldLevels = 16;

// Readings of a folder's names past those that folders moved into it call for: names
// removed while a folder is read may hide others from that reading.
constexpr int extraReadings = 4;

// A folder's names, read a batch at a time through a descriptor of its own.
class NameReader final
{
public:
    explicit NameReader (const FolderHandle& folder)
    {
        const auto fd = ::openat (folder.native(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);

        if (fd >= 0 && (dir = ::fdopendir (fd)) == nullptr)
            ::close (fd);
    }

    ~NameReader()
    {
        if (dir != nullptr)
            ::closedir (dir);
    }

    bool isOpen() const { return dir != nullptr; }

    const char* next()
    {
        while (const auto* entry = ::readdir (dir))
            if (strcmp (entry->d_name, ".") != 0 && strcmp (entry->d_name, "..") != 0)
                return entry->d_name;

        return nullptr;
    }

private:
    DIR* dir = nullptr;
    JUCE_DECLARE_NON_COPYABLE (NameReader)
};
}  // namespace

TreeRemoval::TreeRemoval (const FolderHandle& topFolder, double stopAt) : top (topFolder), deadline (stopAt)
{
}

bool TreeRemoval::run()
{
    return empty (top, 0);
}

bool TreeRemoval::timeIsUp()
{
    outOfTime = outOfTime || (deadline > 0 && juce::Time::getMillisecondCounterHiRes() > deadline);
    return outOfTime;
}

bool TreeRemoval::empty (const FolderHandle& folder, int depth)
{
    for (int reading = 0; reading <= extraReadings + (depth == 0 ? movedUp : 0); ++reading)
    {
        NameReader names (folder);
        auto removedSome = false, leftSome = false;

        if (! names.isOpen())
            return false;

        while (const auto* name = names.next())
        {
            if (timeIsUp())
                return false;

            (removeEntry (folder, name, depth) == Removed::yes ? removedSome : leftSome) = true;
        }

        // A reading that finds nothing more to remove ends it.
        if (! removedSome)
            return ! leftSome;
    }

    return false;
}

TreeRemoval::Removed TreeRemoval::removeEntry (const FolderHandle& folder, const char* name, int depth)
{
    // The owner of the folder may swap a folder for a link or a file at any moment:
    // whatever is found is taken as it is then, a few times over.
    for (int attempt = 0; attempt < 4; ++attempt)
    {
        if (::unlinkat (folder.native(), name, 0) == 0 || errno == ENOENT)
            return Removed::yes;

        if (errno != EISDIR && errno != EPERM)
            return Removed::no;

        if (depth + 1 >= heldLevels)
            return moveUp (folder, name) ? Removed::yes : Removed::no;

        const auto child = folder.openChild (juce::String (juce::CharPointer_UTF8 (name)), false);

        if (! child.isOpen())
        {
            if (errno == ENOENT)
                return Removed::yes;

            if (errno == ELOOP || errno == ENOTDIR)
                continue;

            return Removed::no;
        }

        const auto emptied = empty (child, depth + 1);

        if (::unlinkat (folder.native(), name, AT_REMOVEDIR) == 0 || errno == ENOENT)
            return emptied ? Removed::yes : Removed::no;

        if (errno != ENOTDIR || outOfTime)
            return Removed::no;
    }

    return Removed::no;
}

// A folder too deep to hold is moved up into the top folder, as it is (a link swapped in
// meanwhile moves as a link), under a name nobody else chose; the top's next reading
// takes it from there.
bool TreeRemoval::moveUp (const FolderHandle& folder, const char* name)
{
    for (int attempt = 0; attempt < 8; ++attempt)
    {
        juce::uint64 random = 0;

        if (::getrandom (&random, sizeof (random), 0) != (ssize_t) sizeof (random))
            return false;

        const auto newName = ".removing-" + juce::String::toHexString ((juce::int64) random);

        auto moved = ::renameat2 (folder.native(), name, top.native(), newName.toRawUTF8(), RENAME_NOREPLACE) == 0;

        // A file system that cannot refuse to replace: the random name is checked free first.
        if (! moved && errno == EINVAL)
            moved = top.kindOf (newName) == FolderHandle::Kind::missing
                 && ::renameat (folder.native(), name, top.native(), newName.toRawUTF8()) == 0;

        if (moved)
        {
            ++movedUp;
            return true;
        }

        if (errno == ENOENT)
            return true;

        if (errno != EEXIST)
            return false;
    }

    return false;
}
