#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include "install/InstalledState.h"
#include "install/PluginFormats.h"
#include "theme/CustomLookAndFeel.h"
#include "theme/TransparentButton.h"

#include <array>
#include <memory>

class KeyboardAccess;
class panel_eula;
class panel_support;
class panel_success;

// The names of the extras buttons. Every per-format array follows the order of
// formatNames: 0 VST3, 1 CLAP, 2 AAX.
extern const juce::StringArray extraNames;

// The main screen and the holder of the installer's state: the product it carries,
// the per-format folders and selections, the transparent buttons it paints over,
// and the overlay panels.
class MainComponent final : public juce::Component, public juce::Button::Listener
{
public:
    MainComponent();

    // Where the machine-wide application data and the default plug-in folders live.
    // The real program uses the platform's locations; tests point both at scratch folders.
    MainComponent (const juce::File& applicationDataFolder, const juce::File& pluginFolderBase);

    // For one user alone: the settings file in that user's configuration folder, the
    // per-user plug-in folders as its defaults, and no AAX folder, which hosts have none of.
    MainComponent (const juce::File& userConfigurationFolder, const std::array<juce::File, 3>& userFolders,
                   bool perUser);

    ~MainComponent() override;

    void paint (juce::Graphics&) override;
    void modifierKeysChanged (const juce::ModifierKeys&) override;
    void resized() override;

    void buttonClicked (juce::Button*) override;
    void buttonStateChanged (juce::Button*) override;

    static juce::File platformApplicationDataFolder();
    static juce::File platformPluginFolderBase();

    // The installed-state rule, over this screen's product and folders.
    juce::String installedFileName (int formatIndex) const;
    juce::File installTarget (int formatIndex) const;
    bool isFormatInstalled (int formatIndex) const;
    juce::String installedVersion (int formatIndex) const;
    juce::String statusText (int formatIndex) const;

    // Installs, or with Shift uninstalls, the selected formats, then repaints and shows
    // the outcome.
    void runInstallOrUninstall();

    // The help line for the button of that name while the pointer is over it;
    // empty where the help line keeps what it shows.
    juce::String hintFor (const juce::String& buttonName) const;

    int lastModifierFlags = 0;
    CustomLookAndFeel lookAndFeel;
    float unit = 9.0f;
    juce::String productName, productVersion, platformSuffix;

    std::array<std::unique_ptr<TransparentButton>, 4> extraButtons;
    std::array<std::unique_ptr<TransparentButton>, 3> formatButtons;
    std::unique_ptr<TransparentButton> installButton, selectAllButton;

    std::unique_ptr<panel_eula> eulaPanel;
    std::unique_ptr<panel_support> supportPanel;

    std::unique_ptr<juce::Label> hintLabel;

    std::array<std::unique_ptr<juce::Drawable>, 3> formatIcons;
    std::array<std::unique_ptr<juce::Drawable>, 5> extraIcons;

    std::unique_ptr<panel_success> resultPanel;

    juce::URL productPageUrl, manualUrl;
    juce::File settingsFolder;
    bool shiftDown = false;
    std::array<bool, 3> selected {};
    std::array<juce::File, 3> formatFolders;

    // Declared last, so that it lets go of the screen before anything else goes.
    std::unique_ptr<KeyboardAccess> keyboardAccess;

private:
    void loadOrCreateSettings();
    void removeInstallLeftovers() const;
    InstalledState installedState() const;

    std::unique_ptr<TransparentButton> makeButton (const juce::String& name);
    void showResultPanel (bool success, const juce::String& reason = {});

    template <typename Panel>
    Panel& openPanel (std::unique_ptr<Panel>& holder, std::unique_ptr<Panel> panel, juce::Button& opener);

    // An overlay page covers the whole screen, in front, measured in this screen's unit.
    template <typename Panel>
    void coverScreen (Panel& panel)
    {
        panel.unit = unit;
        panel.setBounds (getBounds());
        panel.setAlwaysOnTop (true);
    }

    void paintExtrasButton (juce::Graphics&, const juce::Button&, juce::Drawable*, float iconInset,
                            const juce::String& caption) const;
    void paintSelectAllButton (juce::Graphics&) const;
    void paintFormatRow (juce::Graphics&, int formatIndex, const FormatState&) const;
    juce::Font regularFont (float height) const;

    const juce::File applicationDataFolder;
    const bool perUser;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainComponent)
};
