#include <juce_gui_basics/juce_gui_basics.h>

#include "app/CommandLine.h"
#include "app/CommandLineRunner.h"
#include "app/Elevation.h"
#include "app/InstallerIdentity.h"
#include "install/PluginFormats.h"
#include "main_screen/MainComponent.h"
#include "panels/panel_scope.h"
#include "theme/Palette.h"

#include <iostream>

#if ! JUCE_WINDOWS
# include <sys/stat.h>
#endif

#if JUCE_WINDOWS
# include "platform/windows/WindowsPlatform.h"
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
        // Over a remote shell there is often no display at all, or one that refuses us.
        if (juce::Desktop::getInstance().getDisplays().getPrimaryDisplay() == nullptr)
        {
            std::cerr << "td_installer: no usable display (DISPLAY is unset or refuses the connection), so the "
                         "window cannot open; to work without one, see td_installer --help."
                      << std::endl;
            setApplicationReturnValue (CommandLine::usageError);
            quit();
            return;
        }

        // Without the rights, the user chooses first: for everyone, which asks for them, or
        // for themselves alone, which needs none.
        if (! Elevation::isPrivileged())
        {
            scopeWindow =
                std::make_unique<ScopeWindow> (getApplicationName(), [this] (bool perUser) { chosen (perUser); });
            return;
        }

        mainWindow = std::make_unique<MainWindow> (getApplicationName(), new MainComponent());
    }

    void chosen (bool perUser)
    {
        scopeWindow->setVisible (false);

        // The page that asked goes once its click has been handled.
        juce::MessageManager::callAsync ([this] { scopeWindow = nullptr; });

        if (perUser)
        {
            const auto machine = CommandLineRunner::thisMachine();
            mainWindow = std::make_unique<MainWindow> (
                getApplicationName(),
                new MainComponent (machine.userData, PluginFormats::userFolders (machine.userBase), true));
            return;
        }

        if (int exitCode = 0; ! Elevation::ensurePrivileges (exitCode))
        {
            setApplicationReturnValue (exitCode);
            quit();
        }
    }

    void shutdown() override
    {
        mainWindow = nullptr;
        scopeWindow = nullptr;
    }

    void anotherInstanceStarted (const juce::String&) override {}

    void systemRequestedQuit() override { quit(); }

    class MainWindow final : public juce::DocumentWindow
    {
    public:
        MainWindow (const juce::String& name, MainComponent* content)
            : DocumentWindow (name,
                              juce::Desktop::getInstance().getDefaultLookAndFeel().findColour (
                                  juce::ResizableWindow::backgroundColourId),
                              DocumentWindow::allButtons)
        {
            setUsingNativeTitleBar (true);
            setContentOwned (content, true);
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

    // The choice of panel_scope, in a window of its own before the main one.
    class ScopeWindow final : public juce::DocumentWindow
    {
    public:
        ScopeWindow (const juce::String& name, std::function<void (bool)> onChoice)
            : DocumentWindow (name, paletteNearBlack, DocumentWindow::closeButton)
        {
            setUsingNativeTitleBar (true);
            auto* page = new panel_scope();
            const auto folders = PluginFormats::userFolders (CommandLineRunner::thisMachine().userBase);
            page->userPluginFolders = folders[0].getFullPathName() + ", " + folders[1].getFullPathName();
            page->onChoice = std::move (onChoice);
            page->setSize (480, 480);
            setContentOwned (page, true);
            centreWithSize (getWidth(), getHeight());
            setVisible (true);
        }

        void closeButtonPressed() override { JUCEApplication::getInstance()->systemRequestedQuit(); }

    private:
        JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ScopeWindow)
    };

private:
    std::unique_ptr<MainWindow> mainWindow;
    std::unique_ptr<ScopeWindow> scopeWindow;
};

JUCE_CREATE_APPLICATION_DEFINE (td_installerApplication)

namespace
{
// With arguments the program works without a window, and needs no display.
int runCommandLine (const juce::StringArray& arguments)
{
#if JUCE_WINDOWS
    // A GUI-subsystem program has no console: borrow the caller's, so the output and
    // the exit status reach its shell.
    WindowsPlatform::attachToParentConsole();
#endif

    return CommandLineRunner::run (CommandLine::parse (arguments), CommandLineRunner::thisMachine(), std::cout,
                                   std::cerr);
}
}  // namespace

#if JUCE_WINDOWS
JUCE_MAIN_FUNCTION
{
    const auto arguments = juce::JUCEApplicationBase::getCommandLineParameterArray();

    if (! arguments.isEmpty())
        return runCommandLine (arguments);

    juce::JUCEApplicationBase::createInstance = &juce_CreateApplication;
    return juce::JUCEApplicationBase::main();
}
#else
int main (int argc, char* argv[])
{
    // The program runs as root: whatever umask its caller had, the folders and files it
    // makes are never writable by anyone else, on every way of starting it.
    ::umask (022);

    if (argc > 1)
        return runCommandLine (juce::StringArray (argv + 1, argc - 1));

    juce::JUCEApplicationBase::createInstance = &juce_CreateApplication;
    return juce::JUCEApplicationBase::main (argc, (const char**) argv);
}
#endif
