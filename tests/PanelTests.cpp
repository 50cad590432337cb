#include "helpers/ImageProbe.h"
#include "helpers/MessagePump.h"
#include "helpers/TestInstaller.h"
#include "panels/EulaText.h"
#include "panels/panel_eula.h"
#include "panels/panel_scope.h"
#include "panels/panel_support.h"
#include "theme/Palette.h"

#include <catch2/catch_test_macros.hpp>

namespace
{
juce::Image renderAlone (juce::Component& panel)
{
    panel.setBounds (0, 0, 1000, 1000);
    return ImageProbe::render (panel);
}

// The smallest rectangle holding every pixel of the area that is not the background.
juce::Rectangle<int> paintedBounds (const juce::Image& image, juce::Rectangle<int> area, juce::Colour background)
{
    juce::Rectangle<int> painted;

    for (int y = area.getY(); y < area.getBottom(); ++y)
        for (int x = area.getX(); x < area.getRight(); ++x)
            if (ImageProbe::pixel (image, x, y) != background)
                painted = painted.isEmpty() ? juce::Rectangle<int> (x, y, 1, 1) : painted.getUnion ({ x, y, 1, 1 });

    return painted;
}

// The lightest pixel of an area, by its red channel: where a text's strokes cover it fully.
juce::Point<int> lightestPixel (const juce::Image& image, juce::Rectangle<int> area)
{
    auto result = area.getPosition();

    for (int y = area.getY(); y < area.getBottom(); ++y)
        for (int x = area.getX(); x < area.getRight(); ++x)
            if (ImageProbe::pixel (image, x, y).getRed() > ImageProbe::pixel (image, result.x, result.y).getRed())
                result = { x, y };

    return result;
}
}  // namespace

TEST_CASE ("The result notice", "[panels]")
{
    CustomLookAndFeel lookAndFeel;
    juce::LookAndFeel::setDefaultLookAndFeel (&lookAndFeel);
    panel_success panel;
    panel.unit = 10.0f;

    SECTION ("success: black box, off-white outline, green tick")
    {
        const auto image = renderAlone (panel);
        ImageProbe::save (image, "result_success");

        CHECK (ImageProbe::near (image, 340, 500, juce::Colours::transparentBlack));
        CHECK (ImageProbe::near (image, 350, 500, paletteOffWhite));
        CHECK (ImageProbe::near (image, 360, 500, juce::Colours::black));
        CHECK (ImageProbe::near (image, 500, 440, juce::Colour (0xff28c937), 10));
    }

    SECTION ("failure: orange exclamation mark")
    {
        panel.success = false;
        const auto image = renderAlone (panel);
        ImageProbe::save (image, "result_failure");
        CHECK (ImageProbe::near (image, 500, 440, juce::Colour (0xffffaa00), 10));
    }

    SECTION ("without its icons it still draws its box")
    {
        panel.successIcon = nullptr;
        const auto image = renderAlone (panel);
        CHECK (ImageProbe::near (image, 500, 440, juce::Colours::black));
    }

    juce::LookAndFeel::setDefaultLookAndFeel (nullptr);
}

TEST_CASE ("A pass ends with the notice fading out while clicks reach the screen", "[panels]")
{
    TestInstaller installer;
    auto& screen = installer.start();

    CHECK_FALSE (installer.pass ({}));
    auto* panel = screen.resultPanel.get();
    REQUIRE (panel != nullptr);
    CHECK (panel->getParentComponent() == &screen);
    CHECK (panel->isAlwaysOnTop());
    CHECK_FALSE (panel->success);
    CHECK (juce::Desktop::getInstance().getAnimator().isAnimating (panel));

    SECTION ("after three seconds it is invisible with alpha 0")
    {
        pumpMessages (3400);
        CHECK_FALSE (juce::Desktop::getInstance().getAnimator().isAnimating (panel));
        CHECK_FALSE (panel->isVisible());
        CHECK (panel->getAlpha() == 0.0f);
    }

    SECTION ("a second pass replaces it at once")
    {
        pumpMessages (300);
        installer.pass ({ 1 }, true);
        CHECK (screen.resultPanel.get() != panel);
        CHECK (screen.resultPanel->success);
    }

    SECTION ("the fading picture lets clicks through to the main screen")
    {
        screen.setVisible (true);
        pumpMessages (100);
        auto* proxy = screen.getComponentAt (300, 300);
        CHECK (proxy != panel);
        CHECK (dynamic_cast<juce::Button*> (screen.getComponentAt (260, 470)) == screen.extraButtons[3].get());
    }
}

