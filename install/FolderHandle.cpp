#include "FolderHandle.h"

#include "FailureReason.h"
#if ! JUCE_WINDOWS
# include "PathWalk.h"
# include "TreeRemoval.h"
#endif

#if ! JUCE_WINDOWS
# include <dirent.h>
# include <fcntl.h>
# include <sys/random.h>
# include <sys/stat.h>
# include <sys/syscall.h>
# include <unistd.h>

# if __has_include(<linux/openat2.h>)
#  include <linux/openat2.h>
# endif

#endif

#include <cerrno>

namespace
{
// A folder deeper than this is refused rather than holding a handle per level.
constexpr int deepestFolder = 200;

// Parts of an absolute path; empty when a part would step anywhere but down.
juce::StringArray partsOf (const juce::File& folder)
{
    auto parts = juce::StringArray::fromTokens (folder.getFullPathName(), juce::File::getSeparatorString(), {});
    parts.removeEmptyStrings();

    for (const auto& part : parts)
        if (part == "." || part == "..")
            return {};

    return parts;
}

juce::String randomHex()
{
    juce::uint8 bytes[8] {};
#if JUCE_WINDOWS
    if (BCryptGenRandom (nullptr, bytes, sizeof (bytes), BCRYPT_USE_SYSTEM_PREFERRED_RNG) != 0)
        return {};
#else
    if (getrandom (bytes, sizeof (bytes), 0) != (ssize_t) sizeof (bytes))
        return {};
#endif
    return juce::String::toHexString (bytes, (int) sizeof (bytes), 0);
}
}  // namespace

FolderHandle::FolderHandle (Native native) : handle (native)
{
}

FolderHandle::FolderHandle (FolderHandle&& other) noexcept
    : handle (std::exchange (other.handle, ExtractedFile::invalid()))
{
}

FolderHandle& FolderHandle::operator= (FolderHandle&& other) noexcept
{
    std::swap (handle, other.handle);
    return *this;
}

bool FolderHandle::isOpen() const
{
    return handle != ExtractedFile::invalid();
}

bool FolderHandle::isUniqueChildName (const juce::String& name, const juce::String& prefix)
{
    const auto tail = name.substring (prefix.length());
    return name.startsWith (prefix) && tail.length() == 16 && tail.containsOnly ("0123456789abcdef");
}

FolderHandle FolderHandle::makeUniqueChild (const juce::String& prefix, juce::String& madeName) const
{
    // Another attempt only when a folder of that name exists already.
    for (int attempt = 0; attempt < 8; ++attempt)
    {
        const auto suffix = randomHex();

        if (suffix.isEmpty())
            return {};

        madeName = prefix + suffix;

        if (! makeChildFolder (madeName, true))
        {
            if (errno == EEXIST)
                continue;

            return {};
        }

        // Opened by name, so it is checked to be the empty private folder just made: the
        // owner of this folder may have renamed something else onto the name in between.
        auto made = openChild (madeName, false);
        return made.isPrivateFolder() && made.childNames().isEmpty() ? std::move (made) : FolderHandle();
    }

    return {};
}

#if ! JUCE_WINDOWS

FolderHandle::~FolderHandle()
{
    if (isOpen())
        ::close (handle);
}

