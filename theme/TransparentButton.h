#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>

// A fully transparent button whose looks its owner paints. It still takes the pointer,
// the keyboard focus and the keys: Space or Return (with or without Shift) is a click.
// For assistive technology it reports a button, or a toggle button once it has a
// toggle state, with its component title, description and help text unless the
// owner supplies ones that follow the screen's state.
class TransparentButton final : public juce::TextButton
{
public:
    TransparentButton (const juce::String& name, juce::Button::Listener&);

    // Read afresh each time assistive technology asks; unset, the component's own
    // title and description are told.
    std::function<juce::String()> currentTitle, currentDescription;

    // Makes the button a toggle button for assistive technology, on while this says so.
    void setToggleSource (std::function<bool()> source);

    bool keyPressed (const juce::KeyPress&) override;
    void focusGained (FocusChangeType) override;
    std::unique_ptr<juce::AccessibilityHandler> createAccessibilityHandler() override;

private:
    class Handler;

    juce::Button::Listener& listener;
    std::function<bool()> toggleSource;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TransparentButton)
};
