#include <catch2/catch_test_macros.hpp>

#include "panels/EulaText.h"

namespace
{
// Empty tokens are kept so that blank separator lines are counted as lines.
juce::StringArray splitIntoLines (const juce::String& text)
{
    return juce::StringArray::fromTokens (text, "\n", "");
}

bool isPrintableAsciiOrLineFeed (char c)
{
    const auto byte = static_cast<unsigned char> (c);
    return byte == '\n' || (byte >= 0x20 && byte <= 0x7e);
}
}  // namespace

TEST_CASE ("Licence text has the exact layout the licence page expects", "[eula]")
{
    const auto utf8 = eulaText.toStdString();

    SECTION ("byte count")
    {
        REQUIRE (utf8.size() == 4785);
        REQUIRE (eulaText.getNumBytesAsUTF8() == 4785);
    }

    SECTION ("plain printable ASCII only")
    {
        for (auto c : utf8)
            REQUIRE (isPrintableAsciiOrLineFeed (c));
    }

    SECTION ("no carriage returns")
    {
        REQUIRE_FALSE (eulaText.containsChar ('\r'));
    }

    SECTION ("eighteen lines")
    {
        REQUIRE (splitIntoLines (eulaText).size() == 18);
    }

    SECTION ("seven empty and eleven non-empty lines")
    {
        int numEmpty = 0;
        int numNonEmpty = 0;

        for (const auto& line : splitIntoLines (eulaText))
        {
            if (line.isEmpty())
                ++numEmpty;
            else
                ++numNonEmpty;
        }

        REQUIRE (numEmpty == 7);
        REQUIRE (numNonEmpty == 11);
    }

    SECTION ("no trailing line feed")
    {
        REQUIRE (eulaText.isNotEmpty());
        REQUIRE_FALSE (eulaText.endsWithChar ('\n'));
    }

    SECTION ("starts with the title")
    {
        REQUIRE (eulaText.startsWith ("TOVIN DRIFT END-USER LICENSE AGREEMENT - GLASS TUNDRA LIGHTS\n"));
    }
}
