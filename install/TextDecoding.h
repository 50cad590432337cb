#pragma once

#include <juce_core/juce_core.h>

// Text from outside the program (the shared settings file, names inside archives)
// turned into strings the framework can work with safely. The framework's own check
// lets some malformed UTF-8 through, and its string and path functions then disagree
// about where characters start: searches overrun and clean-ups never end.
class TextDecoding final
{
public:
    // Well-formed UTF-8 in the strict sense: right continuation bytes, no overlong
    // forms, no surrogates, nothing above U+10FFFF.
    static bool isStrictUtf8 (const void* bytes, size_t size);

    // A text file's content: UTF-16 with a byte order mark, UTF-8 (with or without a
    // mark), and anything else byte by byte as Latin-1, as editors of old wrote it.
    static juce::String decodeFile (const juce::MemoryBlock&);

private:
    TextDecoding() = delete;
};
