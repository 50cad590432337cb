#pragma once

#include <juce_core/juce_core.h>

#include <catch2/catch_test_macros.hpp>

#include <cstdlib>
#include <unistd.h>

// Tests that mount things run as root in a private mount namespace of their own (see
// tests/CMakeLists.txt), so what they mount vanishes with the test process.
namespace Mounts
{
inline bool run (const juce::String& command)
{
    return std::system ((command + " >/dev/null 2>&1").toRawUTF8()) == 0;
}

inline void require()
{
    if (geteuid() != 0 || ! run ("mount --make-rprivate /"))
        SKIP ("needs root in a private mount namespace");
}

inline juce::String quoted (const juce::File& f)
{
    return f.getFullPathName().quoted();
}
}  // namespace Mounts
