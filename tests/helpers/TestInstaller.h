#pragma once

#include "ScratchFolder.h"
#include "main_screen/MainComponent.h"
#include "panels/panel_success.h"

// A main component whose application data and plug-in folders live in a scratch folder.
struct TestInstaller
{
    ScratchFolder scratch;
    std::unique_ptr<MainComponent> screen;

    juce::File folder (int formatIndex) const { return screen->formatFolders[(size_t) formatIndex]; }
    juce::File target (int formatIndex) const { return screen->installTarget (formatIndex); }

    MainComponent& start()
    {
        screen = std::make_unique<MainComponent> (scratch.applicationData(), scratch.pluginBase());
        return *screen;
    }

    // Runs a pass over exactly the given formats.
    bool pass (std::initializer_list<int> formats, bool uninstall = false)
    {
        screen->selected.fill (false);

        for (auto index : formats)
            screen->selected[(size_t) index] = true;

        screen->shiftDown = uninstall;
        screen->runInstallOrUninstall();
        return lastResult();
    }

    bool lastResult() const { return screen->resultPanel != nullptr && screen->resultPanel->success; }
};
