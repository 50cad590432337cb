#include "install/PluginFormats.h"
#include "helpers/MessagePump.h"
#include "helpers/TestInstaller.h"

#include <catch2/catch_test_macros.hpp>

TEST_CASE ("The main screen is built with its named transparent buttons", "[construction]")
{
    TestInstaller installer;
    auto& screen = installer.start();

    SECTION ("children in order: extras, formats, install, select all, hint label")
    {
        const juce::StringArray expected { "EULA", "MANUAL", "WEBSITE", "SUPPORT",   "VST3",
                                           "CLAP", "AAX",    "INSTALL", "SELECT_ALL" };
        REQUIRE (screen.getNumChildComponents() == 10);

        for (int i = 0; i < expected.size(); ++i)
        {
            auto* button = dynamic_cast<juce::TextButton*> (screen.getChildComponent (i));
            REQUIRE (button != nullptr);
            CHECK (button->getName() == expected[i]);
            CHECK (button->getButtonText().isEmpty());
            CHECK (button->getAlpha() == 0.0f);
            CHECK (button->isVisible());
        }

        CHECK (screen.getChildComponent (9) == screen.hintLabel.get());
    }

    SECTION ("a click on any button reaches the main screen")
    {
        CHECK_FALSE (screen.selected[2]);
        screen.formatButtons[2]->triggerClick();
        pumpMessages (50);
        CHECK (screen.selected[2]);
    }

    SECTION ("the hint label shows the installer's version in translucent warm grey")
    {
        CHECK (screen.hintLabel->getText() == "1.0.5");
        CHECK (screen.hintLabel->getJustificationType() == juce::Justification::centred);
        CHECK (screen.hintLabel->findColour (juce::Label::textColourId) == juce::Colour (0x80aaa6a6));
    }

    SECTION ("600 by 600, with the unit taken from the width")
    {
        CHECK (screen.getWidth() == 600);
        CHECK (screen.getHeight() == 600);
        CHECK (screen.unit == 6.0f);
    }

    SECTION ("the product definition and the default folders")
    {
        CHECK (screen.productName == "Glass Tundra Lights");
        CHECK (screen.productVersion == "1.0.12");
        CHECK (screen.installTarget (0)
               == PluginFormats::defaultFolders (installer.scratch.pluginBase())[0].getChildFile (
                   "Glass Tundra Lights.vst3"));
        CHECK (screen.installTarget (2)
               == PluginFormats::defaultFolders (installer.scratch.pluginBase())[2].getChildFile (
                   "Glass Tundra Lights.aaxplugin"));
        CHECK (screen.manualUrl.toString (false)
               == "https://docs.tovindrift.com/manuals/Glass_Tundra_Lights_Manual.pdf");
    }

    SECTION ("all eight icons are made")
    {
        for (auto& icon : screen.formatIcons)
            CHECK (icon != nullptr);

        for (auto& icon : screen.extraIcons)
            CHECK (icon != nullptr);
    }

    SECTION ("the look-and-feel is the process default while the screen exists")
    {
        CHECK (&juce::LookAndFeel::getDefaultLookAndFeel() == &screen.lookAndFeel);
    }
}

TEST_CASE ("Closing leaves a script.sh in the shared temporary folder alone", "[construction]")
{
    const auto leftover = juce::File::getSpecialLocation (juce::File::tempDirectory).getChildFile ("script.sh");
    const auto existedBefore = leftover.exists();

    if (! existedBefore)
        REQUIRE (leftover.replaceWithText ("someone else's"));

    {
        TestInstaller installer;
        installer.start();
    }

#if JUCE_WINDOWS
    CHECK_FALSE (leftover.exists());
#else
    CHECK (leftover.existsAsFile());
#endif

    if (! existedBefore)
        leftover.deleteFile();
}
