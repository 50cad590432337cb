#pragma once

#include <juce_core/juce_core.h>

#include <memory>

// Gives one archive entry's content, block by block, from its data as it lies in the
// archive in memory, together with the CRC-32 of what it gave.
//
// Inflating is most of an install's time. Where the build has ISA-L, its igzip
// inflates, with the CRC computed on the way, at about twice zlib's speed; otherwise
// zlib does. Both stream into the caller's blocks, so an install needs no more memory
// for a large file than for a small one.
class EntryInflater final
{
public:
    // method is the entry's ZIP compression method: 0 stored, 8 deflated; any other
    // reads as damage. Data in the program's own image has its pages handed back to
    // the system as they are read past (see ProgramImageInputStream).
    EntryInflater (const void* data, size_t size, int method, bool inProgramImage);
    ~EntryInflater();

    // Up to maxBytes of the content: 0 once it has ended, -1 when the data is damaged
    // or ends before the content does.
    int read (void* destination, int maxBytes);

    // True once the content has ended where the data says it does.
    bool isFinished() const;
    juce::uint32 crc() const;

    // The ZIP CRC-32 of more bytes, carried on from crc (0 for the first), with the
    // library that inflates.
    static juce::uint32 checksum (juce::uint32 crc, const void* bytes, size_t size);

    enum class Library
    {
        isal,
        zlib
    };

    // The library that inflates from now on.
    static Library library();

    // While it lives (and is asked to), zlib inflates even where ISA-L is built in: for
    // measuring one against the other, and for testing the path of builds without ISA-L.
    class ZlibForced final
    {
    public:
        explicit ZlibForced (bool force = true);
        ~ZlibForced();

    private:
        const bool before;

        JUCE_DECLARE_NON_COPYABLE (ZlibForced)
    };

    class Engine;

private:
    void handBackReadPages (bool all);

    std::unique_ptr<Engine> engine;
    const juce::uint8* const data;
    const bool inProgramImage;
    size_t handedBackUpTo = 0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (EntryInflater)
};
