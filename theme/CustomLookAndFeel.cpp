#include "CustomLookAndFeel.h"

#include "BinaryData.h"
#include "Palette.h"

namespace
{
juce::Typeface::Ptr makeRegularTypeface()
{
    if (auto face = juce::Typeface::createSystemTypefaceFor (BinaryData::SourceSansProRegular_ttf,
                                                             (size_t) BinaryData::SourceSansProRegular_ttfSize))
        return face;

    // An unusable font resource must not leave every text without a face.
    return juce::Font (juce::FontOptions {}.withMetricsKind (juce::TypefaceMetricsKind::legacy)).getTypefacePtr();
}
}  // namespace

CustomLookAndFeel::CustomLookAndFeel() : regularTypeface (makeRegularTypeface())
{
    const auto halfGreen = paletteGreen.withAlpha ((juce::uint8) 0x80);

    setColour (juce::PopupMenu::backgroundColourId, paletteNearBlack);
    setColour (juce::PopupMenu::highlightedBackgroundColourId, halfGreen);
    setColour (juce::PopupMenu::textColourId, paletteOffWhite);
    setColour (juce::PopupMenu::highlightedTextColourId, paletteOffWhite);
    setColour (juce::AlertWindow::backgroundColourId, paletteNearBlack);
    setColour (juce::AlertWindow::textColourId, paletteWarmGrey);
    setColour (juce::PropertyComponent::labelTextColourId, halfGreen);
    setColour (juce::ScrollBar::thumbColourId, paletteWarmGrey);
    setColour (juce::ResizableWindow::backgroundColourId, paletteNearBlack);
    setColour (juce::TextEditor::backgroundColourId, paletteNearBlack);
    setColour (juce::ListBox::backgroundColourId, paletteNearBlack);
    setColour (juce::TextButton::buttonColourId, paletteNearBlack);
    setColour (juce::Label::textColourId, paletteOffWhite);
}

CustomLookAndFeel::~CustomLookAndFeel()
{
    regularTypeface = nullptr;
}

juce::Font CustomLookAndFeel::legacyFont (float height)
{
    return juce::Font (juce::FontOptions {}.withMetricsKind (juce::TypefaceMetricsKind::legacy).withHeight (height));
}

juce::Typeface::Ptr CustomLookAndFeel::getTypefaceForFont (const juce::Font&)
{
    return regularTypeface;
}

juce::Font CustomLookAndFeel::getPopupMenuFont()
{
    auto font = juce::Font (juce::FontOptions {}.withMetricsKind (juce::TypefaceMetricsKind::legacy));
    font.setSizeAndStyle (30.0f, juce::Font::plain, 1.0f, 0.1f);
    return font;
}

void CustomLookAndFeel::drawComboBox (juce::Graphics& g, int width, int height, bool, int, int, int, int,
                                      juce::ComboBox&)
{
    g.setColour (paletteCharcoal);
    g.fillRoundedRectangle (0.0f, 0.0f, (float) width, (float) height, (float) height * 0.5f);
}

juce::Font CustomLookAndFeel::getComboBoxFont (juce::ComboBox& box)
{
    return legacyFont ((float) box.getHeight() * 0.7f);
}

void CustomLookAndFeel::positionComboBoxText (juce::ComboBox& box, juce::Label& label)
{
    label.setBounds (1, 1, box.getWidth(), box.getHeight() - 2);
    label.setFont (getComboBoxFont (box));
    label.setJustificationType (juce::Justification::centred);
    label.setText (label.getText(), juce::dontSendNotification);
}
