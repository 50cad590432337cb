#pragma once
#include <juce_core/juce_core.h>

/** Reads the fixed file version from the version resource of a Windows PE image
    (what Windows shows as "File version"), portably and defensively. */
class PeVersionReader final
{
public:
    /** "major.minor.build.revision", e.g. "1.0.12.0"; empty when the file is missing, a folder,
        not a PE image, carries no version resource, or is malformed in any way. */
    static juce::String readFileVersion (const juce::File& file);
    static juce::String readFileVersion (juce::InputStream& input);
};
