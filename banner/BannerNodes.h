// Reading libxml2's tree for the banner sanitiser: what each element becomes, and its
// attributes checked one by one. The HTML parser gives every element and attribute name in
// lower case.
#pragma once

#include <libxml/tree.h>

#include <QByteArray>
#include <QString>

namespace BannerNodes {

// What an element becomes in the emitted document.
enum class Kind {
    Skip,
    Transparent,
    Block,
    Div,
    Inline,
    Font,
    Anchor,
    Break,
    Image,
    Table,
    List,
    Item
};

Kind KindOf(const xmlNode* element);

// The element's name, or null for any other node.
const char* ElementName(const xmlNode* node);
bool IsElement(const xmlNode* node, const char* name);
bool IsCell(const xmlNode* node);
bool IsSection(const xmlNode* node);
// Text of nothing but HTML's white space.
bool IsWhitespace(const xmlNode* node);
QString Attribute(const xmlNode* node, const char* name);

// colspan or rowspan, within [1, kMaxSpan].
int Span(const xmlNode* cell, const char* name);
// The attributes kept for the element, each checked, as they are written after its name.
QString Attributes(const xmlNode* node);
// The declarations kept of a style attribute, each checked and written anew ("a:b;c:d").
QString Style(const QString& style);
// A colour as HTML attributes give it, or empty.
QString Color(const QString& value);
// The bytes of a data: address.
QByteArray DataUrlBytes(const QString& src);

} // namespace BannerNodes
