#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

class MainComponent;

// The main screen from the keyboard and for assistive technology: the order in which
// Tab goes round the nine buttons, what each button reports, Escape on an open page,
// where the focus goes when a page opens or closes, and the help line following the
// keyboard focus as it follows the pointer.
class KeyboardAccess final : public juce::KeyListener,
                             private juce::FocusChangeListener,
                             private juce::MouseListener,
                             private juce::ComponentListener
{
public:
    explicit KeyboardAccess (MainComponent&);
    ~KeyboardAccess() override;

    // What assistive technology calls the main-screen button of that name.
    static juce::String titleFor (const juce::String& buttonName);

    // Moves the focus onto a page that has just opened: to its first control when the
    // keyboard is in use, otherwise to its close button, where it shows nothing. When
    // the page closes, the focus goes back to the button that opened it.
    void pageOpened (juce::Component& page, juce::Component& closeButton, juce::Component& opener);

    // The main-screen button that shows the keyboard focus, if any.
    juce::Button* focusedButton() const;

    bool keyPressed (const juce::KeyPress&, juce::Component*) override;

private:
    void globalFocusChanged (juce::Component*) override;
    void mouseDown (const juce::MouseEvent&) override;
    void componentChildrenChanged (juce::Component&) override;

    std::vector<juce::Button*> buttonsInOrder() const;
    juce::Component* openPage() const;
    void returnFocusToOpener();

    MainComponent& screen;
    juce::Component::SafePointer<juce::Component> pageOpener;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (KeyboardAccess)
};
