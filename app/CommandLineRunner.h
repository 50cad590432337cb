#pragma once

#include "CommandLine.h"

#include <iosfwd>

// Does what a command line asks, without a window, through the same settings file,
// installed-state rule and install pass as the window, and gives the exit code.
class CommandLineRunner final
{
public:
    struct Machine
    {
        juce::File applicationData;  // holds the maker's folder and its settings file
        juce::File pluginBase;       // the default plug-in folders lie below it
        bool privileged = false;
        juce::File userData;  // the user's configuration folder: holds the user's own maker folder
        juce::File userBase;  // the user's per-user plug-in folders lie below it
    };

    // This machine's real folders and this process's rights.
    static Machine thisMachine();

    static int run (const CommandLine&, const Machine&, std::ostream& out, std::ostream& err);

private:
    CommandLineRunner() = delete;
};
