#include "TextDecoding.h"

bool TextDecoding::isStrictUtf8 (const void* data, size_t size)
{
    const auto* bytes = static_cast<const juce::uint8*> (data);

    for (size_t i = 0; i < size;)
    {
        const auto lead = bytes[i];

        if (lead < 0x80)
        {
            ++i;
            continue;
        }

        size_t length = 0;
        juce::uint32 lowest = 0, lower = 0x80, upper = 0xbf;

        // Laid out as a table: one row per lead-byte range.
        // clang-format off
        if (lead >= 0xc2 && lead <= 0xdf)      { length = 2; lowest = 0x80; }
        else if (lead >= 0xe0 && lead <= 0xef) { length = 3; lowest = 0x800; }
        else if (lead >= 0xf0 && lead <= 0xf4) { length = 4; lowest = 0x10000; }
        else                                   return false;
        // clang-format on

        if (size - i < length)
            return false;

        juce::uint32 codePoint = lead & (0xffu >> (length + 1));

        for (size_t k = 1; k < length; ++k)
        {
            const auto next = bytes[i + k];

            if (next < lower || next > upper)
                return false;

            codePoint = (codePoint << 6) | (next & 0x3fu);
        }

        if (codePoint < lowest || codePoint > 0x10ffff || (codePoint >= 0xd800 && codePoint <= 0xdfff))
            return false;

        i += length;
    }

    return true;
}

juce::String TextDecoding::decodeFile (const juce::MemoryBlock& block)
{
    const auto* bytes = static_cast<const juce::uint8*> (block.getData());
    auto size = block.getSize();

    if (size >= 2 && ((bytes[0] == 0xff && bytes[1] == 0xfe) || (bytes[0] == 0xfe && bytes[1] == 0xff)))
        return juce::String::createStringFromData (bytes,
                                                   (int) juce::jmin (size, (size_t) std::numeric_limits<int>::max()));

    if (size >= 3 && bytes[0] == 0xef && bytes[1] == 0xbb && bytes[2] == 0xbf)
    {
        bytes += 3;
        size -= 3;
    }

    // Text stops at the first NUL, as the framework's strings do.
    size = (size_t) (std::find (bytes, bytes + size, 0) - bytes);

    if (isStrictUtf8 (bytes, size))
        return juce::String::fromUTF8 (reinterpret_cast<const char*> (bytes), (int) size);

    juce::String text;
    text.preallocateBytes (size * 2);

    for (size_t i = 0; i < size; ++i)
        text += juce::String::charToString ((juce::juce_wchar) bytes[i]);

    return text;
}
