#include "helpers/TestInstaller.h"

#include <catch2/catch_test_macros.hpp>

TEST_CASE ("Clicks select formats and SELECT_ALL never clears", "[interaction]")
{
    TestInstaller installer;
    auto& screen = installer.start();
    const auto click = [&screen] (juce::Button& button) { screen.buttonClicked (&button); };

    click (*screen.formatButtons[1]);
    CHECK (screen.selected == std::array<bool, 3> { false, true, false });

    click (*screen.formatButtons[1]);
    CHECK (screen.selected == std::array<bool, 3> { false, false, false });

    click (*screen.formatButtons[2]);
    click (*screen.selectAllButton);
    CHECK (screen.selected == std::array<bool, 3> { true, true, true });

    click (*screen.selectAllButton);
    CHECK (screen.selected == std::array<bool, 3> { true, true, true });
}

TEST_CASE ("The help line explains the button under the pointer", "[interaction]")
{
    TestInstaller installer;
    auto& screen = installer.start();

    CHECK (screen.hintFor ("EULA") == "Click to read End-User License Agreement");
    CHECK (screen.hintFor ("MANUAL") == "Click to open product manual in your web browser");
    CHECK (screen.hintFor ("WEBSITE") == "Click to open product page on the Tovin Drift website");
    CHECK (screen.hintFor ("SUPPORT") == "Email and Discord support");
    CHECK (screen.hintFor ("INSTALL") == "Click to install selected. Shift-click to uninstall selected");
    CHECK (screen.hintFor ("SELECT_ALL").isEmpty());

    for (const auto& name : formatNames)
        CHECK (screen.hintFor (name) == "Select to install " + name);

    REQUIRE (installer.target (2).createDirectory());
    CHECK (screen.hintFor ("AAX") == "Select to update AAX to 1.0.12");

    SECTION ("a button the pointer has left empties the line")
    {
        screen.buttonStateChanged (screen.extraButtons[0].get());
        CHECK (screen.hintLabel->getText().isEmpty());
    }
}

TEST_CASE ("Modifier changes keep track of Shift", "[interaction]")
{
    TestInstaller installer;
    auto& screen = installer.start();

    screen.modifierKeysChanged (juce::ModifierKeys (juce::ModifierKeys::ctrlModifier));
    CHECK_FALSE (screen.shiftDown);
    CHECK (screen.lastModifierFlags == juce::ModifierKeys::ctrlModifier);

    screen.modifierKeysChanged (juce::ModifierKeys (juce::ModifierKeys::ctrlModifier | juce::ModifierKeys::shiftModifier
                                                    | juce::ModifierKeys::leftButtonModifier));
    CHECK (screen.shiftDown);
    CHECK (screen.lastModifierFlags == (juce::ModifierKeys::ctrlModifier | juce::ModifierKeys::shiftModifier));

    SECTION ("a click on INSTALL while Shift is down uninstalls")
    {
        REQUIRE (installer.target (1).create());
        screen.selected[1] = true;
        screen.buttonClicked (screen.installButton.get());
        CHECK_FALSE (installer.target (1).exists());
        CHECK (installer.lastResult());
    }

    SECTION ("releasing Shift installs again")
    {
        screen.modifierKeysChanged (juce::ModifierKeys (juce::ModifierKeys::ctrlModifier));
        CHECK_FALSE (screen.shiftDown);
        screen.selected[1] = true;
        screen.buttonClicked (screen.installButton.get());
        CHECK (installer.target (1).existsAsFile());
    }
}
