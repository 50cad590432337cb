#include "MainComponent.h"

#include "KeyboardAccess.h"

#include "BinaryData.h"
#include "app/InstallerIdentity.h"
#include "install/InstallPass.h"
#include "install/SettingsFile.h"
#include "panels/EulaText.h"
#include "panels/panel_eula.h"
#include "panels/panel_success.h"
#include "panels/panel_support.h"
#include "theme/Artwork.h"
#include "theme/Palette.h"

#if JUCE_WINDOWS
# include "platform/windows/WindowsPlatform.h"
#endif

const juce::StringArray extraNames { "EULA", "MANUAL", "WEBSITE", "SUPPORT" };

MainComponent::MainComponent() : MainComponent (platformApplicationDataFolder(), platformPluginFolderBase())
{
}

MainComponent::MainComponent (const juce::File& applicationData, const juce::File& pluginFolderBase)
    : MainComponent (applicationData, PluginFormats::defaultFolders (pluginFolderBase), false)
{
}

MainComponent::MainComponent (const juce::File& applicationData, const std::array<juce::File, 3>& defaultFolders,
                              bool forOneUser)
    : applicationDataFolder (applicationData), perUser (forOneUser)
{
    juce::LookAndFeel::setDefaultLookAndFeel (&lookAndFeel);

    unit = 9.0f;
    shiftDown = false;

    formatIcons[0] = Artwork::charcoalIcon (BinaryData::icon_vst3_svg, BinaryData::icon_vst3_svgSize);
    formatIcons[1] = Artwork::charcoalIcon (BinaryData::icon_clap_svg, BinaryData::icon_clap_svgSize);
    formatIcons[2] = Artwork::charcoalIcon (BinaryData::icon_aax_svg, BinaryData::icon_aax_svgSize);
    extraIcons[0] = Artwork::charcoalIcon (BinaryData::icon_eula_svg, BinaryData::icon_eula_svgSize);
    extraIcons[1] = Artwork::charcoalIcon (BinaryData::icon_manual_svg, BinaryData::icon_manual_svgSize);
    extraIcons[2] = Artwork::charcoalIcon (BinaryData::icon_web_svg, BinaryData::icon_web_svgSize);
    extraIcons[3] = Artwork::charcoalIcon (BinaryData::icon_help_svg, BinaryData::icon_help_svgSize);
    extraIcons[4] = Artwork::charcoalIcon (BinaryData::icon_install_svg, BinaryData::icon_install_svgSize);

    platformSuffix = " for Windows";

    formatFolders = defaultFolders;

    productName = carriedProductName.replaceFirstOccurrenceOf ("_", " ");
    productVersion = carriedProductVersion;

    productPageUrl = juce::URL ("https://tovindrift.com/collections/software/products/td054-glass-tundra-lights");
    manualUrl = juce::URL ("https://docs.tovindrift.com/manuals/Glass_Tundra_Lights_Manual.pdf");

    loadOrCreateSettings();
    removeInstallLeftovers();

    for (size_t slot = 0; slot < extraButtons.size(); ++slot)
        extraButtons[slot] = makeButton (extraNames[(int) slot]);

    for (int index = 0; index < 3; ++index)
    {
        selected[(size_t) index] = isFormatInstalled (index);
        formatButtons[(size_t) index] = makeButton (formatNames[index]);
    }

    installButton = makeButton ("INSTALL");
    selectAllButton = makeButton ("SELECT_ALL");

    hintLabel = std::make_unique<juce::Label>();
    addAndMakeVisible (*hintLabel);
    hintLabel->setJustificationType (juce::Justification::centred);
    hintLabel->setColour (juce::Label::textColourId, paletteWarmGrey.withAlpha (0.5f));
    hintLabel->setText (installerVersion, juce::dontSendNotification);

    keyboardAccess = std::make_unique<KeyboardAccess> (*this);

    setSize (600, 600);
}

