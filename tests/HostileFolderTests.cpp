// A user who owns a plug-in folder races the installer from an ordinary account with
// five attacks, and builds trees no item has for it to remove; root-only files and
// another user's outside the folder must come through untouched.
// Runs as root in a private mount namespace (see tests/CMakeLists.txt).
#include "helpers/KilledOnExit.h"
#include "helpers/Mounts.h"
#include "helpers/OtherUsers.h"
#include "helpers/ScratchFolder.h"
#include "install/ArchiveInstaller.h"

#include <catch2/catch_test_macros.hpp>
#include <catch2/generators/catch_generators.hpp>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
// A bundle worth racing: a module of a few MB and a folder of many small files.
juce::MemoryBlock bundleArchive()
{
    juce::ZipFile::Builder builder;
    const juce::Time time (2024, 0, 1, 12, 0);
    juce::MemoryBlock module (3 << 20);
    juce::Random (1).fillBitsRandomly (module.getData(), module.getSize());
    builder.addEntry (new juce::MemoryInputStream (module, true), 0, "Item.vst3/Contents/module", time);
    builder.addEntry (new juce::MemoryInputStream ("about", 5, true), 9, "Item.vst3/Contents/readme", time);

    for (int i = 0; i < 40; ++i)
        builder.addEntry (new juce::MemoryInputStream ("x", 1, true), 9, "Item.vst3/many/f" + juce::String (i), time);

    juce::MemoryOutputStream out;
    builder.writeToStream (out, nullptr);
    return out.getMemoryBlock();
}

// Each victim's content, owner and mode.
juce::StringArray victimState (const juce::File& victims)
{
    juce::StringArray lines;

    for (const auto& entry : juce::RangedDirectoryIterator (victims, true, "*", juce::File::findFilesAndDirectories,
                                                            juce::File::FollowSymlinks::no))
    {
        struct stat info
        {};
        lstat (entry.getFile().getFullPathName().toRawUTF8(), &info);
        lines.add (entry.getFile().getRelativePathFrom (victims) + " " + juce::String (info.st_uid) + " "
                   + juce::String::formatted ("%o", (unsigned) (info.st_mode & 07777)) + " "
                   + (S_ISREG (info.st_mode) ? ScratchFolder::contentHash (entry.getFile()) : juce::String()));
    }

    lines.sort (false);
    return lines;
}

// Whether the secret's text turned up in any file the user can reach.
bool secretLeaked (const juce::File& folder, const juce::String& secret)
{
    for (const auto& entry :
         juce::RangedDirectoryIterator (folder, true, "*", juce::File::findFiles, juce::File::FollowSymlinks::no))
        if (! entry.getFile().isSymbolicLink() && entry.getFile().loadFileAsString().contains (secret))
            return true;

    return false;
}
}  // namespace

