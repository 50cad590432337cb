#include "helpers/TestInstaller.h"
#include "panels/panel_eula.h"
#include "panels/panel_support.h"

#include <catch2/catch_test_macros.hpp>
#include <catch2/generators/catch_generators.hpp>
#include <catch2/generators/catch_generators_range.hpp>

namespace
{
struct Expected
{
    int width;
    std::map<juce::String, juce::Rectangle<int>> bounds;
    float hintFontHeight;
};

// Laid out as a table: one row per width.
// clang-format off
const std::vector<Expected> layoutTable {
    { 600,
      { { "EULA", { 24, 441, 60, 60 } }, { "MANUAL", { 93, 441, 60, 60 } }, { "WEBSITE", { 162, 441, 60, 60 } },
        { "SUPPORT", { 231, 441, 60, 60 } }, { "INSTALL", { 516, 441, 60, 60 } },
        { "SELECT_ALL", { 480, 135, 96, 24 } }, { "VST3", { 24, 180, 270, 60 } }, { "CLAP", { 306, 180, 270, 60 } },
        { "AAX", { 24, 252, 270, 60 } }, { "hint", { 24, 540, 552, 18 } } },
      18.0f },
    { 250,
      { { "EULA", { 10, 184, 25, 25 } }, { "MANUAL", { 39, 184, 25, 25 } }, { "WEBSITE", { 68, 184, 25, 25 } },
        { "SUPPORT", { 96, 184, 25, 25 } }, { "INSTALL", { 215, 184, 25, 25 } },
        { "SELECT_ALL", { 200, 56, 40, 10 } }, { "VST3", { 10, 75, 112, 25 } }, { "CLAP", { 128, 75, 112, 25 } },
        { "AAX", { 10, 105, 112, 25 } }, { "hint", { 10, 225, 230, 8 } } },
      7.5f },
    { 1000,
      { { "EULA", { 40, 735, 100, 100 } }, { "MANUAL", { 155, 735, 100, 100 } }, { "WEBSITE", { 270, 735, 100, 100 } },
        { "SUPPORT", { 385, 735, 100, 100 } }, { "INSTALL", { 860, 735, 100, 100 } },
        { "SELECT_ALL", { 800, 225, 160, 40 } }, { "VST3", { 40, 300, 450, 100 } }, { "CLAP", { 510, 300, 450, 100 } },
        { "AAX", { 40, 420, 450, 100 } }, { "hint", { 40, 900, 920, 30 } } },
      30.0f },
};
// clang-format on

std::map<juce::String, juce::Rectangle<int>> boundsOf (MainComponent& screen)
{
    std::map<juce::String, juce::Rectangle<int>> result;

    for (auto* child : screen.getChildren())
        result[child == screen.hintLabel.get() ? juce::String ("hint") : child->getName()] = child->getBounds();

    return result;
}
}  // namespace

TEST_CASE ("Every child is placed on the unit grid of the width", "[layout]")
{
    TestInstaller installer;
    auto& screen = installer.start();
    const auto expected = GENERATE (from_range (layoutTable));
    INFO ("width " << expected.width);

    screen.setSize (expected.width, expected.width);

    CHECK (screen.unit == (float) expected.width * 0.01f);
    CHECK (boundsOf (screen) == expected.bounds);
    CHECK (screen.hintLabel->getFont().getHeight() == expected.hintFontHeight);

    SECTION ("the height plays no part, and the same width gives the same bounds again")
    {
        screen.setSize (expected.width, 333);
        screen.setSize (expected.width, expected.width);
        CHECK (boundsOf (screen) == expected.bounds);
    }
}

TEST_CASE ("Open and closed pages follow every resize", "[layout]")
{
    TestInstaller installer;
    auto& screen = installer.start();

    screen.buttonClicked (screen.extraButtons[0].get());
    screen.buttonClicked (screen.extraButtons[3].get());
    REQUIRE (screen.eulaPanel != nullptr);
    REQUIRE (screen.supportPanel != nullptr);

    screen.eulaPanel->buttonClicked (screen.eulaPanel->closeButton.get());
    REQUIRE (screen.eulaPanel->getParentComponent() == nullptr);

    screen.setSize (800, 800);

    CHECK (screen.eulaPanel->unit == 8.0f);
    CHECK (screen.eulaPanel->getBounds() == juce::Rectangle<int> (0, 0, 800, 800));
    CHECK (screen.eulaPanel->isAlwaysOnTop());
    CHECK (screen.eulaPanel->getParentComponent() == nullptr);
    CHECK (screen.supportPanel->unit == 8.0f);
    CHECK (screen.supportPanel->getBounds() == juce::Rectangle<int> (0, 0, 800, 800));
    CHECK (screen.supportPanel->getParentComponent() == &screen);
}
