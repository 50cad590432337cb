#include "Artwork.h"

#include "Palette.h"

std::unique_ptr<juce::Drawable> Artwork::charcoalIcon (const char* data, int size)
{
    auto icon = juce::Drawable::createFromImageData (data, (size_t) size);

    if (icon != nullptr)
        icon->replaceColour (juce::Colours::black, paletteCharcoal);

    return icon;
}

std::unique_ptr<TransparentButton> Artwork::transparentButton (juce::Component& owner, juce::Button::Listener& listener,
                                                               const juce::String& name, const juce::String& title)
{
    auto button = std::make_unique<TransparentButton> (name, listener);
    button->setTitle (title);
    owner.addAndMakeVisible (*button);
    return button;
}