MainComponent::~MainComponent()
{
#if JUCE_WINDOWS
    // A leftover of older installers in the user's own temporary folder. On other
    // systems that folder is shared by every user and this program runs as root,
    // so a file of that name there is not ours to remove.
    WindowsPlatform::removeTemporaryScript();
#endif
}

juce::File MainComponent::platformApplicationDataFolder()
{
    return juce::File::getSpecialLocation (juce::File::commonApplicationDataDirectory);
}

juce::File MainComponent::platformPluginFolderBase()
{
    return PluginFormats::platformBase();
}

//==============================================================================
// The window's side of the installation subsystem, which knows nothing of the window.
void MainComponent::loadOrCreateSettings()
{
    settingsFolder = SettingsFile::makerFolder (applicationDataFolder);
    formatFolders = SettingsFile::loadOrCreate (settingsFolder, formatFolders, ! perUser);

    if (perUser)
        formatFolders[2] = juce::File();
}

void MainComponent::removeInstallLeftovers() const
{
    InstallPass (settingsFolder, productName, formatFolders).removeLeftovers();
}

void MainComponent::runInstallOrUninstall()
{
    const InstallPass pass (settingsFolder, productName, formatFolders);
    const auto result = pass.run (selected, shiftDown ? InstallPass::Mode::uninstall : InstallPass::Mode::install);

    for (size_t index = 0; index < selected.size(); ++index)
        if (result.outcomes[index] != InstallPass::Outcome::skipped)
            selected[index] = false;

    juce::StringArray reasons;

    if (result.busy)
        reasons.add ("another install or uninstall is running");

    for (size_t index = 0; index < selected.size(); ++index)
        if (result.outcomes[index] == InstallPass::Outcome::failed)
            reasons.add (
                formatNames[(int) index] + ": "
                + (perUser && index == 2 ? juce::String (PluginFormats::noUserFolderReason) : result.reasons[index]));

    repaint();
    showResultPanel (result.processedAny() && result.allSucceeded(), reasons.joinIntoString ("; "));
}

void MainComponent::showResultPanel (bool success, const juce::String& reason)
{
    resultPanel = std::make_unique<panel_success>();
    addAndMakeVisible (*resultPanel);
    coverScreen (*resultPanel);
    resultPanel->success = success;
    resultPanel->reason = reason;
    resultPanel->announce();

    juce::Desktop::getInstance().getAnimator().animateComponent (resultPanel.get(), getBounds(), 0.0f, 3000, true, 0.0,
                                                                 0.0);
}

InstalledState MainComponent::installedState() const
{
    return { productName, formatFolders };
}

juce::String MainComponent::installedFileName (int formatIndex) const
{
    return installedState().installedFileName (formatIndex);
}

juce::File MainComponent::installTarget (int formatIndex) const
{
    return installedState().installTarget (formatIndex);
}

bool MainComponent::isFormatInstalled (int formatIndex) const
{
    return installedState().isFormatInstalled (formatIndex);
}

juce::String MainComponent::installedVersion (int formatIndex) const
{
    return installedState().installedVersion (formatIndex);
}

juce::String MainComponent::statusText (int formatIndex) const
{
    return installedState().statusText (formatIndex);
}

std::unique_ptr<TransparentButton> MainComponent::makeButton (const juce::String& name)
{
    return Artwork::transparentButton (*this, *this, name, KeyboardAccess::titleFor (name));
}

//==============================================================================
void MainComponent::resized()
{
    unit = (float) getWidth() * 0.01f;

    // x arrives in pixels, because the extras row accumulates it in pixels.
    const auto place = [this] (juce::Component& child, float xPixels, float y, float w, float h)
    {
        child.setBounds (juce::roundToInt (xPixels), juce::roundToInt (y * unit), juce::roundToInt (w * unit),
                         juce::roundToInt (h * unit));
    };

    auto x = 4.0f * unit;

    for (auto& button : extraButtons)
    {
        place (*button, x, 73.5f, 10.0f, 10.0f);
        x = 11.5f * unit + x;
    }

    place (*installButton, 86.0f * unit, 73.5f, 10.0f, 10.0f);
    place (*selectAllButton, 80.0f * unit, 22.5f, 16.0f, 4.0f);
    place (*formatButtons[0], 4.0f * unit, 30.0f, 45.0f, 10.0f);
    place (*formatButtons[1], 51.0f * unit, 30.0f, 45.0f, 10.0f);
    place (*formatButtons[2], 4.0f * unit, 42.0f, 45.0f, 10.0f);

    hintLabel->setFont (regularFont (3.0f * unit));
    place (*hintLabel, 4.0f * unit, 90.0f, 92.0f, 3.0f);

    if (eulaPanel != nullptr)
        coverScreen (*eulaPanel);

    if (supportPanel != nullptr)
        coverScreen (*supportPanel);
}

