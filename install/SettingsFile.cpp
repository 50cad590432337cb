#include "SettingsFile.h"

#include "TextDecoding.h"
#include "main_screen/MainComponent.h"

#include <algorithm>
#include <string>
#include <vector>

namespace
{
const juce::String importantNote {
    "These are the paths that all Tovin Drift installers will use for their respective formats. "
    "Edit them to personal taste, but keep in mind that some formats have specific homes. "
    "Use this feature at your own risk; follow the naming and separator conventions exactly as you see them, "
    "or you could end up with unintended consequences. If you delete this file, the next time you run the "
    "Plugin Manager for any TD product, a new one with the default locations will be written."
};

// The attribute of each format, by format index.
const juce::StringArray pathAttributes { "VST3_Path", "CLAP_Path", "AAX_Path" };

// The framework's XML reader is meant for documents that are well formed; on some
// malformed text it reads past the end or never stops. So the text first has to pass
// this plain reading of XML's structure, which needs no recursion and no look-ahead
// past the end: a prolog of declarations, comments and white space, one root element
// whose tags nest properly (not too deep) with quoted attribute values and hold only
// text, comments and elements, and nothing after it but comments and white space. No document type declaration: a settings
// file has no use for one, and entities are more than a hostile file should reach.
class PlainXmlShape final
{
public:
    explicit PlainXmlShape (const char* text) : p (text) {}

    bool isWellFormed()
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

private:
    static bool isNameStart (char c) { return juce::CharacterFunctions::isLetter (c) || c == '_' || c == ':' || (c & 0x80) != 0; }
    static bool isNameChar (char c) { return isNameStart (c) || juce::CharacterFunctions::isDigit (c) || c == '-' || c == '.'; }
    static bool isSpace (char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

    bool startsWith (const char* s) const { return strncmp (p, s, strlen (s)) == 0; }
    void skipSpace() { while (isSpace (*p)) ++p; }

    bool skipPast (const char* end)
    {
        const auto* found = strstr (p, end);

        if (found == nullptr)
            return false;

        p = found + strlen (end);
        return true;
    }

    // White space, comments and processing instructions, before and after the root.
    void skipMisc()
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
    bool skipInstruction()
    {
        const auto* start = p;

        if (! skipPast ("?>"))
            return false;

        if (std::find (start + 1, p, '<') == p)
            return true;

        p = start;
        return false;
    }

    std::string readName()
    {
        const auto* start = p;

        if (! isNameStart (*p))
            return {};

        while (isNameChar (*p))
            ++p;

        return std::string (start, p);
    }

    // After "<": a name, attributes, then "/>" or ">".
    bool readStartTag()
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

                if (open.size() >= (size_t) SettingsFile::deepestNesting)
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
                ++p;

            if (*p++ != quote)
                return false;
        }
    }

    // Inside an open element: text up to the next markup, then that markup.
    bool readContent()
    {
        while (*p != 0 && *p != '<')
            ++p;

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

    const char* p;
    std::vector<std::string> open;
};

// Runs of separators become one, but for the two that open a network path on Windows.
// The framework's own clean-up of doubled separators never ends on some paths with
// characters beyond ASCII, so the path reaches it without any.
juce::String collapseSeparators (const juce::String& path)
{
    const auto isSeparator = [] (juce::juce_wchar c)
    {
        return c == '/' || (c == '\\' && juce::File::getSeparatorChar() == '\\');
    };

    juce::String result;
    auto previousWasSeparator = false;
    int index = 0;

    for (auto p = path.getCharPointer(); ! p.isEmpty(); ++p, ++index)
    {
        const auto separator = isSeparator (*p);

        if (! (separator && previousWasSeparator && index > 1))
            result += juce::String::charToString (*p);

        previousWasSeparator = separator;
    }

    return result;
}
} // namespace

const juce::String SettingsFile::fileName { "PluginManagerSettings.txt" };

std::optional<std::array<juce::File, 3>> SettingsFile::readFolders (const juce::MemoryBlock& content)
{
    const auto text = TextDecoding::decodeFile (content);

    if (! PlainXmlShape (text.toRawUTF8()).isWellFormed())
        return std::nullopt;

    const auto root = juce::XmlDocument (text).getDocumentElement();

    if (root == nullptr)
        return std::nullopt;

    std::array<juce::File, 3> folders;

    for (int index = 0; index < 3; ++index)
    {
        // A missing attribute leaves the format without a folder; it is never
        // resolved against the working directory or the file-system root.
        const auto path = root->getStringAttribute (pathAttributes[index]);
        folders[(size_t) index] = path.isEmpty() ? juce::File() : juce::File (collapseSeparators (path));
    }

    return folders;
}

juce::XmlElement SettingsFile::makeDocument (const std::array<juce::File, 3>& folders)
{
    juce::XmlElement settings ("Plugin_Manager_Settings");
    settings.setAttribute ("Important_Note:", importantNote);
    settings.setAttribute ("CLAP_Path", folders[1].getFullPathName());
    settings.setAttribute ("VST3_Path", folders[0].getFullPathName());
    settings.setAttribute ("AAX_Path", folders[2].getFullPathName());
    return settings;
}

// Every installer of the maker shares one settings file naming the plug-in folders:
// read it when it is there, otherwise write it with the folders in force now.
void MainComponent::loadOrCreateSettings()
{
    settingsFolder = applicationDataFolder.getChildFile ("Tovin Drift");
    const auto settingsFile = settingsFolder.getChildFile (SettingsFile::fileName);

    if (settingsFile.existsAsFile())
    {
        juce::MemoryBlock content;
        const auto folders = settingsFile.loadFileAsData (content) ? SettingsFile::readFolders (content) : std::nullopt;

        if (! folders.has_value())
            return;

        formatFolders = *folders;

        for (const auto& folder : formatFolders)
            if (folder != juce::File() && ! folder.exists())
                folder.createDirectory();

        return;
    }

    // On a fresh machine the maker's folder does not exist yet.
    settingsFolder.createDirectory();
    SettingsFile::makeDocument (formatFolders).writeTo (settingsFile, juce::XmlElement::TextFormat());
}
