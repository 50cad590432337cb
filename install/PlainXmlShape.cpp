#include "PlainXmlShape.h"

#include <juce_core/juce_core.h>

#include <algorithm>
#include <cstring>

PlainXmlShape::PlainXmlShape (const char* text, int deepestNesting) : p (text), deepest ((size_t) deepestNesting)
{
}

bool PlainXmlShape::isWellFormed()
{
    skipMisc();

    if (! readStartTag())
        return false;

    while (! open.empty())
        if (! readContent())
            return false;

    skipMisc();
    return *p == 0;
}

bool PlainXmlShape::isNameStart (char c)
{
    return juce::CharacterFunctions::isLetter (c) || c == '_' || c == ':' || (c & 0x80) != 0;
}

bool PlainXmlShape::isNameChar (char c)
{
    return isNameStart (c) || juce::CharacterFunctions::isDigit (c) || c == '-' || c == '.';
}

bool PlainXmlShape::isSpace (char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool PlainXmlShape::startsWith (const char* s) const
{
    return strncmp (p, s, strlen (s)) == 0;
}

void PlainXmlShape::skipSpace()
{
    while (isSpace (*p))
        ++p;
}

bool PlainXmlShape::skipPast (const char* end)
{
    const auto* found = strstr (p, end);

    if (found == nullptr)
        return false;

    p = found + strlen (end);
    return true;
}

// White space, comments and processing instructions, before and after the root.
void PlainXmlShape::skipMisc()
{
    for (;;)
    {
        skipSpace();

        if (startsWith ("<!--") && skipPast ("-->"))
            continue;

        if (startsWith ("<?") && isNameStart (p[2]) && skipInstruction())
            continue;

        return;
    }
}

// A processing instruction such as the XML declaration, holding no markup.
bool PlainXmlShape::skipInstruction()
{
    const auto* start = p;

    if (! skipPast ("?>"))
        return false;

    if (std::find (start + 1, p, '<') == p)
        return true;

    p = start;
    return false;
}

// One character of text or of an attribute value. An ampersand must begin a whole
// reference: the framework's reader takes everything up to the next semicolon as an
// entity's name, and reads a name that starts with "<" again as markup, where some
// text sends it round in circles.
bool PlainXmlShape::skipCharacter()
{
    if (*p++ != '&')
        return true;

    if (*p == '#')
    {
        ++p;
        const auto hex = *p == 'x';
        const auto* digits = hex ? ++p : p;

        while (hex ? juce::CharacterFunctions::getHexDigitValue ((juce::juce_wchar) (unsigned char) *p) >= 0
                   : juce::CharacterFunctions::isDigit (*p))
            ++p;

        if (p == digits)
            return false;
    }
    else if (readName().empty())
    {
        return false;
    }

    return *p++ == ';';
}

std::string PlainXmlShape::readName()
{
    const auto* start = p;

    if (! isNameStart (*p))
        return {};

    while (isNameChar (*p))
        ++p;

    return std::string (start, p);
}

// After "<": a name, attributes, then "/>" or ">".
bool PlainXmlShape::readStartTag()
{
    if (*p++ != '<')
        return false;

    auto name = readName();

    if (name.empty())
        return false;

    for (;;)
    {
        const auto hadSpace = isSpace (*p);
        skipSpace();

        if (startsWith ("/>"))
        {
            p += 2;
            return true;
        }

        if (*p == '>')
        {
            ++p;

            if (open.size() >= deepest)
                return false;

            open.push_back (std::move (name));
            return true;
        }

        if (! hadSpace || readName().empty())
            return false;

        skipSpace();

        if (*p++ != '=')
            return false;

        skipSpace();
        const auto quote = *p++;

        if (quote != '"' && quote != '\'')
            return false;

        while (*p != 0 && *p != quote && *p != '<')
            if (! skipCharacter())
                return false;

        if (*p++ != quote)
            return false;
    }
}

// Inside an open element: text up to the next markup, then that markup.
bool PlainXmlShape::readContent()
{
    while (*p != 0 && *p != '<')
        if (! skipCharacter())
            return false;

    if (*p == 0)
        return false;

    if (startsWith ("<!--"))
        return skipPast ("-->");

    // Character data sections and processing instructions have no place in a
    // settings file, and the framework's reader loses its way in some of them.
    if (startsWith ("<![CDATA[") || startsWith ("<?"))
        return false;

    if (startsWith ("</"))
    {
        p += 2;

        if (readName() != open.back())
            return false;

        skipSpace();

        if (*p++ != '>')
            return false;

        open.pop_back();
        return true;
    }

    return readStartTag();
}