juce::Font MainComponent::regularFont (float height) const
{
    return juce::Font (juce::FontOptions { lookAndFeel.regularTypeface }
                           .withMetricsKind (juce::TypefaceMetricsKind::legacy)
                           .withHeight (height));
}

//==============================================================================
void MainComponent::buttonClicked (juce::Button* button)
{
    const auto name = button->getName();

    if (name == "EULA")
    {
        openPanel (eulaPanel, std::make_unique<panel_eula> (eulaText), *button);
    }
    else if (name == "WEBSITE")
    {
        productPageUrl.launchInDefaultBrowser();
    }
    else if (name == "MANUAL")
    {
        manualUrl.launchInDefaultBrowser();
    }
    else if (name == "SUPPORT")
    {
        openPanel (supportPanel, std::make_unique<panel_support>(), *button).settingsFolder = settingsFolder;
    }
    else if (formatNames.contains (name))
    {
        auto& isSelected = selected[(size_t) formatNames.indexOf (name)];
        isSelected = ! isSelected;
        repaint();
    }
    else if (name == "INSTALL")
    {
        runInstallOrUninstall();
    }
    else if (name == "SELECT_ALL")
    {
        selected.fill (true);
        repaint();
    }
}

template <typename Panel>
Panel& MainComponent::openPanel (std::unique_ptr<Panel>& holder, std::unique_ptr<Panel> panel, juce::Button& opener)
{
    holder = std::move (panel);
    addAndMakeVisible (*holder);
    coverScreen (*holder);
    keyboardAccess->pageOpened (*holder, *holder->closeButton, opener);
    return *holder;
}

void MainComponent::buttonStateChanged (juce::Button* button)
{
    // The help line explains the button under the pointer, else the one that shows the
    // keyboard focus.
    auto* focused = keyboardAccess != nullptr ? keyboardAccess->focusedButton() : nullptr;
    auto* explained = button->isMouseOver (false) ? button : focused;

    if (explained == nullptr)
    {
        hintLabel->setText ({}, juce::dontSendNotification);
        return;
    }

    const auto hint = hintFor (explained->getName());

    if (hint.isNotEmpty())
        hintLabel->setText (hint, juce::dontSendNotification);
}

juce::String MainComponent::hintFor (const juce::String& name) const
{
    if (name == "EULA")
        return "Click to read End-User License Agreement";

    if (name == "MANUAL")
        return "Click to open product manual in your web browser";

    if (name == "WEBSITE")
        return "Click to open product page on the Tovin Drift website";

    if (name == "SUPPORT")
        return "Email and Discord support";

    if (formatNames.contains (name))
        return isFormatInstalled (formatNames.indexOf (name)) ? "Select to update " + name + " to " + productVersion
                                                              : "Select to install " + name;

    if (name == "INSTALL")
        return juce::String ("Click to install selected. ") + "Shift-click to uninstall selected";

    return {};
}

void MainComponent::modifierKeysChanged (const juce::ModifierKeys& modifiers)
{
    const auto masked = modifiers.getRawFlags() & 0xf;
    const auto changed = masked ^ lastModifierFlags;

    if ((changed & juce::ModifierKeys::shiftModifier) != 0)
        shiftDown = modifiers.isShiftDown();

    if (changed != 0)
        repaint();

    lastModifierFlags = masked;
}
