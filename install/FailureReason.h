#pragma once

#include <juce_core/juce_core.h>

// What went wrong with a file or folder, in plain words and with the path concerned,
// for the command line's lines, the log and the JSON status.
namespace FailureReason
{
// The system's error number (errno; on Windows set from the last error where this
// program maps it) as it applies to path.
juce::String ofError (int error, const juce::String& path);

// Who owns a file, by user name where the system knows one, else by number.
juce::String ownerName (juce::uint32 uid);
}  // namespace FailureReason
