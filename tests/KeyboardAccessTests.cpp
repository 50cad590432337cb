#include "helpers/ImageProbe.h"
#include "helpers/KeyboardWindow.h"
#include "helpers/TestInstaller.h"
#include "panels/panel_eula.h"
#include "panels/panel_support.h"
#include "theme/Palette.h"

#include <catch2/catch_test_macros.hpp>

namespace
{
const auto shift = juce::ModifierKeys (juce::ModifierKeys::shiftModifier);

juce::String nameOf (juce::Component* component)
{
    return component != nullptr ? component->getName() : juce::String ("(nothing)");
}

int viewTop (juce::TextEditor& editor)
{
    for (auto* child : editor.getChildren())
        if (auto* viewport = dynamic_cast<juce::Viewport*> (child))
            return viewport->getViewPositionY();

    return -1;
}
}  // namespace

TEST_CASE ("Tab goes round the main screen's buttons in order and wraps", "[keyboard][focus]")
{
    TestInstaller installer;
    auto& screen = installer.start();
    KeyboardWindow window (screen);
    REQUIRE (window.hasFocus());

    CHECK (KeyboardWindow::focused() == &screen);

    const juce::StringArray order { "VST3",   "CLAP",    "AAX",     "SELECT_ALL", "EULA",
                                    "MANUAL", "WEBSITE", "SUPPORT", "INSTALL",    "VST3" };

    for (const auto& expected : order)
    {
        window.tab();
        CHECK (nameOf (KeyboardWindow::focused()) == expected);
    }

    // The buttons are fully transparent, and still take the focus.
    CHECK (screen.formatButtons[0]->getAlpha() == 0.0f);

    window.press (juce::KeyPress::tabKey, shift);
    CHECK (nameOf (KeyboardWindow::focused()) == "INSTALL");
    window.press (juce::KeyPress::tabKey, shift, 7);
    CHECK (nameOf (KeyboardWindow::focused()) == "CLAP");

    SECTION ("the help line follows the keyboard focus")
    {
        CHECK (screen.hintLabel->getText() == "Select to install CLAP");
        window.tab (7);
        CHECK (screen.hintLabel->getText() == "Click to install selected. Shift-click to uninstall selected");
    }
}

TEST_CASE ("Space and Return act as clicks, and Shift+Return on INSTALL uninstalls", "[keyboard][focus]")
{
    TestInstaller installer;
    auto& screen = installer.start();
    KeyboardWindow window (screen);
    REQUIRE (window.hasFocus());

    window.tab();
    window.press (juce::KeyPress::spaceKey);
    CHECK (screen.selected == std::array<bool, 3> { true, false, false });
    window.press (juce::KeyPress::returnKey);
    CHECK (screen.selected == std::array<bool, 3> { false, false, false });

    window.tab (3);
    REQUIRE (nameOf (KeyboardWindow::focused()) == "SELECT_ALL");
    window.press (juce::KeyPress::returnKey);
    CHECK (screen.selected == std::array<bool, 3> { true, true, true });

    window.press (juce::KeyPress::tabKey, shift);
    window.press (juce::KeyPress::spaceKey);
    window.press (juce::KeyPress::tabKey, shift, 3);
    REQUIRE (nameOf (KeyboardWindow::focused()) == "INSTALL");
    window.press (juce::KeyPress::returnKey);
    CHECK (installer.target (0).isDirectory());
    CHECK (installer.target (1).existsAsFile());
    CHECK_FALSE (installer.target (2).exists());
    CHECK (installer.lastResult());
    CHECK (nameOf (KeyboardWindow::focused()) == "INSTALL");

    screen.selected = { true, true, false };
    window.press (juce::KeyPress::returnKey, shift);
    CHECK (screen.shiftDown);
    CHECK_FALSE (installer.target (0).exists());
    CHECK_FALSE (installer.target (1).exists());
    CHECK (installer.lastResult());

    SECTION ("a key with Ctrl or Alt is no click")
    {
        screen.selected = { false, false, false };
        window.tab();
        window.press (juce::KeyPress::spaceKey, juce::ModifierKeys (juce::ModifierKeys::ctrlModifier));
        CHECK (screen.selected == std::array<bool, 3> { false, false, false });
    }
}

