#pragma once

#include <juce_core/juce_core.h>

// A small ZIP archive made on the spot: entry names (UTF-8) and their text.
inline juce::MemoryBlock zipOf (std::initializer_list<std::pair<const char*, const char*>> entries)
{
    juce::ZipFile::Builder builder;

    for (const auto& [name, content] : entries)
        builder.addEntry (new juce::MemoryInputStream (content, strlen (content), true), 9,
                          juce::String::fromUTF8 (name), juce::Time (2024, 0, 1, 12, 0));

    juce::MemoryOutputStream out;
    builder.writeToStream (out, nullptr);
    return out.getMemoryBlock();
}
