#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// The licence agreement page: a heading, the agreement in a scrolling text field,
// and a round close mark.
class panel_eula final : public juce::Component, public juce::Button::Listener
{
public:
    explicit panel_eula (juce::String agreement);
    ~panel_eula() override;

    void paint (juce::Graphics&) override;
    void resized() override;
    void buttonClicked (juce::Button*) override;

    float unit = 9.0f;
    std::unique_ptr<juce::TextEditor> eulaEditor;
    std::unique_ptr<juce::TextButton> closeButton;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (panel_eula)
};
