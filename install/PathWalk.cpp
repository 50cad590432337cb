#include "PathWalk.h"

#include "FailureReason.h"

#include <cerrno>
#include <deque>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace
{
constexpr int mostLinks = 40;

// Bounds for a path that links keep making longer.
constexpr int mostSteps = 4096;
constexpr size_t deepestPath = 256;

// An item opened as itself (O_PATH): a link is not followed, a folder not yet listed.
struct ItemDescriptor
{
    explicit ItemDescriptor (int fd) : value (fd) {}
    ~ItemDescriptor()
    {
        if (value >= 0)
            ::close (value);
    }

    int value;
    JUCE_DECLARE_NON_COPYABLE (ItemDescriptor)
};

bool othersMayWrite (const struct stat& folder)
{
    return (folder.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

// The one user who can replace a link in folder (root when only root can); none when
// several users can.
std::optional<uid_t> controllerOf (const struct stat& folder, const struct stat& link)
{
    if (! othersMayWrite (folder))
        return folder.st_uid;

    // In a sticky folder only a link's owner and the folder's owner may rename or remove it.
    if ((folder.st_mode & S_ISVTX) != 0 && (folder.st_uid == 0 || folder.st_uid == link.st_uid))
        return link.st_uid;

    return std::nullopt;
}

juce::String joined (const juce::String& folder, const juce::String& name)
{
    return folder.endsWithChar ('/') ? folder + name : folder + "/" + name;
}

std::deque<juce::String> partsOf (const juce::String& path)
{
    auto tokens = juce::StringArray::fromTokens (path, "/", {});
    tokens.removeEmptyStrings();
    return { tokens.begin(), tokens.end() };
}

juce::String linkReason (const juce::String& link, uid_t owner)
{
    return "the path holds a link that a user other than root controls: " + link + " (owned by "
         + FailureReason::ownerName (owner) + ")";
}

class Walk final
{
public:
    Walk (bool create, juce::String& why) : createMissing (create), whyNot (why) {}

    FolderHandle run (const juce::File& folder)
    {
        auto rest = partsOf (folder.getFullPathName());
        held.push_back ({ FolderHandle::root(), "/" });

        for (int steps = 0; ! rest.empty(); ++steps)
        {
            if (steps > mostSteps || held.size() > deepestPath || ! held.back().folder.isOpen())
                return fail (ELOOP, folder.getFullPathName());

            const auto name = rest.front();
            rest.pop_front();

            if (name == ".")
                continue;

            if (name == "..")
            {
                if (held.size() > 1)
                    held.pop_back();

                if (! mayEnter (held.back().folder, held.back().path))
                    return {};

                continue;
            }

            if (! step (name, rest, folder))
                return {};
        }

        auto& reached = held.back();
        struct stat info
        {};

        if (userLink.has_value() && (::fstat (reached.folder.native(), &info) != 0 || info.st_uid != *userLink))
        {
            refusedInto (reached.path, info.st_uid);
            return {};
        }

        return std::move (reached.folder);
    }

private:
    struct Held
    {
        FolderHandle folder;
        juce::String path;
    };

    // One name below the folder held last: a folder is entered, a link's target is put in
    // front of what is left to walk.
    bool step (const juce::String& name, std::deque<juce::String>& rest, const juce::File& whole)
    {
        const auto& here = held.back();
        const auto path = joined (here.path, name);
        auto made = false;
        ItemDescriptor item (openItem (here.folder, name));

        // Where a user's link leads, what is missing may be made only in that user's own
        // folder, and elsewhere the link is the reason, not the missing part.
        if (item.value < 0 && errno == ENOENT && userLink.has_value() && ! ownedByLinkUser (here))
            return false;

        if (item.value < 0 && errno == ENOENT && createMissing)
        {
            made = ::mkdirat (here.folder.native(), name.toRawUTF8(), 0755) == 0;

            if (! made && errno != EEXIST)
                return failed (errno, path);

            item.value = openItem (here.folder, name);
        }

        struct stat info
        {};

        if (item.value < 0 || ::fstat (item.value, &info) != 0)
            return failed (errno, path);

        if (S_ISLNK (info.st_mode))
            return follow (item.value, info, path, rest, whole);

        if (! S_ISDIR (info.st_mode))
            return failed (ENOTDIR, path);

        // The folder itself, reached through the very item looked at: nothing in between
        // can have swapped it.
        auto folder = FolderHandle::reopen (item.value);

        if (! folder.isOpen())
            return failed (errno, path);

        if (made)
            adopt (folder, here.folder);

        if (! mayEnter (folder, path))
            return false;

        held.push_back ({ std::move (folder), path });
        return true;
    }

    bool follow (int link, const struct stat& info, const juce::String& path, std::deque<juce::String>& rest,
                 const juce::File& whole)
    {
        if (++links > mostLinks)
            return failed (ELOOP, whole.getFullPathName());

        struct stat holder
        {};

        if (::fstat (held.back().folder.native(), &holder) != 0)
            return failed (errno, held.back().path);

        const auto controller = controllerOf (holder, info);

        // A user's link counts only in that user's own folder, and only one user's links
        // can lead a walk: each would have to trust the other's folders.
        if (! controller.has_value()
            || (*controller != 0 && (info.st_uid != *controller || (userLink.has_value() && *userLink != *controller))))
            return refused (linkReason (path, info.st_uid));

        char target[4096];
        const auto length = ::readlinkat (link, "", target, sizeof (target));

        if (length <= 0 || (size_t) length >= sizeof (target))
            return failed (length < 0 ? errno : ENAMETOOLONG, path);

        if (*controller != 0 && ! userLink.has_value())
        {
            userLink = *controller;
            userLinkPath = path;
        }

        const juce::String destination (juce::CharPointer_UTF8 (target), (size_t) length);
        auto parts = partsOf (destination);
        rest.insert (rest.begin(), parts.begin(), parts.end());

        if (destination.startsWithChar ('/'))
            held.resize (1);

        return true;
    }

    // Once a user's link leads the walk, only folders of that user or of root are entered.
    bool mayEnter (const FolderHandle& folder, const juce::String& path)
    {
        struct stat info
        {};

        if (::fstat (folder.native(), &info) != 0)
            return failed (errno, path);

        if (userLink.has_value() && info.st_uid != *userLink && info.st_uid != 0)
            return refusedInto (path, info.st_uid);

        return true;
    }

    bool ownedByLinkUser (const Held& folder)
    {
        struct stat info
        {};

        if (::fstat (folder.folder.native(), &info) != 0)
            return failed (errno, folder.path);

        return info.st_uid == *userLink || refusedInto (folder.path, info.st_uid);
    }

    // A folder made here for a user whose link led the walk into their own folder is
    // theirs, as it would be had they made it; any other made here is root's, 0755.
    void adopt (const FolderHandle& folder, const FolderHandle& parent) const
    {
        struct stat made
        {
        }, holder {};

        if (::fstat (folder.native(), &made) != 0 || made.st_uid != ::geteuid()
            || ::fstat (parent.native(), &holder) != 0)
            return;

        ::fchmod (folder.native(), 0755);

        if (userLink.has_value() && holder.st_uid == *userLink)
            (void) ! ::fchown (folder.native(), *userLink, holder.st_gid);
    }

    static int openItem (const FolderHandle& folder, const juce::String& name)
    {
        return ::openat (folder.native(), name.toRawUTF8(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    }

    bool refusedInto (const juce::String& path, uid_t owner)
    {
        return refused (linkReason (userLinkPath, *userLink) + ", which leads into a folder owned by "
                        + FailureReason::ownerName (owner) + ": " + path);
    }

    FolderHandle fail (int error, const juce::String& path)
    {
        failed (error, path);
        return {};
    }

    bool failed (int error, const juce::String& path)
    {
        whyNot = FailureReason::ofError (error, path);
        errno = error;
        return false;
    }

    bool refused (const juce::String& reason)
    {
        whyNot = reason;
        errno = EPERM;
        return false;
    }

    const bool createMissing;
    juce::String& whyNot;
    std::vector<Held> held;
    std::optional<uid_t> userLink;
    juce::String userLinkPath;
    int links = 0;
};
}  // namespace

FolderHandle PathWalk::open (const juce::File& folder, bool createMissing, juce::String& whyNot)
{
    return Walk (createMissing, whyNot).run (folder);
}
