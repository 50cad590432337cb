#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>

// Asked of a user who starts the program without administrator rights, before anything
// else: install for everyone on the computer (which asks for the rights) or for this
// user alone, into the per-user plug-in folders, which needs none.
class panel_scope final : public juce::Component, public juce::Button::Listener
{
public:
    panel_scope();
    ~panel_scope() override;

    void paint (juce::Graphics&) override;
    void resized() override;
    void buttonClicked (juce::Button*) override;

    // Called with true for this user alone, false for everyone.
    std::function<void (bool perUser)> onChoice;

    float unit = 9.0f;
    juce::String userPluginFolders;  // shown on the per-user choice
    std::unique_ptr<juce::TextButton> everyoneButton;
    std::unique_ptr<juce::TextButton> justMeButton;

private:
    void paintChoice (juce::Graphics&, const juce::Button&, const juce::String& caption,
                      const juce::String& explanation) const;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (panel_scope)
};
