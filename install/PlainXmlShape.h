#pragma once

#include <string>
#include <vector>

// The framework's XML reader is meant for documents that are well formed; on some
// malformed text it reads past the end or never stops. So text from outside first has
// to pass this plain reading of XML's structure, which needs no recursion and never
// looks past the end: a prolog of declarations, comments and white space, one root
// element whose tags nest properly (not too deep) with quoted attribute values and
// hold only text, comments and elements, every "&" beginning a whole reference, and
// nothing after it but comments and white space. No document type declaration: a settings file has no use for one, and
// entities are more than a hostile file should reach.
class PlainXmlShape final
{
public:
    // The text as UTF-8; it must stay alive while the shape is read.
    PlainXmlShape (const char* text, int deepestNesting);

    bool isWellFormed();

private:
    static bool isNameStart (char);
    static bool isNameChar (char);
    static bool isSpace (char);

    bool startsWith (const char*) const;
    void skipSpace();
    bool skipPast (const char* end);
    void skipMisc();
    bool skipInstruction();
    bool skipCharacter();
    std::string readName();
    bool readStartTag();
    bool readContent();

    const char* p;
    const size_t deepest;
    std::vector<std::string> open;
};