TEST_CASE ("The licence page", "[panels]")
{
    TestInstaller installer;
    auto& screen = installer.start();
    screen.buttonClicked (screen.extraButtons[0].get());
    auto* page = screen.eulaPanel.get();
    REQUIRE (page != nullptr);

    SECTION ("covers the screen on top, with the agreement in its field")
    {
        CHECK (page->getBounds() == screen.getLocalBounds());
        CHECK (page->unit == 6.0f);
        CHECK (page->isAlwaysOnTop());
        CHECK (page->eulaEditor->getText() == eulaText);
        CHECK (page->eulaEditor->getBounds() == juce::Rectangle<int> (24, 72, 552, 480));
        CHECK (page->closeButton->getBounds() == juce::Rectangle<int> (528, 9, 48, 48));
    }

    SECTION ("paints its dark page, heading and half-transparent close mark")
    {
        const auto image = ImageProbe::render (*page);
        ImageProbe::save (image, "licence_page");
        CHECK (ImageProbe::near (image, 300, 62, paletteNearBlack));
        CHECK (ImageProbe::near (image, 300, 60, paletteNearBlack));
        CHECK (ImageProbe::near (image, 540, 33, ImageProbe::over (paletteNearBlack, paletteWarmGrey.withAlpha (0.5f)),
                                 25));
    }

    SECTION ("a click anywhere in the close square closes it, and it stays owned")
    {
        page->buttonClicked (page->closeButton.get());
        CHECK (page->getParentComponent() == nullptr);
        CHECK (screen.eulaPanel.get() == page);
    }

    SECTION ("reopening builds a fresh page with the unchanged text, scrolled to the top")
    {
        const auto scrollOf = [] (juce::TextEditor& editor)
        {
            for (auto* child : editor.getChildren())
                if (auto* viewport = dynamic_cast<juce::Viewport*> (child))
                    return viewport->getViewPositionY();

            return -1;
        };

        const auto freshScroll = scrollOf (*page->eulaEditor);
        page->eulaEditor->setText ("edited");
        page->eulaEditor->moveCaretToEnd();
        page->buttonClicked (page->closeButton.get());
        screen.buttonClicked (screen.extraButtons[0].get());

        CHECK (screen.eulaPanel->eulaEditor->getText() == eulaText);
        CHECK (scrollOf (*screen.eulaPanel->eulaEditor) == freshScroll);
        CHECK (screen.eulaPanel->eulaEditor->getCaretPosition() == 0);
    }
}

TEST_CASE ("The support page", "[panels]")
{
    TestInstaller installer;
    auto& screen = installer.start();
    screen.buttonClicked (screen.extraButtons[3].get());
    auto* page = screen.supportPanel.get();
    REQUIRE (page != nullptr);

    SECTION ("layout and the settings path in the about text")
    {
        CHECK (page->discordButton->getBounds() == juce::Rectangle<int> (60, 90, 60, 60));
        CHECK (page->mailButton->getBounds() == juce::Rectangle<int> (60, 210, 60, 60));
        CHECK (page->aboutText().endsWith (screen.settingsFolder.getFullPathName() + "/PluginManagerSettings.txt"));
        CHECK (page->aboutText().startsWith ("The Tovin Drift Plugin Manager v1.0.5 cross-platform installater. \n"));
    }

    SECTION ("faces rest half-transparent")
    {
        const auto image = ImageProbe::render (*page);
        ImageProbe::save (image, "support_page");
        CHECK (
            ImageProbe::near (image, 63, 120, ImageProbe::over (paletteNearBlack, paletteWarmGrey.withAlpha (0.5f))));
        CHECK (
            ImageProbe::near (image, 63, 240, ImageProbe::over (paletteNearBlack, paletteWarmGrey.withAlpha (0.5f))));
    }

    SECTION ("the rights line: half-transparent warm grey below the about text, inside the page at every width")
    {
        for (const auto width : { 600, 240, 1200 })
        {
            INFO ("page width " << width);
            screen.setSize (width, width);
            const auto image = ImageProbe::render (*page);
            ImageProbe::save (image, "support_page_" + juce::String (width));

            const auto u = (float) width / 100.0f;
            const auto about = paintedBounds (
                image, { 0, juce::roundToInt (65.0f * u), width, juce::roundToInt (30.0f * u) }, paletteNearBlack);
            const auto rights =
                paintedBounds (image, { 0, juce::roundToInt (95.0f * u), width, width - juce::roundToInt (95.0f * u) },
                               paletteNearBlack);

            REQUIRE_FALSE (rights.isEmpty());
            CHECK (about.getBottom() < rights.getY());
            CHECK (rights.getX() >= juce::roundToInt (10.0f * u) - 1);
            CHECK (rights.getRight() < juce::roundToInt (90.0f * u));
            CHECK (rights.getBottom() < width - juce::roundToInt (u));
            CHECK (rights.getWidth() > juce::roundToInt (40.0f * u));

            // Large enough, the strokes cover whole pixels and show the shade itself; smaller, never more.
            const auto halfGrey = ImageProbe::over (paletteNearBlack, paletteWarmGrey.withAlpha (0.5f));
            const auto lightest = lightestPixel (image, rights);
            CHECK ((int) ImageProbe::pixel (image, lightest.x, lightest.y).getRed() <= (int) halfGrey.getRed() + 3);

            if (width == 1200)
                CHECK (ImageProbe::near (image, lightest.x, lightest.y, halfGrey));
        }
    }

    SECTION ("only the close mark closes it")
    {
        page->buttonClicked (page->closeButton.get());
        CHECK (page->getParentComponent() == nullptr);
    }
}

TEST_CASE ("The page that asks whom an install is for", "[panels]")
{
    panel_scope page;
    page.setSize (600, 600);
    std::optional<bool> chose;
    page.onChoice = [&] (bool perUser) { chose = perUser; };

    const auto image = ImageProbe::render (page);
    ImageProbe::save (image, "scope_page");
    const auto face = ImageProbe::over (paletteNearBlack, paletteWarmGrey.withAlpha (0.5f));
    CHECK (ImageProbe::near (image, 80, 160, face));  // EVERYONE's face, left of its caption
    CHECK (ImageProbe::near (image, 80, 360, face));  // JUST ME's
    CHECK (ImageProbe::near (image, 80, 300, paletteNearBlack));

    // Named for screen readers, in Tab order, and each a choice of its own.
    CHECK (page.everyoneButton->getTitle() == "For everyone");
    CHECK (page.justMeButton->getTitle() == "Just for me");
    CHECK (page.everyoneButton->getExplicitFocusOrder() < page.justMeButton->getExplicitFocusOrder());
    page.justMeButton->triggerClick();
    pumpMessages (50);
    CHECK (chose == std::optional<bool> (true));
    page.everyoneButton->triggerClick();
    pumpMessages (50);
    CHECK (chose == std::optional<bool> (false));
}
