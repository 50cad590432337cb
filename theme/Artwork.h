#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include "TransparentButton.h"

// How the screens make what they show: icons from the compiled-in SVGs, and the
// transparent buttons whose looks the owning screen paints itself.
class Artwork final
{
public:
    // An icon whose opaque black is drawn in the palette's charcoal; empty when the
    // resource cannot be read, and the screens then leave it out.
    static std::unique_ptr<juce::Drawable> charcoalIcon (const char* data, int size);

    // A fully transparent button that still takes the pointer and the keyboard, told
    // apart by its name and titled for assistive technology.
    static std::unique_ptr<TransparentButton> transparentButton (juce::Component& owner, juce::Button::Listener&,
                                                                 const juce::String& name, const juce::String& title);

private:
    Artwork() = delete;
};