TEST_CASE ("A user who owns the plug-in folder gains nothing over root", "[hostile]")
{
    Mounts::require();

    const auto attack = GENERATE (as<juce::String> {}, "staging-link", "deletion-link", "prefilled-rename", "path-link",
                                  "neighbour-link");
    INFO ("attack: " << attack);

    ScratchFolder scratch;
    const auto uid = OtherUsers::unused();
    REQUIRE (chmod (scratch.folder.getFullPathName().toRawUTF8(), 0755) == 0);

    // The user's side: a plug-in folder whose whole path below the scratch is theirs,
    // and a folder of theirs on another file system.
    const auto home = scratch / "home";
    const auto plugins = home.getChildFile ("a/plugins");
    REQUIRE (plugins.createDirectory());

    for (const auto& folder : { home, home.getChildFile ("a"), plugins })
        REQUIRE (OtherUsers::own (folder, uid, 0755));

    const auto other = scratch / "other";
    REQUIRE (other.createDirectory());
    REQUIRE (Mounts::run ("mount -t tmpfs -o size=16m,mode=0755,uid=" + juce::String (uid) + " tmpfs "
                          + Mounts::quoted (other)));

    // Root's side: files only root may read, change or delete, some named like what
    // the installer works on.
    const auto victims = scratch / "victim";
    const juce::String secret ("root secret 7f3a");

    for (const auto& [path, text] : std::initializer_list<std::pair<const char*, juce::String>> {
             { "secret", secret },
             { "overwrite", "root data" },
             { "plugins/Item.vst3/keep", "root's own item" },
             { "neighbour/plugins/Item.vst3/keep", "another user's item" } })
        REQUIRE (ScratchFolder::write (victims.getChildFile (path), text));

    for (int i = 0; i < 10; ++i)
        REQUIRE (ScratchFolder::write (victims.getChildFile ("tree/f" + juce::String (i)), "root file"));

    for (const auto& entry : juce::RangedDirectoryIterator (victims, true, "*", juce::File::findFiles))
        REQUIRE (OtherUsers::own (entry.getFile(), 0, 0600));

    // Another ordinary user's plug-in folder, which the first may link to but never reach.
    const auto neighbour = OtherUsers::unused (1);

    for (const auto& entry : juce::RangedDirectoryIterator (victims.getChildFile ("neighbour"), true, "*",
                                                            juce::File::findFilesAndDirectories))
        REQUIRE (OtherUsers::own (entry.getFile(), neighbour, entry.isDirectory() ? 0755 : 0600));

    REQUIRE (OtherUsers::own (victims.getChildFile ("neighbour"), neighbour, 0755));

    const auto before = victimState (victims);
    const auto archive = bundleArchive();
    const ArchiveInstaller installer (plugins, "Item.vst3");

    juce::ChildProcess adversary;
    const KilledOnExit guard { adversary };
    REQUIRE (adversary.start (
        juce::StringArray { TEST_ADVERSARY, juce::String (uid), attack, scratch.folder.getFullPathName(), "30" }));

    // Install, uninstall and the start-up clean-up, round after round, while the
    // user attacks; whether each succeeds is up to the user.
    const auto deadline = juce::Time::getMillisecondCounter() + 6000;
    int rounds = 0;

    for (; rounds < 60 && juce::Time::getMillisecondCounter() < deadline; ++rounds)
    {
        installer.install (archive.getData(), archive.getSize());
        installer.uninstall();
        installer.install (archive.getData(), archive.getSize());
        installer.removeLeftovers();
    }

    REQUIRE (ScratchFolder::write (scratch / "stop", {}));
    REQUIRE (adversary.waitForProcessToFinish (10000));
    const auto said = adversary.readAllProcessOutput();
    INFO (said << rounds << " rounds");

    CHECK (adversary.getExitCode() == 0);
    CHECK (said.contains ("control: denied"));
    CHECK (victimState (victims) == before);
    CHECK_FALSE (secretLeaked (home, secret));
    CHECK_FALSE (secretLeaked (other, secret));

    Mounts::run ("umount " + Mounts::quoted (other));
}

namespace
{
// Runs build as the user, in a child process, on a descriptor of folder.
template <typename Build>
bool asUser (uid_t uid, const juce::File& folder, Build&& build)
{
    const auto fd = open (folder.getFullPathName().toRawUTF8(), O_RDONLY | O_DIRECTORY);
    const auto child = fork();

    if (child == 0)
        _exit (setgroups (0, nullptr) != 0 || setgid (uid) != 0 || setuid (uid) != 0 ? 3 : build (fd) ? 0 : 1);

    close (fd);
    int status = -1;
    return child > 0 && waitpid (child, &status, 0) == child && WIFEXITED (status) && WEXITSTATUS (status) == 0;
}

// Folders "a" inside each other, each one with what extras() puts beside the next.
template <typename Extras>
bool chain (int fd, int depth, Extras&& extras)
{
    auto current = dup (fd);

    for (int level = 0; level < depth && current >= 0; ++level)
    {
        if (! extras (current) || mkdirat (current, "a", 0755) != 0)
            break;

        const auto next = openat (current, "a", O_RDONLY | O_DIRECTORY);
        close (current);
        current = next;
    }

    const auto built = current >= 0;
    close (current);
    return built;
}

bool emptyFile (int folder, const char* name)
{
    const auto fd = openat (folder, name, O_WRONLY | O_CREAT | O_EXCL, 0644);
    return fd >= 0 && close (fd) == 0;
}

// The user's trees no installed item has, built in Item.vst3 of their plug-in folder.
bool buildTree (int plugins, const juce::String& shape, const juce::File& victims)
{
    if (mkdirat (plugins, "Item.vst3", 0755) != 0)
        return false;

    const auto item = openat (plugins, "Item.vst3", O_RDONLY | O_DIRECTORY);

    if (shape == "30,000 nested folders")
        return chain (item, 30000, [] (int) { return true; });

    if (shape == "200,000 empty files")
    {
        for (int i = 0; i < 200000; ++i)
            if (! emptyFile (item, ("f" + std::to_string (i)).c_str()))
                return false;

        return true;
    }

    // Links to root's folder and file, a file and a folder at each of 3,000 levels.
    const auto tree = victims.getChildFile ("tree").getFullPathName(),
               secret = victims.getChildFile ("secret").getFullPathName();
    return chain (item, 3000,
                  [&] (int folder)
                  {
                      return symlinkat (tree.toRawUTF8(), folder, "to-root-folder") == 0
                          && symlinkat (secret.toRawUTF8(), folder, "to-root-file") == 0 && emptyFile (folder, "f");
                  });
}

juce::StringArray namesIn (const juce::File& folder)
{
    juce::StringArray names;

    for (const auto& entry : juce::RangedDirectoryIterator (folder, false, "*", juce::File::findFilesAndDirectories))
        names.add (entry.getFile().getFileName());

    names.sort (false);
    return names;
}

double secondsSince (double startMs)
{
    return (juce::Time::getMillisecondCounterHiRes() - startMs) / 1000.0;
}
}  // namespace