TEST_CASE ("Pages open on the keyboard, go round their controls, and Escape closes them", "[keyboard][focus]")
{
    TestInstaller installer;
    auto& screen = installer.start();
    KeyboardWindow window (screen);
    REQUIRE (window.hasFocus());

    SECTION ("the licence page: the text takes the keys, Escape returns to EULA")
    {
        window.tab (5);
        window.press (juce::KeyPress::returnKey);
        REQUIRE (screen.eulaPanel != nullptr);
        auto& editor = *screen.eulaPanel->eulaEditor;
        CHECK (KeyboardWindow::focused() == &editor);

        window.press (juce::KeyPress::pageDownKey, {}, 3);
        const auto afterPages = viewTop (editor);
        CHECK (afterPages > 0);
        window.press (juce::KeyPress::upKey, {}, 40);
        CHECK (viewTop (editor) < afterPages);

        window.tab();
        CHECK (KeyboardWindow::focused() == screen.eulaPanel->closeButton.get());
        window.tab();
        CHECK (KeyboardWindow::focused() == &editor);

        window.press (juce::KeyPress::escapeKey);
        CHECK (screen.eulaPanel->getParentComponent() == nullptr);
        CHECK (KeyboardWindow::focused() == screen.extraButtons[0].get());
    }

    SECTION ("the support page: DISCORD, MAIL, the close mark; Space on it returns to SUPPORT")
    {
        window.tab (8);
        window.press (juce::KeyPress::spaceKey);
        REQUIRE (screen.supportPanel != nullptr);
        auto& page = *screen.supportPanel;

        CHECK (KeyboardWindow::focused() == page.discordButton.get());
        window.tab();
        CHECK (KeyboardWindow::focused() == page.mailButton.get());
        window.tab();
        CHECK (KeyboardWindow::focused() == page.closeButton.get());
        window.tab();
        CHECK (KeyboardWindow::focused() == page.discordButton.get());
        window.press (juce::KeyPress::tabKey, shift);
        CHECK (KeyboardWindow::focused() == page.closeButton.get());

        window.press (juce::KeyPress::spaceKey);
        CHECK (page.getParentComponent() == nullptr);
        CHECK (KeyboardWindow::focused() == screen.extraButtons[3].get());
    }

    SECTION ("a page the pointer opened puts the focus on its close mark, where Escape still works")
    {
        window.click (screen.extraButtons[0]->getBounds().getCentre());
        REQUIRE (screen.eulaPanel != nullptr);
        CHECK (KeyboardWindow::focused() == screen.eulaPanel->closeButton.get());

        window.press (juce::KeyPress::escapeKey);
        CHECK (screen.eulaPanel->getParentComponent() == nullptr);
        CHECK (KeyboardWindow::focused() == screen.extraButtons[0].get());
    }
}

TEST_CASE ("The focus ring is painted only after the keyboard is used", "[keyboard][painting][focus]")
{
    TestInstaller installer;
    auto& screen = installer.start();
    KeyboardWindow window (screen);
    REQUIRE (window.hasFocus());
    const auto reference =
        juce::ImageFileFormat::loadFrom (juce::File (TEST_REFERENCE_DIR).getChildFile ("main_screen_600.png"));
    const auto ringOnVst3 = [&screen]
    { return ImageProbe::near (ImageProbe::render (screen), 28, 210, paletteOffWhite, 40); };

    // After the pointer's clicks, VST3 holds the focus and the screen looks as designed.
    window.click ({ 150, 210 });
    window.click ({ 150, 210 });

    // Whether the click itself took the focus depends on when the window manager made the
    // window active; the pointer was used last either way.
    screen.formatButtons[0]->grabKeyboardFocus();
    REQUIRE (KeyboardWindow::focused() == screen.formatButtons[0].get());
    CHECK_FALSE (ringOnVst3());
    CHECK (ImageProbe::differingShare (ImageProbe::render (screen), reference, 8) < 0.001);

    window.press (juce::KeyPress::tabKey, shift);
    window.tab();
    const auto withRing = ImageProbe::render (screen);
    ImageProbe::save (withRing, "focus_ring_vst3");
    CHECK (ringOnVst3());
    CHECK (ImageProbe::near (withRing, 24, 210, paletteNearBlack.overlaidWith (paletteWarmGrey.withAlpha (0.35f))));

    SECTION ("over the selection outline both stay visible")
    {
        window.press (juce::KeyPress::spaceKey);
        const auto image = ImageProbe::render (screen);
        CHECK (ImageProbe::near (image, 28, 210, paletteOffWhite, 40));
        CHECK (ImageProbe::near (image, 24, 210, paletteYellow, 40));
    }

    SECTION ("a pointer press hides it again")
    {
        window.click ({ 300, 590 });
        CHECK_FALSE (ringOnVst3());
    }
}

