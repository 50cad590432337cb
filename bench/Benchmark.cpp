// Measures what the user waits for: the install and uninstall passes (the window is
// frozen while they run), start-up and painting, against the standard extractors and
// the machine's floor for the same work. Prints a table; asserts nothing.
#include "install/EntryInflater.h"
#include "install/InstallPass.h"
#include "install/InstalledState.h"
#include "install/PluginFormats.h"
#include "install/ZipCentralDirectory.h"
#include "BinaryData.h"
#include "main_screen/MainComponent.h"
#include "panels/panel_success.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <iostream>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace
{
constexpr int runs = 9;

struct Figure
{
    double median, min, max;
};

struct Archive
{
    const char* data;
    int size;
    const char* name;
};

const Archive archives[] { { BinaryData::vst3_zip, BinaryData::vst3_zipSize, "vst3.zip" },
                           { BinaryData::clap_zip, BinaryData::clap_zipSize, "clap.zip" },
                           { BinaryData::aax_zip, BinaryData::aax_zipSize, "aax.zip" } };

// User and system time of every thread of this process, ended threads included.
double cpuMilliseconds()
{
    rusage usage {};
    getrusage (RUSAGE_SELF, &usage);
    const auto ms = [] (const timeval& t) { return (double) t.tv_sec * 1000.0 + (double) t.tv_usec / 1000.0; };
    return ms (usage.ru_utime) + ms (usage.ru_stime);
}

struct Timing
{
    Figure wall, cpu;
};

Figure figureOf (std::vector<double> times)
{
    std::sort (times.begin(), times.end());
    return { times[times.size() / 2], times.front(), times.back() };
}

// One kind of run: prepare runs before each measured run and is not timed.
struct Run
{
    std::function<void()> prepare, work;
};

// A warm-up of each kind, then the median, minimum and maximum of repeated runs of
// each, in wall-clock and in CPU time. The kinds take turns, one run of each per
// round, so that a machine whose speed drifts (a shared virtual machine's does) slows
// them alike and their ratios hold.
std::vector<Timing> measureInTurns (const std::vector<Run>& kinds)
{
    for (const auto& kind : kinds)
    {
        kind.prepare();
        kind.work();
    }

    std::vector<std::vector<double>> wall (kinds.size()), cpu (kinds.size());

    for (int i = 0; i < runs; ++i)
    {
        for (size_t k = 0; k < kinds.size(); ++k)
        {
            kinds[k].prepare();
            const auto startCpu = cpuMilliseconds();
            const auto start = juce::Time::getHighResolutionTicks();
            kinds[k].work();
            wall[k].push_back (juce::Time::highResolutionTicksToSeconds (juce::Time::getHighResolutionTicks() - start)
                               * 1000.0);
            cpu[k].push_back (cpuMilliseconds() - startCpu);
        }
    }

    std::vector<Timing> timings;

    for (size_t k = 0; k < kinds.size(); ++k)
        timings.push_back ({ figureOf (wall[k]), figureOf (cpu[k]) });

    return timings;
}

Figure measure (const std::function<void()>& prepare, const std::function<void()>& work)
{
    return measureInTurns ({ { prepare, work } })[0].wall;
}

// So that no run pays for the writeback of the one before.
void settle()
{
    sync();
}

void shell (const juce::String& command)
{
    if (std::system (command.toRawUTF8()) != 0)
        std::cerr << "command failed: " << command << std::endl;
}

juce::String quoted (const juce::File& f)
{
    return f.getFullPathName().quoted ('\'');
}

struct Scratch
{
    explicit Scratch (const juce::File& base) : folder (base.getNonexistentChildFile ("pm-bench", {}, false))
    {
        folder.createDirectory();
    }

    ~Scratch() { folder.deleteRecursively(); }

    void empty() const
    {
        folder.deleteRecursively();
        folder.createDirectory();
    }

    juce::File folder;
};

// Inflates every file entry of the archives into memory on one core, with the library
// the installer uses at the moment, checking each CRC. Unless the content is kept, it
// all goes into one block touched beforehand, so that the figure is the library's and
// not the page faults of fresh memory.
std::vector<std::vector<std::pair<juce::String, juce::MemoryBlock>>> inflateAll (bool keep = true)
{
    static juce::MemoryBlock reused (32 << 20, true);
    std::vector<std::vector<std::pair<juce::String, juce::MemoryBlock>>> result;

    for (const auto& archive : archives)
    {
        auto& files = result.emplace_back();
        juce::ZipFile zip (new juce::MemoryInputStream (archive.data, (size_t) archive.size, false), true);
        const auto located = ZipCentralDirectory::read (archive.data, (size_t) archive.size);

        for (size_t index = 0; index < located.size(); ++index)
        {
            const auto& where = located[index];
            const auto* entry = zip.getEntry ((int) index);
            const auto size = (size_t) entry->uncompressedSize;
            juce::MemoryBlock out (keep ? juce::jmax ((size_t) 1, size) : 1);
            EntryInflater content (archive.data + where.dataOffset, where.compressedSize, where.method, false);
            const auto into = keep ? out.getData() : reused.getData();

            if (size > reused.getSize() || content.read (into, (int) size) != (int) size || content.crc() != where.crc)
                std::cerr << "the benchmark's own inflating failed" << std::endl;

            out.setSize (keep ? size : 0);
            files.emplace_back (entry->filename.replaceCharacter ('\\', '/'), std::move (out));
        }
    }

    return result;
}

void writeAll (const std::vector<std::vector<std::pair<juce::String, juce::MemoryBlock>>>& inflated,
               const juce::File& folder)
{
    for (const auto& files : inflated)
    {
        for (const auto& [name, content] : files)
        {
            const auto file = folder.getChildFile (name);

            if (name.endsWithChar ('/'))
            {
                file.createDirectory();
                continue;
            }

            file.getParentDirectory().createDirectory();
            const auto fd = ::open (file.getFullPathName().toRawUTF8(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            juce::ignoreUnused (::write (fd, content.getData(), content.getSize()));
            ::close (fd);
        }
    }
}

juce::String row (const juce::String& what, const Figure& f)
{
    return what.paddedRight (' ', 52) + juce::String (f.median, 1).paddedLeft (' ', 9)
         + juce::String (f.min, 1).paddedLeft (' ', 9) + juce::String (f.max, 1).paddedLeft (' ', 9);
}

juce::String ratio (const juce::String& what, double value, double target)
{
    return what.paddedRight (' ', 52) + juce::String (value, 2).paddedLeft (' ', 9)
         + "   target <= " + juce::String (target, 2) + (value <= target ? "  holds" : "  MISSED");
}

// A figure for a pass that failed would be worthless, so a failed pass ends the run.
void installPass (MainComponent& screen, bool uninstall)
{
    screen.selected.fill (true);
    screen.shiftDown = uninstall;
    screen.runInstallOrUninstall();

    if (screen.resultPanel == nullptr || ! screen.resultPanel->success)
    {
        std::cerr << (uninstall ? "an uninstall" : "an install") << " pass failed" << std::endl;
        std::exit (1);
    }
}

// A figure of this process's /proc status: VmRSS is the resident size now, VmHWM its peak.
juce::int64 statusKilobytes (const juce::String& field)
{
    juce::int64 kb = 0;
    const auto status = juce::File ("/proc/self/status").loadFileAsString();

    for (const auto& line : juce::StringArray::fromLines (status))
        if (line.startsWith (field))
            kb = line.fromFirstOccurrenceOf (":", false, false).trim().getLargeIntValue();

    return kb;
}

// The memory figure is taken in a child process that does nothing but one install.
int oneInstall (const juce::File& base)
{
    MainComponent screen (base.getChildFile ("appdata"), base.getChildFile ("plugins"));
    std::cout << "rest " << statusKilobytes ("VmRSS:") << std::endl;
    installPass (screen, false);
    std::cout << "peak " << statusKilobytes ("VmHWM:") << std::endl;
    return screen.isFormatInstalled (0) && screen.isFormatInstalled (2) ? 0 : 1;
}

void measureLocation (const juce::String& label, const juce::File& base, juce::StringArray& table,
                      juce::StringArray& ratios, const juce::File& generated)
{
    Scratch scratch (base);
    const auto plugins = scratch.folder.getChildFile ("plugins");
    const auto appData = scratch.folder.getChildFile ("appdata");

    auto makeScreen = [&] { return std::make_unique<MainComponent> (appData, plugins); };
    appData.createDirectory();
    auto screen = makeScreen();

    const auto emptyPlugins = [&]
    {
        plugins.deleteRecursively();
        settle();
    };
    const auto installing = [&] (bool zlib)
    {
        return Run { emptyPlugins, [&screen, zlib]
                     {
                         const EntryInflater::ZlibForced forced (zlib);
                         installPass (*screen, false);
                     } };
    };
    const auto uninstall = measure (
        [&]
        {
            installPass (*screen, false);
            settle();
        },
        [&] { installPass (*screen, true); });

    const auto target = scratch.folder.getChildFile ("tool");
    const auto withTool = [&] (const juce::String& tool, const juce::String& afterwards = "true")
    {
        return Run { [&]
                     {
                         target.deleteRecursively();
                         target.createDirectory();
                         settle();
                     },
                     [&, tool, afterwards]
                     {
                         for (const auto& archive : archives)
                             shell ("cd " + quoted (target) + " && " + tool + " "
                                    + quoted (generated.getChildFile (archive.name)) + " >/dev/null 2>&1; true");

                         shell ("cd " + quoted (target) + " && " + afterwards);
                     } };
    };

    // Over an intact install: verifying it, and an install that finds nothing to do.
    const auto pass = [&] { return InstallPass (screen->settingsFolder, screen->productName, screen->formatFolders); };
    const auto allIntact = [&]
    {
        const auto reports = pass().verify ({ true, true, true });
        return std::all_of (reports.begin(), reports.end(),
                            [] (const auto& r) { return r.verdict == ItemVerifier::Verdict::intact; });
    };
    const auto overIntact = [&] (std::function<bool()> work)
    {
        return Run { [&]
                     {
                         if (! allIntact())
                             installPass (*screen, false);

                         settle();
                     },
                     [work]
                     {
                         if (! work())
                         {
                             std::cerr << "an item over an intact install was not found intact" << std::endl;
                             std::exit (1);
                         }
                     } };
    };
    const auto verifying = overIntact (allIntact);
    const auto unchanged = overIntact (
        [&]
        {
            const auto result = pass().run ({ true, true, true }, InstallPass::Mode::install, false);
            return std::all_of (result.outcomes.begin(), result.outcomes.end(),
                                [] (auto o) { return o == InstallPass::Outcome::unchanged; });
        });

    // The passes and the extractors they are held against, in turns. The installer's
    // files are on disk when it reports success; sync -f makes the extractor's so too.
    const auto timings =
        measureInTurns ({ installing (false), installing (true), withTool ("bsdtar -xf"),
                          withTool ("bsdtar -xf", "sync -f ."), withTool ("unzip -qo"), verifying, unchanged });
    const auto& install = timings[0];
    const auto& installZlib = timings[1];
    const auto bsdtar = timings[2].wall, bsdtarDurable = timings[3].wall, unzip = timings[4].wall;
    const auto verify = timings[5].wall, installUnchanged = timings[6].wall;

    const auto removeTree = measure (
        [&]
        {
            installPass (*screen, false);
            settle();
        },
        [&]
        {
            shell (
                "rm -rf "
                + quoted (PluginFormats::defaultFolders (plugins)[0].getChildFile ("Glass Tundra Lights.vst3")) + " "
                + quoted (PluginFormats::defaultFolders (plugins)[1].getChildFile ("Glass Tundra Lights.clap")) + " "
                + quoted (PluginFormats::defaultFolders (plugins)[2].getChildFile ("Glass Tundra Lights.aaxplugin")));
        });

    const auto inflateOnly = measure ([] {}, [] { inflateAll (false); });
    const auto inflateZlib = measure ([] {},
                                      []
                                      {
                                          const EntryInflater::ZlibForced forced;
                                          inflateAll (false);
                                      });
    const auto inflated = inflateAll();
    const auto writeOnly = measure (
        [&]
        {
            target.deleteRecursively();
            target.createDirectory();
            settle();
        },
        [&] { writeAll (inflated, target); });
    const Figure floor { inflateOnly.median + writeOnly.median, inflateOnly.min + writeOnly.min,
                         inflateOnly.max + writeOnly.max };
    const auto library = EntryInflater::library() == EntryInflater::Library::isal ? juce::String ("ISA-L") : "zlib";

    table.add (row ("install pass, 3 formats (" + label + ")", install.wall));
    table.add (row ("  CPU time, user + system", install.cpu));
    table.add (row ("install pass with zlib (" + label + ")", installZlib.wall));
    table.add (row ("  CPU time, user + system", installZlib.cpu));
    table.add (row ("bsdtar -xf, 3 archives (" + label + ")", bsdtar));
    table.add (row ("bsdtar -xf, then sync -f (" + label + ")", bsdtarDurable));
    table.add (row ("unzip -q, 3 archives (" + label + ")", unzip));
    table.add (row ("floor: " + library + " inflate in memory, one core", inflateOnly));
    table.add (row ("floor: zlib inflate in memory, one core", inflateZlib));
    table.add (row ("floor: write the same bytes (" + label + ")", writeOnly));
    table.add (row ("floor: " + library + " inflate + write (" + label + ")", floor));
    table.add (row ("verify, 3 formats intact (" + label + ")", verify));
    table.add (row ("install pass, 3 formats unchanged (" + label + ")", installUnchanged));
    table.add (row ("uninstall pass, 3 formats (" + label + ")", uninstall));
    table.add (row ("rm -rf of the 3 items (" + label + ")", removeTree));

    ratios.add (ratio ("install / bsdtar (" + label + ")", install.wall.median / bsdtar.median, 0.35));
    ratios.add (ratio ("install / (bsdtar + sync) (" + label + ")", install.wall.median / bsdtarDurable.median, 1.0));
    ratios.add (
        ratio ("install CPU / zlib install CPU (" + label + ")", install.cpu.median / installZlib.cpu.median, 0.6));
    ratios.add (ratio ("install / unzip (" + label + ")", install.wall.median / unzip.median, 1.0));
    ratios.add (ratio ("install / floor (" + label + ")", install.wall.median / floor.median, 1.15));
    ratios.add (ratio ("uninstall / rm -rf (" + label + ")", uninstall.median / removeTree.median, 1.1));
    ratios.add (ratio ("verify / install (" + label + ")", verify.median / install.wall.median, 0.25));
    ratios.add (
        ratio ("unchanged install / install (" + label + ")", installUnchanged.median / install.wall.median, 0.25));
}
}  // namespace

int main (int argc, char* argv[])
{
    const juce::ScopedJuceInitialiser_GUI framework;

    if (argc == 3 && juce::String (argv[1]) == "--one-install")
        return oneInstall (juce::File (argv[2]));

    if (argc < 3)
    {
        std::cerr << "usage: Benchmark <folder of generated archives> <folder on disk>" << std::endl;
        return 2;
    }

    const juce::File generated (argv[1]);
    const juce::File onDisk (argv[2]);
    juce::StringArray table, ratios;

    table.add (juce::String ("what (milliseconds)").paddedRight (' ', 52) + "   median      min      max");
    measureLocation ("/dev/shm", juce::File ("/dev/shm"), table, ratios, generated);
    measureLocation ("disk", onDisk, table, ratios, generated);

    {
        Scratch scratch (juce::File ("/dev/shm"));
        const auto appData = scratch.folder.getChildFile ("appdata");
        const auto plugins = scratch.folder.getChildFile ("plugins");
        appData.createDirectory();

        std::unique_ptr<MainComponent> screen;
        const auto construct =
            measure ([&] { screen = nullptr; }, [&] { screen = std::make_unique<MainComponent> (appData, plugins); });
        table.add (row ("construct the main component", construct));
        ratios.add (ratio ("construct the main component (ms)", construct.median, 30.0));

        installPass (*screen, false);

        for (const auto& [width, limit] :
             { std::pair { 600, 3.0 }, std::pair { 1000, 25.0 }, std::pair { 2000, 25.0 } })
        {
            screen->setSize (width, width);
            juce::Image image (juce::Image::ARGB, width, width, true, juce::SoftwareImageType());
            const auto paint = measure ([] {},
                                        [&]
                                        {
                                            juce::Graphics g (image);
                                            screen->paintEntireComponent (g, true);
                                        });
            table.add (row ("paint the main screen at " + juce::String (width) + " px, all installed", paint));

            if (width != 1000)
                ratios.add (ratio ("paint at " + juce::String (width) + " px (ms)", paint.median, limit));
        }

        // What a paint asks the disk: one existence test per format, one version read per
        // installed format. A thousand paints' worth, so the figure reads in microseconds.
        const InstalledState state (screen->productName, screen->formatFolders);
        const auto questions = measure ([] {},
                                        [&]
                                        {
                                            for (int paint = 0; paint < 1000; ++paint)
                                                for (int index = 0; index < 3; ++index)
                                                    state.stateOf (index);
                                        });
        table.add (row ("disk questions of one paint, all installed (us)", questions));
    }

    {
        Scratch scratch (juce::File ("/dev/shm"));
        scratch.folder.getChildFile ("appdata").createDirectory();
        const auto self = juce::File::getSpecialLocation (juce::File::currentExecutableFile);
        const auto output = scratch.folder.getChildFile ("memory.txt");
        shell (quoted (self) + " --one-install " + quoted (scratch.folder) + " > " + quoted (output));

        const auto figures = juce::StringArray::fromLines (output.loadFileAsString());
        const auto megabytes = [&figures] (const juce::String& name)
        {
            for (const auto& line : figures)
                if (line.startsWith (name + " "))
                    return (double) line.fromFirstOccurrenceOf (" ", false, false).getLargeIntValue() / 1024.0;

            return 0.0;
        };
        const auto restMb = megabytes ("rest");
        const auto peakMb = megabytes ("peak");
        const auto largestArchiveMb = (double) BinaryData::vst3_zipSize / (1024.0 * 1024.0);

        table.add (juce::String ("resident at rest, before the install (MB)").paddedRight (' ', 52)
                   + juce::String (restMb, 1).paddedLeft (' ', 9));
        table.add (juce::String ("peak resident during one full install (MB)").paddedRight (' ', 52)
                   + juce::String (peakMb, 1).paddedLeft (' ', 9));
        ratios.add (ratio ("peak / (rest + 2 x largest archive)", peakMb / (restMb + 2.0 * largestArchiveMb), 1.0));
    }

    std::cout << table.joinIntoString ("\n") << "\n\n" << ratios.joinIntoString ("\n") << std::endl;
    return 0;
}
