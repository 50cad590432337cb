#include "helpers/TestInstaller.h"
#include "install/InstalledState.h"
#include "install/PluginFormats.h"
#include "install/SettingsFile.h"

#include <catch2/catch_test_macros.hpp>

#include <future>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

TEST_CASE ("The installed state is read from the disk on every question", "[detection]")
{
    TestInstaller installer;
    auto& screen = installer.start();

    SECTION ("nothing present: not installed, nothing preselected")
    {
        for (int index = 0; index < 3; ++index)
        {
            CHECK_FALSE (screen.isFormatInstalled (index));
            CHECK (screen.statusText (index) == "NOT INSTALLED");
            CHECK_FALSE (screen.selected[(size_t) index]);
        }
    }

    SECTION ("a plain file or an empty folder with the item's name counts as installed, without a version")
    {
        REQUIRE (installer.target (1).create());
        REQUIRE (installer.target (0).createDirectory());

        CHECK (screen.statusText (1) == "INSTALLED");
        CHECK (screen.statusText (0) == "INSTALLED");
        CHECK (screen.hintFor ("CLAP") == "Select to update CLAP to 1.0.12");
        CHECK (screen.hintFor ("AAX") == "Select to install AAX");
    }

    SECTION ("a change on disk shows at the next question")
    {
        REQUIRE (installer.target (2).createDirectory());
        CHECK (screen.isFormatInstalled (2));
        REQUIRE (installer.target (2).deleteRecursively());
        CHECK_FALSE (screen.isFormatInstalled (2));
    }

    SECTION ("the carried archives: only the AAX module has a version")
    {
        REQUIRE (installer.pass ({ 0, 1, 2 }));

        CHECK (screen.statusText (0) == "INSTALLED");
        CHECK (screen.statusText (1) == "INSTALLED");
        CHECK (screen.statusText (2) == "v1.0.12.0 INSTALLED");
        CHECK (screen.installedVersion (2) == "1.0.12.0");
    }

    SECTION ("an AAX bundle without its module reads installed, without a version")
    {
        REQUIRE (installer.target (2).getChildFile ("Contents/x64").createDirectory());
        CHECK (screen.statusText (2) == "INSTALLED");
    }

    SECTION ("a CLAP file that carries a version shows it")
    {
        REQUIRE (installer.pass ({ 2 }));
        const auto aaxModule = installer.target (2).getChildFile ("Contents/x64/Glass Tundra Lights.aaxplugin");
        REQUIRE (installer.folder (1).createDirectory());
        REQUIRE (aaxModule.copyFileTo (installer.target (1)));

        CHECK (screen.statusText (1) == "v1.0.12.0 INSTALLED");
    }
}

TEST_CASE ("Formats already installed start selected", "[detection]")
{
    TestInstaller installer;
    installer.start();
    REQUIRE (installer.target (1).create());

    installer.screen = nullptr;
    auto& screen = installer.start();

    CHECK_FALSE (screen.selected[0]);
    CHECK (screen.selected[1]);
    CHECK_FALSE (screen.selected[2]);
}

TEST_CASE ("A format without a folder is never looked for at the file-system root", "[detection]")
{
    TestInstaller installer;
    installer.scratch.settingsFile().getParentDirectory().createDirectory();
    installer.scratch.settingsFile().replaceWithText ("<Plugin_Manager_Settings/>");
    auto& screen = installer.start();

    for (int index = 0; index < 3; ++index)
    {
        CHECK (screen.installTarget (index) == juce::File());
        CHECK (screen.statusText (index) == "NOT INSTALLED");
        CHECK (screen.hintFor (formatNames[index]) == "Select to install " + formatNames[index]);
    }
}

TEST_CASE ("A paint looks at the disk once per format, and once more per installed format", "[detection][painting]")
{
    TestInstaller installer;
    auto& screen = installer.start();
    juce::Image image (juce::Image::ARGB, 600, 600, true, juce::SoftwareImageType());

    const auto queriesOfOnePaint = [&]
    {
        const auto before = InstalledState::queriesMade();
        juce::Graphics g (image);
        screen.paintEntireComponent (g, true);
        return InstalledState::queriesMade() - before;
    };

    CHECK (queriesOfOnePaint() == 3);
    REQUIRE (installer.pass ({ 1, 2 }));
    CHECK (queriesOfOnePaint() == 5);
}

