// Any bytes as a product archive, unpacked into a scratch plug-in folder: whatever
// the entry names, nothing is ever written outside the folder, and nothing but the
// one item is left in it.
#include "install/ArchiveInstaller.h"

#include <cstdlib>
#include <unistd.h>

namespace
{
const juce::File& scratch()
{
    // In memory where there is a tmpfs: the target writes for every input.
    const juce::File shm ("/dev/shm");
    const auto base = shm.isDirectory() ? shm : juce::File::getSpecialLocation (juce::File::tempDirectory);
    static const auto folder = base.getChildFile ("plugin-manager-fuzz-" + juce::String ((int) getpid()));
    return folder;
}

int numberOfItems (const juce::File& folder)
{
    return folder.getNumberOfChildFiles (juce::File::findFilesAndDirectories, "*");
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    const auto base = scratch();
    const auto pluginFolder = base.getChildFile ("plugins");
    base.deleteRecursively (false);
    pluginFolder.createDirectory();

    const ArchiveInstaller installer (pluginFolder, "Item.clap");
    installer.install (data, size);

    const auto onlyTheFolder = numberOfItems (base) == 1 && pluginFolder.isDirectory();
    const auto atMostTheItem =
        numberOfItems (pluginFolder) == 0 || (numberOfItems (pluginFolder) == 1 && installer.target().exists());

    if (! onlyTheFolder || ! atMostTheItem)
        std::abort();

    return 0;
}
