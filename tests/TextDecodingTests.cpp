#include "install/TextDecoding.h"

#include <catch2/catch_test_macros.hpp>

namespace
{
bool strict (const char* bytes)
{
    return TextDecoding::isStrictUtf8 (bytes, strlen (bytes));
}

juce::String decode (const char* bytes, size_t size)
{
    return TextDecoding::decodeFile (juce::MemoryBlock (bytes, size));
}
}  // namespace

TEST_CASE ("Only well-formed UTF-8 passes as UTF-8", "[text]")
{
    CHECK (strict ("plain"));
    CHECK (strict ("M\xc3\xbcller \xe2\x82\xac \xf0\x9f\x8e\xb9"));

    CHECK_FALSE (strict ("\xdb."));             // a lead byte without its continuation
    CHECK_FALSE (strict ("\xf2\xf2\xf2\xf2"));  // lead bytes where continuations belong
    CHECK_FALSE (strict ("\xc0\xaf"));          // an overlong "/"
    CHECK_FALSE (strict ("\xe0\x80\xaf"));      // another overlong "/"
    CHECK_FALSE (strict ("\xed\xa0\x80"));      // a surrogate
    CHECK_FALSE (strict ("\xf4\x90\x80\x80"));  // above U+10FFFF
    CHECK_FALSE (strict ("\xe2\x82"));          // cut short
    CHECK_FALSE (strict ("\x80"));              // a lone continuation byte
}

TEST_CASE ("Text files decode by their marks and content", "[text]")
{
    CHECK (decode ("M\xc3\xbcller", 7) == juce::String::fromUTF8 ("M\xc3\xbcller"));
    CHECK (decode ("\xef\xbb\xbfM\xc3\xbcller", 10) == juce::String::fromUTF8 ("M\xc3\xbcller"));
    CHECK (decode ("M\xfcller", 6) == juce::String::fromUTF8 ("M\xc3\xbcller"));  // Latin-1
    CHECK (decode ("\xff\xfe"
                   "a\0b\0",
                   6)
           == "ab");
    CHECK (decode ("ab\0cd", 5) == "ab");

    const auto odd = decode ("\xdb./\xdb./", 6);
    CHECK (juce::CharPointer_UTF8::isValidString (odd.toRawUTF8(), (int) odd.getNumBytesAsUTF8()));
    CHECK (odd.length() == 6);
}