namespace
{
// A writer that lets a reader blocked on a FIFO go on, should one be blocked.
void releaseReaders (const juce::File& fifo)
{
    const auto fd = ::open (fifo.getFullPathName().toRawUTF8(), O_WRONLY | O_NONBLOCK);

    if (fd >= 0)
        ::close (fd);
}

// Runs a question that must not wait; after a few seconds the FIFOs are opened
// from the other end, so a question that did wait can end.
template <typename Question>
bool answersAtOnce (Question question, std::initializer_list<juce::File> fifos)
{
    auto answer = std::async (std::launch::async, question);
    const auto quick = answer.wait_for (std::chrono::seconds (5)) == std::future_status::ready;

    while (answer.wait_for (std::chrono::milliseconds (10)) != std::future_status::ready)
        for (const auto& fifo : fifos)
            releaseReaders (fifo);

    return quick;
}

bool makeSocket (const juce::File& file)
{
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    file.getFullPathName().copyToUTF8 (address.sun_path, sizeof (address.sun_path));
    const auto fd = ::socket (AF_UNIX, SOCK_STREAM, 0);
    const auto bound = ::bind (fd, (const sockaddr*) &address, sizeof (address)) == 0;
    ::close (fd);
    return bound;
}
}  // namespace

TEST_CASE ("A FIFO, a socket or a link to a device named like the item is never read", "[detection][hostile]")
{
    TestInstaller installer;
    auto& screen = installer.start();
    const auto clap = installer.target (1);
    const auto aaxModule = installer.target (2).getChildFile ("Contents/x64/Glass Tundra Lights.aaxplugin");
    REQUIRE (installer.folder (1).createDirectory());
    REQUIRE (aaxModule.getParentDirectory().createDirectory());

    const auto make = [&] (const juce::String& kind, const juce::File& item)
    {
        if (kind == "fifo")
            return ::mkfifo (item.getFullPathName().toRawUTF8(), 0644) == 0;

        if (kind == "socket")
            return makeSocket (item);

        return juce::File ("/dev/zero").createSymbolicLink (item, true);
    };

    for (const auto* kind : { "fifo", "socket", "link to /dev/zero" })
    {
        DYNAMIC_SECTION (kind)
        {
            REQUIRE (make (kind, clap));
            REQUIRE (make (kind, aaxModule));

            juce::Image image (juce::Image::ARGB, 600, 600, true, juce::SoftwareImageType());
            const auto painted = answersAtOnce (
                [&]
                {
                    juce::Graphics g (image);
                    screen.paintEntireComponent (g, true);
                },
                { clap, aaxModule });
            const auto answered =
                answersAtOnce ([&] { return screen.statusText (1) + screen.statusText (2); }, { clap, aaxModule });

            CHECK (painted);
            CHECK (answered);
            CHECK (screen.statusText (1) == "INSTALLED");
            CHECK (screen.statusText (2) == "INSTALLED");
        }
    }
}

TEST_CASE ("A FIFO in place of the settings file is not read or replaced", "[settings][hostile]")
{
    ScratchFolder scratch;
    const auto settings = scratch.settingsFile();
    const auto defaults = PluginFormats::defaultFolders (scratch.pluginBase());
    REQUIRE (settings.getParentDirectory().createDirectory());
    REQUIRE (::mkfifo (settings.getFullPathName().toRawUTF8(), 0644) == 0);

    std::array<juce::File, 3> folders;
    const auto read = answersAtOnce (
        [&] { folders = SettingsFile::loadOrCreate (settings.getParentDirectory(), defaults); }, { settings });

    CHECK (read);
    CHECK (folders == defaults);
    struct stat info
    {};
    CHECK ((::lstat (settings.getFullPathName().toRawUTF8(), &info) == 0 && S_ISFIFO (info.st_mode)));
}
