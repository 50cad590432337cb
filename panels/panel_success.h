#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// The notice that ends every install or uninstall: a centred box with a tick or an
// exclamation mark and one line of text. The shared animator fades a picture of it.
class panel_success final : public juce::Component
{
public:
    panel_success();
    ~panel_success() override;

    void paint (juce::Graphics&) override;
    void resized() override;

    // Tells assistive technology the outcome once success is set, and keeps what it told.
    void announce();

    bool success = true;
    float unit = 9.0f;
    std::unique_ptr<juce::Drawable> successIcon;
    std::unique_ptr<juce::Drawable> warningIcon;
    juce::String reason;  // why a failure failed: told to assistive technology, never drawn
    juce::String announcement;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (panel_success)
};
