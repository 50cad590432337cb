// Any bytes as a product archive, unpacked into a scratch plug-in folder: whatever
// the entry names, nothing is ever written outside the folder, and nothing but the
// one item is left in it.
#include "install/ArchiveInstaller.h"

#include <cstdlib>

namespace
{
const juce::File& scratch()
{
    static const auto folder = juce::File ("/dev/shm").exists()
                                   ? juce::File ("/dev/shm").getChildFile ("plugin-manager-fuzz-" + juce::String (juce::Process::getProcessId()))
                                   : juce::File::getSpecialLocation (juce::File::tempDirectory).getChildFile ("plugin-manager-fuzz");
    return folder;
}

int numberOfItems (const juce::File& folder)
{
    return folder.getNumberOfChildFiles (juce::File::findFilesAndDirectories, "*");
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    const auto base = scratch();
    const auto pluginFolder = base.getChildFile ("plugins");
    base.deleteRecursively (false);
    pluginFolder.createDirectory();

    const ArchiveInstaller installer (pluginFolder, "Item.clap");
    installer.install (data, size);

    const auto onlyTheFolder = numberOfItems (base) == 1 && pluginFolder.isDirectory();
    const auto atMostTheItem = numberOfItems (pluginFolder) == 0
                            || (numberOfItems (pluginFolder) == 1 && installer.target().exists());

    if (! onlyTheFolder || ! atMostTheItem)
        std::abort();

    return 0;
}
