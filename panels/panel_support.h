#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// The support and about page: a community-chat link, an e-mail link, and where the
// shared settings file lives.
class panel_support final : public juce::Component, public juce::Button::Listener
{
public:
    panel_support();
    ~panel_support() override;

    void paint (juce::Graphics&) override;
    void resized() override;
    void buttonClicked (juce::Button*) override;

    juce::String aboutText() const;

    static const juce::String discordInvitation;
    static const juce::String supportAddress;
    static const juce::String rightsNotice;

    float unit = 9.0f;
    juce::File settingsFolder;
    std::unique_ptr<juce::TextButton> closeButton;
    std::unique_ptr<juce::TextButton> mailButton;
    std::unique_ptr<juce::TextButton> discordButton;
    std::unique_ptr<juce::Drawable> discordIcon;
    std::unique_ptr<juce::Drawable> mailIcon;

private:
    void paintFace (juce::Graphics&, const juce::Button&, juce::Drawable*) const;
    void paintParagraph (juce::Graphics&, const juce::String&, const juce::Button&) const;
    void paintHeading (juce::Graphics&, const juce::String&, float y, float height) const;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (panel_support)
};
