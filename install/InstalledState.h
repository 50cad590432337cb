#pragma once

#include <juce_core/juce_core.h>

#include <array>
#include <atomic>

class FolderHandle;

// What the screen and the command line show of one format.
struct FormatState
{
    bool installed = false;
    juce::String version;  // empty when none could be read
    juce::String status;   // "NOT INSTALLED", "INSTALLED" or "v1.0.12.0 INSTALLED"
    juce::File target;     // empty when the format has no folder
    juce::String reason;   // why the folder could not be looked into; empty when it could, or is missing
};

// The rule that decides whether the product is installed in each format, and which
// version: asked of the disk afresh every time, nothing is kept.
class InstalledState final
{
public:
    InstalledState (const juce::String& productName, const std::array<juce::File, 3>& formatFolders);

    juce::String installedFileName (int formatIndex) const;
    juce::File installTarget (int formatIndex) const;
    bool isFormatInstalled (int formatIndex) const;
    juce::String installedVersion (int formatIndex) const;
    juce::String statusText (int formatIndex) const;

    // One existence test, and one version read when the item is there.
    FormatState stateOf (int formatIndex) const;

    static juce::String statusFor (bool installed, const juce::String& version);

    // How many existence tests and version reads have been made in this process,
    // so a test can tell what a paint costs.
    static int queriesMade() { return queries.load(); }

private:
    // The format's folder, reached as an install reaches it; closed when it cannot be.
    FolderHandle folderOf (int formatIndex, juce::String& whyNot) const;
    bool itemIn (const FolderHandle& folder, int formatIndex) const;
    juce::String versionIn (const FolderHandle& folder, int formatIndex) const;

    const juce::String productName;
    const std::array<juce::File, 3> folders;

    static std::atomic<int> queries;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (InstalledState)
};