FolderHandle FolderHandle::root()
{
    return FolderHandle (::open ("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

FolderHandle FolderHandle::reopen (Native item)
{
    return FolderHandle (::openat (item, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

FolderHandle FolderHandle::open (const juce::File& folder, bool createMissing, juce::String* whyNot)
{
    const auto parts = partsOf (folder);
    const auto path = "/" + parts.joinIntoString ("/");
    juce::String reason;

    if (parts.isEmpty() || ! folder.getFullPathName().startsWithChar ('/'))
    {
        reason = "not an absolute path to a folder: " + folder.getFullPathName();
        errno = EINVAL;
    }
    else
    {
        // One call where the kernel resolves the whole path refusing links: most paths hold
        // none, and then there is nothing to judge.
# if defined(SYS_openat2) && defined(RESOLVE_NO_SYMLINKS)
        open_how how {};
        how.flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
        how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
        const auto fd = (int) syscall (SYS_openat2, AT_FDCWD, path.toRawUTF8(), &how, sizeof (how));

        if (fd >= 0)
            return FolderHandle (fd);

        const auto walkOn = errno == ENOSYS || errno == EPERM || errno == EINVAL || errno == ELOOP || errno == ENOTDIR
                         || (errno == ENOENT && createMissing);

        if (! walkOn)
            reason = FailureReason::ofError (errno, path);
        else
# endif
        {
            // A link on the way, folders to make, or a part to name: one part at a time.
            auto opened = PathWalk::open (juce::File (path), createMissing, reason);

            if (opened.isOpen())
                return opened;
        }
    }

    const auto error = errno;

    if (whyNot != nullptr)
        *whyNot = reason;

    errno = error;
    return {};
}

bool FolderHandle::makeChildFolder (const juce::String& name, bool ownerOnly) const
{
    return mkdirat (handle, name.toRawUTF8(), ownerOnly ? 0700 : 0755) == 0;
}

FolderHandle FolderHandle::openChild (const juce::String& name, bool createMissing) const
{
    constexpr auto flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    auto fd = openat (handle, name.toRawUTF8(), flags);

    if (fd >= 0 || errno != ENOENT || ! createMissing)
        return FolderHandle (fd);

    const auto madeHere = makeChildFolder (name, false);

    if (! madeHere && errno != EEXIST)
        return {};

    FolderHandle child (openat (handle, name.toRawUTF8(), flags));

    // Whatever the caller's umask; only a folder made here and still ours.
    if (madeHere && child.isOwnFolder())
        fchmod (child.handle, 0755);

    return child;
}

std::unique_ptr<ExtractedFile> FolderHandle::createFile (const juce::String& name) const
{
    const auto fd = openat (handle, name.toRawUTF8(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);

    if (fd < 0)
        return {};

    auto file = std::make_unique<ExtractedFile> (fd);
    return fchmod (fd, 0644) == 0 ? std::move (file) : nullptr;
}

FolderHandle::Kind FolderHandle::kindOf (const juce::String& name) const
{
    struct stat info
    {};

    if (fstatat (handle, name.toRawUTF8(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? Kind::missing : Kind::unknown;

    return S_ISREG (info.st_mode) ? Kind::file : S_ISDIR (info.st_mode) ? Kind::folder : Kind::other;
}

namespace
{
bool folderInfo (int handle, const juce::String& name, struct stat& info)
{
    const auto found = name.isEmpty() ? fstat (handle, &info) == 0
                                      : fstatat (handle, name.toRawUTF8(), &info, AT_SYMLINK_NOFOLLOW) == 0;

    return found && S_ISDIR (info.st_mode) && info.st_uid == geteuid();
}
}  // namespace

bool FolderHandle::isOwnFolder (const juce::String& name) const
{
    struct stat info
    {};
    return folderInfo (handle, name, info);
}

bool FolderHandle::isPrivateFolder (const juce::String& name) const
{
    struct stat info
    {};
    return folderInfo (handle, name, info) && (info.st_mode & 07777) == 0700;
}

juce::StringArray FolderHandle::childNames() const
{
    juce::StringArray names;
    const auto fd = openat (handle, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);

    if (fd < 0)
        return names;

    auto* dir = fdopendir (fd);

    if (dir == nullptr)
    {
        ::close (fd);
        return names;
    }

    while (const auto* entry = readdir (dir))
    {
        const juce::String name (juce::CharPointer_UTF8 (entry->d_name));

        if (name != "." && name != "..")
            names.add (name);
    }

    closedir (dir);
    return names;
}

bool FolderHandle::removeContents (double deadline) const
{
    return TreeRemoval (*this, deadline).run();
}

bool FolderHandle::removeChild (const juce::String& name, double deadline) const
{
    const auto* path = name.toRawUTF8();

    // The owner of the folder may swap a folder for a link or a file at any moment:
    // whatever is found is taken as it is then, a few times over.
    for (int attempt = 0; attempt < 4; ++attempt)
    {
        if (unlinkat (handle, path, 0) == 0 || errno == ENOENT)
            return true;

        if (errno != EISDIR && errno != EPERM)
            return false;

        const auto child = openChild (name, false);

        if (! child.isOpen())
        {
            if (errno == ENOENT)
                return true;

            if (errno == ELOOP || errno == ENOTDIR)
                continue;

            return false;
        }

        const auto emptied = child.removeContents (deadline);
        const auto error = errno;

        if (unlinkat (handle, path, AT_REMOVEDIR) == 0 || errno == ENOENT)
            return emptied;

        if (errno != ENOTDIR)
        {
            // What stopped the emptying is the reason, not the folder that is not empty.
            if (! emptied)
                errno = error;

            return false;
        }
    }

    return false;
}

bool FolderHandle::removeEmptyChild (const juce::String& name, const FolderHandle& expected) const
{
    struct stat named
    {
    }, held {};

    return fstatat (handle, name.toRawUTF8(), &named, AT_SYMLINK_NOFOLLOW) == 0 && fstat (expected.handle, &held) == 0
        && named.st_dev == held.st_dev && named.st_ino == held.st_ino
        && unlinkat (handle, name.toRawUTF8(), AT_REMOVEDIR) == 0;
}

FolderHandle::MoveResult FolderHandle::move (const juce::String& name, const FolderHandle& destination,
                                             const juce::String& newName, Move how) const
{
    const auto flags = (unsigned int) (how == Move::exchange ? RENAME_EXCHANGE : RENAME_NOREPLACE);
    auto moved = renameat2 (handle, name.toRawUTF8(), destination.handle, newName.toRawUTF8(), flags) == 0;

    // A file system that cannot refuse to replace (some network and FUSE ones): the name
    // is checked free just before. Only the folder's owner could fill it in between, and
    // a folder of theirs that is not empty is never replaced.
    if (! moved && how == Move::noReplace && errno == EINVAL)
    {
        if (destination.kindOf (newName) != Kind::missing)
            return MoveResult::failed;

        moved = renameat (handle, name.toRawUTF8(), destination.handle, newName.toRawUTF8()) == 0;
    }

    if (moved)
        return MoveResult::moved;

    if (errno == ENOENT)
        return MoveResult::destinationMissing;

    return errno == EINVAL || errno == ENOSYS ? MoveResult::notSupported : MoveResult::failed;
}

bool FolderHandle::sync (bool recursive) const
{
    return recursive ? sync (0) : fsync (handle) == 0;
}

bool FolderHandle::sync (int depth) const
{
    if (depth > deepestFolder)
        return false;

    auto synced = true;

    for (const auto& name : childNames())
        if (kindOf (name) == Kind::folder)
        {
            const auto child = openChild (name, false);
            synced = child.isOpen() && child.sync (depth + 1) && synced;
        }

    return fsync (handle) == 0 && synced;
}

#endif

#if JUCE_WINDOWS

// Windows has no openat(): a child is reached by the held folder's final path and the
// child's name, which stays safe because every handle here is opened without delete
// sharing (the folder cannot be renamed or replaced while it is held, nor can any
// folder above it while something inside is open) and with FILE_FLAG_OPEN_REPARSE_POINT,
// so a junction, a symbolic link or any other reparse point is opened as itself and
// refused, never followed. Renames and deletions are made on the handle itself
// (SetFileInformationByHandle with FileRenameInfo relative to the destination folder's
// handle, and FileDispositionInfo), never by a path resolved again. There is no atomic
// exchange: items are swapped in two steps, and an interrupted swap is put right by the
// next clean-up.
# include <aclapi.h>
# include <sddl.h>

namespace
{
constexpr DWORD openFlags = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;
constexpr DWORD noDeleteSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;

juce::String finalPathOf (HANDLE handle)
{
    WCHAR path[32768];
    const auto length = GetFinalPathNameByHandleW (handle, path, (DWORD) std::size (path), FILE_NAME_NORMALIZED);
    return length > 0 && length < std::size (path) ? juce::String (path, (size_t) length) : juce::String();
}

HANDLE openItem (const juce::String& path, DWORD access, DWORD sharing)
{
    return CreateFileW (path.toWideCharPointer(), access, sharing, nullptr, OPEN_EXISTING, openFlags, nullptr);
}

bool informationOf (HANDLE handle, BY_HANDLE_FILE_INFORMATION& info)
{
    return handle != INVALID_HANDLE_VALUE && GetFileInformationByHandle (handle, &info);
}

bool isPlainFolder (const BY_HANDLE_FILE_INFORMATION& info)
{
    return (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0
        && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

bool markDeleted (HANDLE handle)
{
    FILE_DISPOSITION_INFO disposition { TRUE };
    return SetFileInformationByHandle (handle, FileDispositionInfo, &disposition, sizeof (disposition));
}
}  // namespace

FolderHandle::~FolderHandle()
{
    if (isOpen())
        CloseHandle (handle);
}

FolderHandle FolderHandle::open (const juce::File& folder, bool createMissing, juce::String* whyNot)
{
    auto opened = openByParts (folder, createMissing);

    if (! opened.isOpen() && whyNot != nullptr)
        *whyNot = errno == ELOOP
                    ? "the path holds a link or junction, which is never followed: " + folder.getFullPathName()
                    : FailureReason::ofError (errno, folder.getFullPathName());

    return opened;
}

FolderHandle FolderHandle::openByParts (const juce::File& folder, bool createMissing)
{
    const auto parts = partsOf (folder);

    // A drive root ("C:") is the start; a network share ("\\server\share") is too.
    if (parts.size() < 2 || ! juce::File::isAbsolutePath (folder.getFullPathName()))
        return {};

    const auto sharePath = folder.getFullPathName().startsWith ("\\\\");
    const auto rootParts = sharePath ? 2 : 1;
    const auto root = (sharePath ? "\\\\" : "") + parts[0] + (sharePath ? "\\" + parts[1] : juce::String()) + "\\";

    FolderHandle current (openItem (root, FILE_LIST_DIRECTORY | FILE_TRAVERSE, noDeleteSharing));

    for (int i = rootParts; i < parts.size() && current.isOpen(); ++i)
        current = current.openChild (parts[i], createMissing);

    return current;
}

bool FolderHandle::makeChildFolder (const juce::String& name, bool) const
{
    // The staging folder inherits the plug-in folder's access list; administrators own it.
    if (CreateDirectoryW ((finalPathOf (handle) + "\\" + name).toWideCharPointer(), nullptr))
        return true;

    errno = GetLastError() == ERROR_ALREADY_EXISTS ? EEXIST : EACCES;
    return false;
}

FolderHandle FolderHandle::openChild (const juce::String& name, bool createMissing) const
{
    const auto path = finalPathOf (handle) + "\\" + name;

    if (createMissing)
        CreateDirectoryW (path.toWideCharPointer(), nullptr);

    FolderHandle child (openItem (path, FILE_LIST_DIRECTORY | FILE_TRAVERSE | DELETE | SYNCHRONIZE, noDeleteSharing));
    BY_HANDLE_FILE_INFORMATION info {};

    if (! informationOf (child.handle, info))
    {
        errno = GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND ? ENOENT : EACCES;
        return {};
    }

    if (! isPlainFolder (info))
    {
        errno = ELOOP;
        return {};
    }

    return child;
}

std::unique_ptr<ExtractedFile> FolderHandle::createFile (const juce::String& name) const
{
    const auto file = CreateFileW ((finalPathOf (handle) + "\\" + name).toWideCharPointer(), GENERIC_WRITE, 0, nullptr,
                                   CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);

    return file != INVALID_HANDLE_VALUE ? std::make_unique<ExtractedFile> (file) : nullptr;
}

FolderHandle::Kind FolderHandle::kindOf (const juce::String& name) const
{
    const auto item = openItem (finalPathOf (handle) + "\\" + name, FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    BY_HANDLE_FILE_INFORMATION info {};
    const auto found = informationOf (item, info);
    const auto error = GetLastError();

    if (item != INVALID_HANDLE_VALUE)
        CloseHandle (item);

    if (! found)
        return error == ERROR_FILE_NOT_FOUND ? Kind::missing : Kind::unknown;

    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        return Kind::other;

    return (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? Kind::folder : Kind::file;
}

bool FolderHandle::isOwnFolder (const juce::String& name) const
{
    const auto folder = name.isEmpty() ? FolderHandle() : openChild (name, false);
    const auto held = name.isEmpty() ? handle : folder.handle;
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;

    if (held == INVALID_HANDLE_VALUE
        || GetSecurityInfo (held, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                            &descriptor)
               != ERROR_SUCCESS)
        return false;

    // Folders made by an elevated process belong to the administrators.
    const auto ours = IsWellKnownSid (owner, WinBuiltinAdministratorsSid) || IsWellKnownSid (owner, WinLocalSystemSid);
    LocalFree (descriptor);
    return ours;
}

bool FolderHandle::isPrivateFolder (const juce::String& name) const
{
    // Folders here carry no mode bits; the access list is the plug-in folder's.
    return isOwnFolder (name);
}

juce::StringArray FolderHandle::childNames() const
{
    juce::StringArray names;
    WIN32_FIND_DATAW found {};
    const auto search = FindFirstFileW ((finalPathOf (handle) + "\\*").toWideCharPointer(), &found);

    if (search == INVALID_HANDLE_VALUE)
        return names;

    do
    {
        const juce::String name (found.cFileName);

        if (name != "." && name != "..")
            names.add (name);
    } while (FindNextFileW (search, &found));

    FindClose (search);
    return names;
}

bool FolderHandle::removeChild (const juce::String& name, double) const
{
    return removeChildAt (name, 0);
}

bool FolderHandle::removeContents (double) const
{
    return removeContentsAt (0);
}

// Windows paths are bounded: the depth is too.
bool FolderHandle::removeContentsAt (int depth) const
{
    if (depth > deepestFolder)
        return false;

    auto removedAll = true;

    for (const auto& name : childNames())
        removedAll = removeChildAt (name, depth) && removedAll;

    return removedAll;
}

bool FolderHandle::removeChildAt (const juce::String& name, int depth) const
{
    // The item as it is, a reparse point included, opened for deletion on its handle.
    const auto item = openItem (finalPathOf (handle) + "\\" + name, DELETE | FILE_READ_ATTRIBUTES | FILE_LIST_DIRECTORY,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    BY_HANDLE_FILE_INFORMATION info {};

    if (! informationOf (item, info))
        return GetLastError() == ERROR_FILE_NOT_FOUND;

    FolderHandle held (item);
    const auto emptied = ! isPlainFolder (info) || held.removeContentsAt (depth + 1);
    return markDeleted (item) && emptied;
}

bool FolderHandle::removeEmptyChild (const juce::String& name, const FolderHandle& expected) const
{
    BY_HANDLE_FILE_INFORMATION named {}, held {};
    FolderHandle item (openItem (finalPathOf (handle) + "\\" + name, DELETE | FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE));

    return informationOf (item.handle, named) && informationOf (expected.handle, held)
        && named.dwVolumeSerialNumber == held.dwVolumeSerialNumber && named.nFileIndexHigh == held.nFileIndexHigh
        && named.nFileIndexLow == held.nFileIndexLow && markDeleted (item.handle);
}

FolderHandle::MoveResult FolderHandle::move (const juce::String& name, const FolderHandle& destination,
                                             const juce::String& newName, Move how) const
{
    if (how == Move::exchange)
        return kindOf (name) == Kind::missing || destination.kindOf (newName) != Kind::missing
                 ? MoveResult::notSupported
                 : MoveResult::destinationMissing;

    FolderHandle item (openItem (finalPathOf (handle) + "\\" + name, DELETE | SYNCHRONIZE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE));

    if (! item.isOpen())
        return MoveResult::failed;

    // The new name is relative to the destination folder's handle.
    const auto wide = newName.toWideCharPointer();
    const auto nameBytes = (DWORD) (wcslen (wide) * sizeof (WCHAR));
    juce::HeapBlock<char> buffer (sizeof (FILE_RENAME_INFO) + nameBytes, true);
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*> (buffer.get());
    rename->ReplaceIfExists = FALSE;
    rename->RootDirectory = destination.handle;
    rename->FileNameLength = nameBytes;
    memcpy (rename->FileName, wide, nameBytes);

    return SetFileInformationByHandle (item.handle, FileRenameInfo, rename,
                                       (DWORD) (sizeof (FILE_RENAME_INFO) + nameBytes))
             ? MoveResult::moved
             : MoveResult::failed;
}

bool FolderHandle::sync (bool recursive) const
{
    return recursive ? sync (0) : true;
}

bool FolderHandle::sync (int) const
{
    // NTFS journals every change of names; a rename is on disk once its log record is,
    // which the file system flushes itself. Files are flushed by ExtractedFile.
    return true;
}

#endif