TEST_CASE ("Assistive technology hears what each button is, says and holds", "[accessibility][focus]")
{
    TestInstaller installer;
    auto& screen = installer.start();
    KeyboardWindow window (screen);  // handlers exist for components in a window
    const auto handler = [] (juce::Component& c) -> juce::AccessibilityHandler&
    {
        auto* h = c.getAccessibilityHandler();
        REQUIRE (h != nullptr);
        return *h;
    };

    auto& vst3 = handler (*screen.formatButtons[0]);
    CHECK (vst3.getRole() == juce::AccessibilityRole::toggleButton);
    CHECK (vst3.getTitle() == "VST3");
    CHECK (vst3.getDescription() == "not installed");
    CHECK (vst3.getCurrentState().isCheckable());
    CHECK_FALSE (vst3.getCurrentState().isChecked());
    CHECK_FALSE (vst3.isIgnored());

    screen.buttonClicked (screen.formatButtons[0].get());
    CHECK (vst3.getCurrentState().isChecked());
    REQUIRE (installer.target (0).createDirectory());
    CHECK (vst3.getDescription() == "installed");
    CHECK (handler (*screen.formatButtons[2]).getTitle() == "AAX");

    auto& install = handler (*screen.installButton);
    CHECK (install.getRole() == juce::AccessibilityRole::button);
    CHECK (install.getTitle() == "Install");
    CHECK (install.getDescription() == "Installs the selected formats; with Shift, uninstalls them");
    CHECK_FALSE (install.getCurrentState().isCheckable());
    screen.modifierKeysChanged (shift);
    CHECK (install.getTitle() == "Uninstall");

    const juce::StringArray extras { "EULA", "Manual", "Website", "Support" };

    for (int slot = 0; slot < 4; ++slot)
        CHECK (handler (*screen.extraButtons[(size_t) slot]).getTitle() == extras[slot]);

    CHECK (handler (*screen.selectAllButton).getTitle() == "Select all");
    CHECK (handler (*screen.extraButtons[0]).getHelp() == "Click to read End-User License Agreement");

    screen.buttonClicked (screen.extraButtons[0].get());
    CHECK (handler (*screen.eulaPanel->closeButton).getTitle() == "Close");
    CHECK (handler (*screen.eulaPanel->eulaEditor).getTitle() == "License agreement");
    screen.buttonClicked (screen.extraButtons[3].get());
    CHECK (handler (*screen.supportPanel->closeButton).getTitle() == "Close");
    CHECK (handler (*screen.supportPanel->discordButton).getTitle() == "Discord");

    SECTION ("pressing through the handler is a click")
    {
        auto& clap = handler (*screen.formatButtons[1]);
        REQUIRE (clap.getActions().invoke (juce::AccessibilityActionType::toggle));
        pumpMessages (50);
        CHECK (screen.selected[1]);
    }

    SECTION ("the result notice announces the outcome")
    {
        CHECK_FALSE (installer.pass ({}));
        CHECK (screen.resultPanel->announcement == "Operation failed");
        CHECK (installer.pass ({ 1 }));
        CHECK (screen.resultPanel->announcement == "Operation successful");

        // Why a format failed is told, though never drawn.
        REQUIRE (installer.folder (2).getParentDirectory().createDirectory());
        REQUIRE (installer.folder (2).create());
        CHECK_FALSE (installer.pass ({ 1, 2 }));
        CHECK (screen.resultPanel->announcement
               == "Operation failed: AAX: " + installer.folder (2).getFullPathName() + " is a file, not a folder");
    }
}
