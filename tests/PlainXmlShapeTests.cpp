#include "install/PlainXmlShape.h"

#include <catch2/catch_test_macros.hpp>

namespace
{
bool wellFormed (const char* text, int deepest = 8)
{
    return PlainXmlShape (text, deepest).isWellFormed();
}
}  // namespace

TEST_CASE ("Settings text must have the plain shape of an XML document", "[settings][text]")
{
    SECTION ("what settings files look like passes")
    {
        CHECK (wellFormed (
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n\r\n<Plugin_Manager_Settings Important_Note:=\"a\"\r\n"
            "                         CLAP_Path=\"C:\\Program Files\\CLAP\"/>\r\n"));
        CHECK (wellFormed (
            "<!-- edited by hand -->\n<a x='1' y = \"2\"><b/><!-- note --><c>text &amp; more</c></a>\n<!-- end -->"));
    }

    SECTION ("broken structure fails")
    {
        CHECK_FALSE (wellFormed (""));
        CHECK_FALSE (wellFormed ("<a>"));
        CHECK_FALSE (wellFormed ("<a></b>"));
        CHECK_FALSE (wellFormed ("<a x=1/>"));
        CHECK_FALSE (wellFormed ("<a x=\"1\"y=\"2\"/>"));
        CHECK_FALSE (wellFormed ("<a x=\"<\"/>"));
        CHECK_FALSE (wellFormed ("<a/><b/>"));
        CHECK_FALSE (wellFormed ("<a/>trailing"));
        CHECK_FALSE (wellFormed ("<a/><!"));
        CHECK_FALSE (wellFormed ("<-->/\"<?x)lion?><a/>"));
    }

    SECTION ("an ampersand begins a whole reference, in text and in attribute values")
    {
        CHECK (wellFormed ("<a x=\"&quot;&#34;&#x22;\">&amp;&lt;&gt;&apos;&other;</a>"));
        CHECK_FALSE (wellFormed ("<a>fish & chips</a>"));
        CHECK_FALSE (wellFormed ("<a>&amp</a>"));
        CHECK_FALSE (wellFormed ("<a>&#;</a>"));
        CHECK_FALSE (wellFormed ("<a>&#xg;</a>"));
        CHECK_FALSE (wellFormed ("<a x=\"&\"/>"));

        // An entity "name" that the framework would read again as markup, over a comment.
        CHECK_FALSE (wellFormed ("<a><b>&<!--; <d> --></b></a>"));
    }

    SECTION ("constructs a settings file never needs fail")
    {
        CHECK_FALSE (wellFormed ("<!DOCTYPE a [<!ENTITY e \"x\">]><a/>"));
        CHECK_FALSE (wellFormed ("<a><![CDATA[x]]></a>"));
        CHECK_FALSE (wellFormed ("<a><?x y?></a>"));
        CHECK_FALSE (wellFormed ("<?/><a/>"));
    }

    SECTION ("nesting has a limit")
    {
        CHECK (wellFormed ("<a><a><a></a></a></a>", 3));
        CHECK_FALSE (wellFormed ("<a><a><a><a></a></a></a></a>", 3));
    }
}
