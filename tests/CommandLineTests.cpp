#include "app/CommandLine.h"
#include "app/CommandLineRunner.h"
#include "helpers/TestInstaller.h"
#include "install/PassLock.h"
#include "install/PluginFormats.h"

#include <catch2/catch_test_macros.hpp>

#include <sstream>

namespace
{
CommandLine parse (const juce::String& line)
{
    return CommandLine::parse (juce::StringArray::fromTokens (line, " ", "\""));
}

using Formats = std::array<bool, 3>;
}  // namespace

TEST_CASE ("The command line is read into one action", "[commandline]")
{
    SECTION ("formats by name in any case, repeated, or all")
    {
        CHECK (parse ("--install vst3,clap").formats == Formats { true, true, false });
        CHECK (parse ("--install VsT3,Aax,vst3").formats == Formats { true, false, true });
        CHECK (parse ("--uninstall all").formats == Formats { true, true, true });
        CHECK (parse ("--install ALL").action == CommandLine::Action::install);
        CHECK (parse ("--uninstall clap").action == CommandLine::Action::uninstall);
    }

    SECTION ("status, json, log, help and version")
    {
        const auto status = parse ("--status --json --log /tmp/x.log");
        CHECK (status.action == CommandLine::Action::status);
        CHECK (status.json);
        CHECK (status.logFile == "/tmp/x.log");
        CHECK (parse ("--log a.log --install aax").logFile == "a.log");
        CHECK (parse ("--help").action == CommandLine::Action::help);
        CHECK (parse ("--version").action == CommandLine::Action::version);
        CHECK (CommandLine::parse ({}).action == CommandLine::Action::openWindow);
        CHECK (CommandLine::parse ({ "--install", "" }).action == CommandLine::Action::usageError);
        CHECK (CommandLine::parse ({ "--log", "", "--status" }).action == CommandLine::Action::usageError);
    }
}

TEST_CASE ("Every usage error ends with status 2 and changes nothing", "[commandline]")
{
    TestInstaller installer;
    const CommandLineRunner::Machine machine { installer.scratch.applicationData(), installer.scratch.pluginBase(),
                                               true };
    const auto before = installer.scratch.snapshot();

    for (const auto* line : { "--install",
                              "--install vst4",
                              "--install \"\"",
                              "--install ,",
                              "--install vst3,,clap",
                              "--install vst3 --uninstall clap",
                              "--uninstall all --install all",
                              "--status --status",
                              "--install all --status",
                              "--json",
                              "--version --json",
                              "--log",
                              "--log a --log b",
                              "--frobnicate",
                              "--install all extra",
                              "-install all",
                              "--log x.log",
                              "--help --status",
                              "--status --force",
                              "--uninstall all --force",
                              "--verify",
                              "--verify vst4",
                              "--help --user" })
    {
        DYNAMIC_SECTION (line)
        {
            const auto command = parse (line);
            CHECK (command.action == CommandLine::Action::usageError);
            CHECK (command.error.isNotEmpty());

            std::ostringstream out, err;
            CHECK (CommandLineRunner::run (command, machine, out, err) == CommandLine::usageError);
            CHECK (out.str().empty());
            CHECK (installer.scratch.snapshot() == before);
        }
    }
}

TEST_CASE ("A second pass waits for the first, then fails plainly", "[install][lock]")
{
    TestInstaller installer;
    installer.start();
    const auto makerFolder = installer.screen->settingsFolder;

    SECTION ("the window's notice reports failure, nothing is touched and the selection stays")
    {
        const PassLock other (makerFolder, juce::RelativeTime());
        REQUIRE (other.isHeld());
        CHECK_FALSE (PassLock (makerFolder, juce::RelativeTime::milliseconds (100)).isHeld());

        const auto started = juce::Time::getMillisecondCounter();
        CHECK_FALSE (installer.pass ({ 0 }));
        CHECK (juce::Time::getMillisecondCounter() - started >= 2000);
        CHECK_FALSE (installer.target (0).exists());
        CHECK (installer.screen->selected[0]);
    }

    SECTION ("once the other pass ends, the next one goes ahead")
    {
        {
            const PassLock other (makerFolder, juce::RelativeTime());
            REQUIRE (other.isHeld());
        }

        CHECK (installer.pass ({ 0 }));
    }

    SECTION ("a link in place of the lock file is never followed or taken")
    {
        const auto victim = installer.scratch / "victim.txt";
        REQUIRE (ScratchFolder::write (victim, "root's own"));
        const auto lockFile = makerFolder.getChildFile (PassLock::fileName);
        REQUIRE (lockFile.deleteFile());
        REQUIRE (victim.createSymbolicLink (lockFile, true));

        CHECK_FALSE (PassLock (makerFolder, juce::RelativeTime()).isHeld());
        CHECK_FALSE (installer.pass ({ 0 }));
        CHECK (victim.loadFileAsString() == "root's own");
    }
}

TEST_CASE ("Status without a settings file shows the defaults and writes nothing", "[commandline]")
{
    ScratchFolder scratch;
    const CommandLineRunner::Machine machine { scratch.applicationData(), scratch.pluginBase(), false };
    const auto before = scratch.snapshot();

    std::ostringstream out, err;
    CHECK (CommandLineRunner::run (parse ("--status"), machine, out, err) == CommandLine::succeeded);
    CHECK (scratch.snapshot() == before);

    const auto lines = juce::StringArray::fromLines (juce::String (out.str()).trim());
    REQUIRE (lines.size() == 3);
    CHECK (lines[1]
           == "CLAP  NOT INSTALLED         "
                  + PluginFormats::defaultFolders (scratch.pluginBase())[1]
                        .getChildFile ("Glass Tundra Lights.clap")
                        .getFullPathName());
}
