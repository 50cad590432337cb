#include <catch2/catch_session.hpp>
#include <juce_gui_basics/juce_gui_basics.h>

#include <algorithm>
#include <iostream>

int main (int argc, char* argv[])
{
    // Components here are drawn and animated as on a real desktop, which needs one;
    // listing the tests does not.
    const auto listing =
        std::any_of (argv + 1, argv + argc, [] (const char* arg) { return juce::String (arg).startsWith ("--list"); });

    if (! listing && juce::SystemStats::getEnvironmentVariable ("DISPLAY", {}).isEmpty())
    {
        std::cerr << "The tests need an X display; ctest starts one for them (see tests/CMakeLists.txt)." << std::endl;
        return 1;
    }

    // One framework instance for the whole run: a message thread, fonts and the desktop.
    const juce::ScopedJuceInitialiser_GUI framework;

    return Catch::Session().run (argc, argv);
}
