#include <juce_gui_basics/juce_gui_basics.h>

#include "app/Elevation.h"
#include "app/InstallerIdentity.h"
#include "main_screen/MainComponent.h"

#if ! JUCE_WINDOWS
# include <sys/stat.h>

// The program runs as root: whatever umask its caller had, the folders and files it makes
// are never writable by anyone else. Set while the program loads, so that every way of
// starting it has the mask before any file is made.
[[maybe_unused]] static const auto callersFileModeMask = ::umask (022);
#endif

class td_installerApplication final : public juce::JUCEApplication
{
public:
    td_installerApplication() = default;

    const juce::String getApplicationName() override { return installerName; }
    const juce::String getApplicationVersion() override { return installerVersion; }
    bool moreThanOneInstanceAllowed() override { return true; }

    void initialise (const juce::String&) override
    {
        if (int exitCode = 0; ! Elevation::ensurePrivileges (exitCode))
        {
            setApplicationReturnValue (exitCode);
            quit();
            return;
        }

        mainWindow = std::make_unique<MainWindow> (getApplicationName());
    }

    void shutdown() override { mainWindow = nullptr; }

    void anotherInstanceStarted (const juce::String&) override {}

    void systemRequestedQuit() override { quit(); }

    class MainWindow final : public juce::DocumentWindow
    {
    public:
        explicit MainWindow (const juce::String& name)
            : DocumentWindow (name,
                              juce::Desktop::getInstance().getDefaultLookAndFeel().findColour (
                                  juce::ResizableWindow::backgroundColourId),
                              DocumentWindow::allButtons)
        {
            setUsingNativeTitleBar (true);
            setContentOwned (new MainComponent(), true);
            setResizable (true, true);
            getConstrainer()->setFixedAspectRatio (1.0);
            centreWithSize (getWidth(), getHeight());
            setVisible (true);
        }

        void closeButtonPressed() override { JUCEApplication::getInstance()->systemRequestedQuit(); }

#if JUCE_LINUX || JUCE_BSD
        // JUCE leaves a natively framed window fixed-size here and sets no aspect hint,
        // so the window asks the window manager for a resizable frame and squares
        // itself after every resize the window manager makes.
        int getDesktopWindowStyleFlags() const override
        {
            return DocumentWindow::getDesktopWindowStyleFlags() | juce::ComponentPeer::windowIsResizable;
        }

        void resized() override
        {
            DocumentWindow::resized();

            if (getWidth() == getHeight())
            {
                lastSide = getWidth();
                return;
            }

            // The side the user dragged is the one that moved away from the last square;
            // a maximise or a drag past the screen's edge gets the largest square that fits.
            const auto dragged =
                std::abs (getHeight() - lastSide) > std::abs (getWidth() - lastSide) ? getHeight() : getWidth();
            const auto fitting = largestFittingSide();
            const auto side = juce::jmin (dragged, fitting);

            // The window manager reads the largest size from the window's hints, which JUCE
            // writes from the constrainer less the frame; a maximised window keeps to it.
            if (fitting != std::numeric_limits<int>::max())
                getConstrainer()->setMaximumSize (fitting + frameSize().getLeftAndRight(),
                                                  fitting + frameSize().getTopAndBottom());

            juce::Component::SafePointer<MainWindow> window (this);
            juce::MessageManager::callAsync (
                [window, side]
                {
                    if (window != nullptr)
                        window->setSize (side, side);
                });
        }

        // The side of the largest square content area whose frame fits the user area
        // (the screen less panels and docks) of the display the window is on.
        int largestFittingSide() const
        {
            const auto* display = juce::Desktop::getInstance().getDisplays().getDisplayForRect (getScreenBounds());

            if (display == nullptr)
                return std::numeric_limits<int>::max();

            return juce::jmax (1, juce::jmin (display->userArea.getWidth() - frameSize().getLeftAndRight(),
                                              display->userArea.getHeight() - frameSize().getTopAndBottom()));
        }

        juce::BorderSize<int> frameSize() const
        {
            if (auto* peer = getPeer())
                if (const auto frame = peer->getFrameSizeIfPresent())
                    return *frame;

            return {};
        }

    private:
        int lastSide = 600;
#endif

        JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainWindow)
    };

private:
    std::unique_ptr<MainWindow> mainWindow;
};

START_JUCE_APPLICATION (td_installerApplication)
