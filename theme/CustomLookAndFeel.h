#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// The process-wide look-and-feel: the framework's dark scheme turned into the
// palette, and every font drawn in the one Source Sans Pro regular face.
class CustomLookAndFeel final : public juce::LookAndFeel_V4
{
public:
    CustomLookAndFeel();
    ~CustomLookAndFeel() override;

    juce::Typeface::Ptr getTypefaceForFont (const juce::Font&) override;
    juce::Font getPopupMenuFont() override;
    void drawComboBox (juce::Graphics&, int width, int height, bool isButtonDown, int buttonX, int buttonY, int buttonW,
                       int buttonH, juce::ComboBox&) override;
    juce::Font getComboBoxFont (juce::ComboBox&) override;
    void positionComboBoxText (juce::ComboBox&, juce::Label&) override;

    // A font of the given height, legacy metrics, in the face the look-and-feel serves.
    static juce::Font legacyFont (float height);

    juce::Typeface::Ptr regularTypeface;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (CustomLookAndFeel)
};
