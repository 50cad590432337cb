#include "KeyboardAccess.h"

#include "MainComponent.h"
#include "panels/OverlayPage.h"
#include "panels/panel_eula.h"
#include "panels/panel_support.h"
#include "theme/FocusCue.h"

KeyboardAccess::KeyboardAccess (MainComponent& mainScreen) : screen (mainScreen)
{
    // The screen itself holds the focus while no button has it, so that the first Tab
    // reaches it; Tab and Shift+Tab go round its buttons and stay on it.
    screen.setWantsKeyboardFocus (true);
    screen.setFocusContainerType (juce::Component::FocusContainerType::keyboardFocusContainer);

    auto order = 0;

    for (auto* button : buttonsInOrder())
    {
        button->setExplicitFocusOrder (++order);
        button->setHelpText (screen.hintFor (button->getName()));
    }

    for (int index = 0; index < 3; ++index)
    {
        auto& row = *screen.formatButtons[(size_t) index];
        row.currentDescription = [this, index] { return screen.statusText (index).toLowerCase(); };
        row.setToggleSource ([this, index] { return screen.selected[(size_t) index]; });
    }

    screen.installButton->currentTitle = [this] { return juce::String (screen.shiftDown ? "Uninstall" : "Install"); };
    screen.installButton->setDescription ("Installs the selected formats; with Shift, uninstalls them");

    screen.addKeyListener (this);
    screen.addMouseListener (this, true);
    screen.addComponentListener (this);
    juce::Desktop::getInstance().addFocusChangeListener (this);
}

KeyboardAccess::~KeyboardAccess()
{
    juce::Desktop::getInstance().removeFocusChangeListener (this);
    screen.removeComponentListener (this);
    screen.removeMouseListener (this);
    screen.removeKeyListener (this);
}

juce::String KeyboardAccess::titleFor (const juce::String& buttonName)
{
    static const juce::StringPairArray titles = []
    {
        juce::StringPairArray table;
        table.set ("EULA", "EULA");
        table.set ("MANUAL", "Manual");
        table.set ("WEBSITE", "Website");
        table.set ("SUPPORT", "Support");
        table.set ("SELECT_ALL", "Select all");
        table.set ("INSTALL", "Install");
        return table;
    }();

    return titles.getAllKeys().contains (buttonName) ? titles[buttonName] : buttonName;
}

std::vector<juce::Button*> KeyboardAccess::buttonsInOrder() const
{
    std::vector<juce::Button*> buttons;

    for (auto& row : screen.formatButtons)
        buttons.push_back (row.get());

    buttons.push_back (screen.selectAllButton.get());

    for (auto& extra : screen.extraButtons)
        buttons.push_back (extra.get());

    buttons.push_back (screen.installButton.get());
    return buttons;
}

juce::Button* KeyboardAccess::focusedButton() const
{
    for (auto* button : buttonsInOrder())
        if (FocusCue::isOn (*button))
            return button;

    return nullptr;
}

juce::Component* KeyboardAccess::openPage() const
{
    if (screen.eulaPanel != nullptr && screen.eulaPanel->getParentComponent() == &screen)
        return screen.eulaPanel.get();

    if (screen.supportPanel != nullptr && screen.supportPanel->getParentComponent() == &screen)
        return screen.supportPanel.get();

    return nullptr;
}

void KeyboardAccess::pageOpened (juce::Component& page, juce::Component& closeButton, juce::Component& opener)
{
    pageOpener = &opener;

    if (! FocusCue::isShown (screen))
    {
        closeButton.grabKeyboardFocus();
        return;
    }

    if (auto* first = juce::KeyboardFocusTraverser().getDefaultComponent (&page))
        first->grabKeyboardFocus();
}

void KeyboardAccess::returnFocusToOpener()
{
    if (auto* opener = pageOpener.getComponent())
    {
        pageOpener = nullptr;
        opener->grabKeyboardFocus();
    }
}

bool KeyboardAccess::keyPressed (const juce::KeyPress& key, juce::Component*)
{
    if (key.isKeyCode (juce::KeyPress::escapeKey))
    {
        auto* page = openPage();

        if (page == nullptr)
            return false;

        FocusCue::show (screen);
        OverlayPage::close (*page);
        return true;
    }

    // With the focus on the screen itself, Tab starts at the first control and
    // Shift+Tab at the last; between controls the framework moves it.
    if (key.isKeyCode (juce::KeyPress::tabKey) && screen.hasKeyboardFocus (false))
    {
        auto* container = openPage() != nullptr ? openPage() : &screen;
        const auto controls = juce::KeyboardFocusTraverser().getAllComponents (container);

        if (controls.empty())
            return false;

        FocusCue::show (screen);
        (key.getModifiers().isShiftDown() ? controls.back() : controls.front())->grabKeyboardFocus();
        return true;
    }

    return false;
}

void KeyboardAccess::globalFocusChanged (juce::Component* focused)
{
    // An activated window takes the focus itself; the screen takes it over, so that the
    // keys reach the screen, with no button focused yet.
    if (focused != nullptr && focused != &screen && focused == screen.getTopLevelComponent())
    {
        screen.grabKeyboardFocus();
        return;
    }

    if (auto* button = focusedButton())
        screen.buttonStateChanged (button);
}

void KeyboardAccess::mouseDown (const juce::MouseEvent&)
{
    FocusCue::hide (screen);
}

void KeyboardAccess::componentChildrenChanged (juce::Component&)
{
    // A page closed: by Escape, or by its close button from the pointer or the keyboard.
    if (pageOpener != nullptr && openPage() == nullptr)
        returnFocusToOpener();
}
