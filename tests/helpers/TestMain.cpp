#include <catch2/catch_session.hpp>
#include <juce_gui_basics/juce_gui_basics.h>

int main (int argc, char* argv[])
{
    // One framework instance for the whole run: a message thread, fonts and the desktop.
    const juce::ScopedJuceInitialiser_GUI framework;

    return Catch::Session().run (argc, argv);
}
