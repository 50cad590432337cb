#include "TransparentButton.h"

#include "FocusCue.h"

class TransparentButton::Handler final : public juce::AccessibilityHandler
{
public:
    explicit Handler (TransparentButton& buttonToReport)
        : juce::AccessibilityHandler (buttonToReport,
                                      buttonToReport.toggleSource != nullptr ? juce::AccessibilityRole::toggleButton
                                                                             : juce::AccessibilityRole::button,
                                      actionsFor (buttonToReport)),
          button (buttonToReport)
    {
    }

    juce::String getTitle() const override
    {
        return button.currentTitle != nullptr ? button.currentTitle() : AccessibilityHandler::getTitle();
    }

    juce::String getDescription() const override
    {
        return button.currentDescription != nullptr ? button.currentDescription()
                                                    : AccessibilityHandler::getDescription();
    }

    juce::AccessibleState getCurrentState() const override
    {
        auto state = AccessibilityHandler::getCurrentState();

        if (button.toggleSource == nullptr)
            return state;

        state = state.withCheckable();
        return button.toggleSource() ? state.withChecked() : state;
    }

private:
    static juce::AccessibilityActions actionsFor (TransparentButton& button)
    {
        auto actions = juce::AccessibilityActions().addAction (juce::AccessibilityActionType::press,
                                                               [&button] { button.triggerClick(); });

        if (button.toggleSource != nullptr)
            actions.addAction (juce::AccessibilityActionType::toggle, [&button] { button.triggerClick(); });

        return actions;
    }

    TransparentButton& button;
};

TransparentButton::TransparentButton (const juce::String& name, juce::Button::Listener& listenerToTell)
    : juce::TextButton (juce::String()), listener (listenerToTell)
{
    setName (name);
    setAlpha (0.0f);
    addListener (&listener);
}

void TransparentButton::setToggleSource (std::function<bool()> source)
{
    toggleSource = std::move (source);
    invalidateAccessibilityHandler();
}

bool TransparentButton::keyPressed (const juce::KeyPress& key)
{
    const auto modifiers = key.getModifiers();
    const auto activates = key.isKeyCode (juce::KeyPress::spaceKey) || key.isKeyCode (juce::KeyPress::returnKey);

    if (! activates || ! isEnabled() || (modifiers.getRawFlags() & ~juce::ModifierKeys::shiftModifier) != 0)
        return false;

    FocusCue::show (*this);

    // The owner learns the modifiers the key came with, as it would from the pointer
    // (Shift turns an install into an uninstall), and hears the click at once: a click
    // message would arrive only after Shift may already have been let go.
    modifierKeysChanged (modifiers);
    listener.buttonClicked (this);
    return true;
}

void TransparentButton::focusGained (FocusChangeType cause)
{
    if (cause == focusChangedByTabKey)
        FocusCue::show (*this);

    juce::TextButton::focusGained (cause);
}

std::unique_ptr<juce::AccessibilityHandler> TransparentButton::createAccessibilityHandler()
{
    return std::make_unique<Handler> (*this);
}
