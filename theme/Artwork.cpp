#include "Artwork.h"

#include "Palette.h"

std::unique_ptr<juce::Drawable> Artwork::charcoalIcon (const char* data, int size)
{
    auto icon = juce::Drawable::createFromImageData (data, (size_t) size);

    if (icon != nullptr)
        icon->replaceColour (juce::Colours::black, paletteCharcoal);

    return icon;
}

std::unique_ptr<juce::TextButton> Artwork::transparentButton (juce::Component& owner, juce::Button::Listener& listener,
                                                              const juce::String& name)
{
    auto button = std::make_unique<juce::TextButton> (juce::String());
    owner.addAndMakeVisible (*button);
    button->setName (name);
    button->setAlpha (0.0f);
    button->addListener (&listener);
    return button;
}
