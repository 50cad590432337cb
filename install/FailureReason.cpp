#include "FailureReason.h"

#include <cerrno>
#include <cstring>

#if ! JUCE_WINDOWS
# include <pwd.h>
#endif

juce::String FailureReason::ofError (int error, const juce::String& path)
{
    switch (error)
    {
        case EROFS: return path + " is read-only";
        case ENOSPC:
#ifdef EDQUOT
        case EDQUOT:
#endif
            return "no space left on the disk that holds " + path;
        case EACCES:
        case EPERM: return "permission denied: " + path;
        case ENOTDIR: return path + " is a file, not a folder";
        case ELOOP: return "too many links on the way to " + path;
        case EBUSY: return path + " is in use (a mount point or a busy file)";
        case ENOENT: return path + " does not exist";
        case EXDEV: return path + " lies on another file system";
        case EIO: return "the disk failed to read or write " + path;
        default: break;
    }

    return juce::String (std::strerror (error)).toLowerCase() + ": " + path;
}

juce::String FailureReason::ownerName (juce::uint32 uid)
{
#if ! JUCE_WINDOWS
    // Formats are installed side by side: the reentrant look-up.
    passwd entry {};
    passwd* found = nullptr;
    char buffer[4096];

    if (::getpwuid_r ((uid_t) uid, &entry, buffer, sizeof (buffer), &found) == 0 && found != nullptr)
        return juce::String (found->pw_name);
#endif
    return "uid " + juce::String (uid);
}