TEST_CASE ("Whatever tree the folder's owner builds, removal takes all of it and follows no link", "[hostile]")
{
    Mounts::require();

    const auto shape =
        GENERATE (as<juce::String> {}, "30,000 nested folders", "200,000 empty files", "links at every level");
    INFO ("tree: " << shape);

    ScratchFolder scratch;
    const auto uid = OtherUsers::unused();
    REQUIRE (chmod (scratch.folder.getFullPathName().toRawUTF8(), 0755) == 0);
    const auto plugins = scratch / "plugins";
    REQUIRE (plugins.createDirectory());
    REQUIRE (
        Mounts::run ("mount -t tmpfs -o mode=0755,uid=" + juce::String (uid) + " tmpfs " + Mounts::quoted (plugins)));

    const auto victims = scratch / "victim";
    REQUIRE (ScratchFolder::write (victims.getChildFile ("secret"), "root secret"));
    REQUIRE (ScratchFolder::write (victims.getChildFile ("tree/f"), "root file"));
    const auto before = victimState (victims);

    REQUIRE (asUser (uid, plugins, [&] (int fd) { return buildTree (fd, shape, victims); }));
    const ArchiveInstaller installer (plugins, "Item.vst3");
    const auto archive = bundleArchive();
    const auto started = juce::Time::getMillisecondCounterHiRes();

    SECTION ("uninstall removes all of it")
    {
        CHECK (installer.uninstall());
        CHECK (namesIn (plugins).isEmpty());
    }

    SECTION ("install replaces it and leaves no staging folder")
    {
        CHECK (installer.install (archive.getData(), archive.getSize()));
        CHECK (namesIn (plugins) == juce::StringArray { "Item.vst3" });
        CHECK (plugins.getChildFile ("Item.vst3/Contents/module").existsAsFile());
    }

    SECTION ("the clean-up leaves what its time does not allow, and the next one finishes it")
    {
        // An install stopped after the swap: the earlier item waits in the staging folder.
        const auto staging = plugins.getChildFile (installer.stagingPrefix() + "0123456789abcdef");
        REQUIRE (mkdir (staging.getFullPathName().toRawUTF8(), 0700) == 0);
        REQUIRE (plugins.getChildFile ("Item.vst3").moveFileTo (staging.getChildFile ("Item.vst3")));

        ArchiveInstaller hurried (plugins, "Item.vst3");
        hurried.cleanupTime = juce::RelativeTime::milliseconds (1);
        const auto left = hurried.removeLeftovers();
        REQUIRE (left.size() == 1);
        CHECK (left[0].path == staging);
        CHECK (left[0].why.contains ("time for this start ran out"));

        CHECK (installer.removeLeftovers().empty());
        CHECK (namesIn (plugins).isEmpty());
    }

    CHECK (secondsSince (started) < 60.0);
    CHECK (victimState (victims) == before);
    Mounts::run ("umount " + Mounts::quoted (plugins));
}
