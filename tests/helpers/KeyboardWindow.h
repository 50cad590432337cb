#pragma once

#include "MessagePump.h"

#include <juce_gui_basics/juce_gui_basics.h>

// A component in a window of its own on the test display, holding the keyboard focus.
// Keys and pointer presses go in through the window's peer, the framework's own entry
// for real events, so they travel the same way as a user's.
class KeyboardWindow final
{
public:
    explicit KeyboardWindow (juce::Component& shown) : component (shown)
    {
        component.addToDesktop (0);
        component.setVisible (true);
        regainFocus();
    }

    ~KeyboardWindow() { component.removeFromDesktop(); }

    bool hasFocus() const { return component.getPeer() != nullptr && component.getPeer()->isFocused(); }

    // The window manager may hand the focus elsewhere for a moment (a window of an
    // earlier test going away); a user types into a focused window, and the framework
    // gives the component that had the focus back its focus.
    void regainFocus()
    {
        for (int attempt = 0; attempt < 200 && ! hasFocus(); ++attempt)
        {
            component.toFront (true);
            pumpMessages (10);
        }

        if (juce::Component::getCurrentlyFocusedComponent() == nullptr)
            component.grabKeyboardFocus();

        pumpMessages (20);
    }

    void press (int keyCode, juce::ModifierKeys modifiers = {}, int times = 1)
    {
        for (int i = 0; i < times; ++i)
        {
            if (! hasFocus())
                regainFocus();

            component.getPeer()->handleKeyPress (juce::KeyPress (keyCode, modifiers, 0));
            pumpMessages (5);
        }
    }

    void tab (int times = 1) { press (juce::KeyPress::tabKey, {}, times); }

    // A press and release of the left button at a point of the component.
    void click (juce::Point<int> at)
    {
        if (! hasFocus())
            regainFocus();

        auto* peer = component.getPeer();
        const auto position = at.toFloat();
        const auto time = juce::Time::currentTimeMillis();
        const auto pressure = juce::MouseInputSource::defaultPressure;
        const auto orientation = juce::MouseInputSource::defaultOrientation;
        const auto mouse = juce::MouseInputSource::InputSourceType::mouse;

        peer->handleMouseEvent (mouse, position, juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier), pressure,
                                orientation, time);
        peer->handleMouseEvent (mouse, position, {}, pressure, orientation, time + 50);
        pumpMessages (20);
    }

    static juce::Component* focused() { return juce::Component::getCurrentlyFocusedComponent(); }

private:
    juce::Component& component;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (KeyboardWindow)
};
