#pragma once

#include <juce_core/juce_core.h>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

// Ordinary users for tests that run as root: uids that no account uses, and files,
// folders and links handed over to them.
namespace OtherUsers
{
// The nth uid from 42000 up that no account uses.
inline uid_t unused (int nth = 0)
{
    uid_t uid = 42000;

    for (;; ++uid)
        if (getpwuid (uid) == nullptr && nth-- == 0)
            return uid;
}

inline bool own (const juce::File& f, uid_t uid, mode_t mode)
{
    return lchown (f.getFullPathName().toRawUTF8(), uid, uid) == 0
        && chmod (f.getFullPathName().toRawUTF8(), mode) == 0;
}

// A link at link leading to target, made by owner.
inline bool link (const juce::File& link, const juce::String& target, uid_t owner)
{
    return symlink (target.toRawUTF8(), link.getFullPathName().toRawUTF8()) == 0
        && lchown (link.getFullPathName().toRawUTF8(), owner, owner) == 0;
}

inline uid_t ownerOf (const juce::File& f)
{
    struct stat info
    {};
    return lstat (f.getFullPathName().toRawUTF8(), &info) == 0 ? info.st_uid : (uid_t) -1;
}
}  // namespace OtherUsers
