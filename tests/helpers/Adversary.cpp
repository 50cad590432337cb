// The owner of a plug-in folder, racing the installer from an ordinary account.
// Started as root by tests/HostileFolderTests.cpp, it drops to the given user at once
// and then runs one attack in a loop until the stop file appears or time is up.
//
//   TestAdversary <uid> <attack> <scratch> <seconds>
//
// The scratch folder holds home/a/plugins (the user's plug-in folder, path and all
// owned by the user), victim/ (root-only files the user must never reach), other/
// (a folder of the user's on another file system) and stop (made by the test);
// victim/neighbour/ belongs to another ordinary user.
// Before attacking it tries the victims itself and prints "control: denied" when
// every attempt failed. The item attacked is "Item.vst3".
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace
{
std::string scratch, plugins, home, victim, other;
int counter = 0;

std::string fresh (const std::string& folder)
{
    return folder + "/.junk" + std::to_string (getpid()) + "-" + std::to_string (++counter);
}

bool isStaging (const std::string& name)
{
    return name.rfind (".Item.vst3.staging", 0) == 0;
}

std::vector<std::string> namesIn (const std::string& folder)
{
    std::vector<std::string> names;

    if (auto* dir = opendir (folder.c_str()))
    {
        while (auto* entry = readdir (dir))
            names.emplace_back (entry->d_name);

        closedir (dir);
    }

    return names;
}

bool isRootFolder (const std::string& path)
{
    struct stat info
    {};
    return lstat (path.c_str(), &info) == 0 && S_ISDIR (info.st_mode) && info.st_uid == 0;
}

void writeFile (const std::string& path, const std::string& text)
{
    const auto fd = open (path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW, 0644);

    if (fd >= 0)
    {
        (void) ! write (fd, text.data(), text.size());
        close (fd);
    }
}

bool controlDenied()
{
    const auto denied = [] (int fd)
    {
        if (fd >= 0)
            close (fd);

        return fd < 0;
    };

    return denied (open ((victim + "/secret").c_str(), O_RDONLY))
        && denied (open ((victim + "/overwrite").c_str(), O_WRONLY)) && unlink ((victim + "/tree/f0").c_str()) != 0
        && rmdir ((victim + "/tree").c_str()) != 0 && unlink ((victim + "/plugins/Item.vst3/keep").c_str()) != 0
        && denied (open ((victim + "/plugins/new").c_str(), O_WRONLY | O_CREAT, 0644));
}

// 1. A staging folder swapped for a link to a folder on another file system, whose
// item leads to a victim file by a link.
void prepareOtherSide (const std::string& folder)
{
    mkdir (folder.c_str(), 0755);
    mkdir ((folder + "/Item.vst3").c_str(), 0755);
    mkdir ((folder + "/Item.vst3/Contents").c_str(), 0755);
    symlink ((victim + "/overwrite").c_str(), (folder + "/Item.vst3/Contents/module").c_str());
    symlink ((victim + "/secret").c_str(), (folder + "/Item.vst3/Contents/readme").c_str());
}

void swapStagingForLink()
{
    const auto target = other + "/dst";
    prepareOtherSide (target);

    for (const auto& name : namesIn (plugins))
        if (isStaging (name) && isRootFolder (plugins + "/" + name))
            if (rename ((plugins + "/" + name).c_str(), fresh (plugins).c_str()) == 0)
                symlink (target.c_str(), (plugins + "/" + name).c_str());
}

// 2. A folder of the user's where the program deletes things, full of files, swapped
// for a link to a victim folder at the first deletion inside it.
void fill (const std::string& folder)
{
    mkdir (folder.c_str(), 0755);
    mkdir ((folder + "/many").c_str(), 0755);

    for (int i = 0; i < 200; ++i)
        writeFile (folder + "/many/f" + std::to_string (i), "x");
}

bool needsFilling (const std::string& bait)
{
    struct stat info
    {};

    return lstat (bait.c_str(), &info) != 0 || info.st_uid == 0 || lstat ((bait + "/many").c_str(), &info) != 0
        || ! S_ISDIR (info.st_mode) || access ((bait + "/many/f0").c_str(), F_OK) != 0
        || access ((bait + "/many/f199").c_str(), F_OK) != 0;
}

void swapAtFirstDeletion()
{
    // Folders of the user's where the item, and where leftovers, would be.
    static const std::vector<std::string> baits { plugins + "/Item.vst3", plugins + "/.Item.vst3.staging",
                                                  plugins + "/.Item.vst3.previous",
                                                  plugins + "/.Item.vst3.staging-0123456789abcdef" };
    static const auto watcher = inotify_init1 (IN_NONBLOCK);
    static std::vector<int> watches (baits.size(), -1);

    pollfd waiting { watcher, POLLIN, 0 };

    // Between deletions, the folders are filled again.
    if (poll (&waiting, 1, 20) <= 0)
    {
        for (size_t i = 0; i < baits.size(); ++i)
        {
            if (! needsFilling (baits[i]))
                continue;

            struct stat info
            {};

            // The installer's own item is moved out of the way; what is left of the last
            // round goes aside.
            if (lstat (baits[i].c_str(), &info) == 0 && info.st_uid == 0)
                rename (baits[i].c_str(), fresh (plugins).c_str());

            rename ((baits[i] + "/many").c_str(), fresh (baits[i]).c_str());
            unlink ((baits[i] + "/many").c_str());
            fill (baits[i]);
            watches[i] = inotify_add_watch (watcher, (baits[i] + "/many").c_str(), IN_DELETE);
        }
        return;
    }

    alignas (inotify_event) char buffer[4096];
    const auto got = read (watcher, buffer, sizeof (buffer));

    for (ssize_t pos = 0; pos < got;)
    {
        const auto* event = reinterpret_cast<const inotify_event*> (buffer + pos);

        for (size_t i = 0; i < baits.size(); ++i)
            if (watches[i] == event->wd && event->mask & IN_DELETE
                && rename ((baits[i] + "/many").c_str(), fresh (baits[i]).c_str()) == 0)
            {
                symlink ((victim + "/tree").c_str(), (baits[i] + "/many").c_str());
                watches[i] = -1;
            }

        pos += (ssize_t) sizeof (inotify_event) + event->len;
    }
}

// 3. A pre-filled folder renamed onto the staging folder's name once it is there.
void renameOntoStaging()
{
    const auto filled = home + "/prefilled";
    mkdir (filled.c_str(), 0755);
    prepareOtherSide (filled);

    for (const auto& name : namesIn (plugins))
        if (isStaging (name) && isRootFolder (plugins + "/" + name))
            rename (filled.c_str(), (plugins + "/" + name).c_str());
}

// 4. The plug-in folder, or a folder on its path, replaced for a moment by a link to a
// root folder (victim/) or to another user's (victim/neighbour/).
void swapPathForLink (const std::string& victimFolder)
{
    const auto swapFor = [] (const std::string& path, const std::string& linkTarget)
    {
        const auto aside = path + ".real";

        if (rename (path.c_str(), aside.c_str()) != 0)
            return;

        symlink (linkTarget.c_str(), path.c_str());
        usleep (2000);
        unlink (path.c_str());
        rename (aside.c_str(), path.c_str());
    };

    swapFor (home + "/a", victimFolder);
    swapFor (plugins, victimFolder + "/plugins");
}
}  // namespace

int main (int argc, char* argv[])
{
    if (argc != 5)
        return 2;

    const auto uid = (uid_t) std::atoi (argv[1]);
    const std::string attack (argv[2]);
    scratch = argv[3];
    home = scratch + "/home";
    plugins = home + "/a/plugins";
    victim = scratch + "/victim";
    other = scratch + "/other";

    if (setgroups (0, nullptr) != 0 || setgid (uid) != 0 || setuid (uid) != 0 || setuid (0) == 0)
        return 3;

    std::printf ("control: %s\n", controlDenied() ? "denied" : "ALLOWED");
    std::fflush (stdout);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds (std::atoi (argv[4]));

    while (access ((scratch + "/stop").c_str(), F_OK) != 0 && std::chrono::steady_clock::now() < deadline)
    {
        if (attack == "staging-link")
            swapStagingForLink();
        else if (attack == "deletion-link")
            swapAtFirstDeletion();
        else if (attack == "prefilled-rename")
            renameOntoStaging();
        else if (attack == "path-link")
            swapPathForLink (victim);
        else if (attack == "neighbour-link")
            swapPathForLink (victim + "/neighbour");
        else
            return 4;
    }

    return 0;
}
