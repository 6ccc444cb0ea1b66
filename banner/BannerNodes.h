// Reading gumbo's tree for the banner sanitiser: what each element becomes, and its
// attributes checked one by one.
#pragma once

#include <gumbo.h>

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

Kind KindOf(GumboTag tag);

const GumboVector& ChildrenOf(const GumboNode* node);
const GumboNode* Child(const GumboNode* node, unsigned i);
bool IsElement(const GumboNode* node, GumboTag tag);
bool IsCell(const GumboNode* node);
bool IsSection(const GumboNode* node);
QString Attribute(const GumboNode* node, const char* name);

// colspan or rowspan, within [1, kMaxSpan].
int Span(const GumboNode* cell, const char* name);
// The attributes kept for the element, each checked, as they are written after its name.
QString Attributes(const GumboNode* node);
// Whether a character is shown as it is (see BannerLimits.h).
bool IsShownScript(char32_t c);
// The bytes of a data: address.
QByteArray DataUrlBytes(const QString& src);

} // namespace BannerNodes
