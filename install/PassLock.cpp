#include "PassLock.h"

#if ! JUCE_WINDOWS
# include <fcntl.h>
# include <sys/file.h>
# include <sys/stat.h>
# include <unistd.h>
#endif

const juce::String PassLock::fileName { ".PluginManagerPass.lock" };

#if JUCE_WINDOWS
// A named mutex in the global namespace (the framework adds the prefix), shared by
// every session on the machine.
PassLock::PassLock (const juce::File&, juce::RelativeTime wait)
    : lock (std::make_unique<juce::InterProcessLock> ("TovinDriftPluginManagerPass"))
{
    held = lock->enter ((int) wait.inMilliseconds());
}

PassLock::~PassLock() = default;
#else
namespace
{
// Opens the lock file without following a link, and only when it is a plain file of
// this process's user that no other name shares, so nobody else can take or fake it.
int openLockFile (const juce::File& makerFolder)
{
    // The maker folder lies in the machine-wide application-data folder, which only root
    // may write: no user can race a path there, unlike below a plug-in folder.
    makerFolder.createDirectory();
    const auto folder =
        ::open (makerFolder.getFullPathName().toRawUTF8(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);

    if (folder < 0)
        return -1;

    auto fd =
        ::openat (folder, PassLock::fileName.toRawUTF8(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0644);
    ::close (folder);

    struct stat info
    {};

    if (fd >= 0
        && (::fstat (fd, &info) != 0 || ! S_ISREG (info.st_mode) || info.st_uid != ::geteuid() || info.st_nlink != 1))
    {
        ::close (fd);
        fd = -1;
    }

    return fd;
}
}  // namespace

PassLock::PassLock (const juce::File& makerFolder, juce::RelativeTime wait) : descriptor (openLockFile (makerFolder))
{
    if (descriptor < 0)
        return;

    const auto deadline = juce::Time::getMillisecondCounterHiRes() + wait.inSeconds() * 1000.0;

    while (! (held = ::flock (descriptor, LOCK_EX | LOCK_NB) == 0)
           && juce::Time::getMillisecondCounterHiRes() < deadline)
        juce::Thread::sleep (50);
}

PassLock::~PassLock()
{
    if (descriptor >= 0)
        ::close (descriptor);
}
#endif
