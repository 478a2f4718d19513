#pragma once
// Reading and writing attributes of the elements of a kept HTML source by
// their id, for the light view (which renders pages but keeps no element
// tree of its own). The source is scanned as written: comments and the
// contents of script and style elements are passed over, attribute names
// match without regard to case, values are read with their character
// references decoded and written back in double quotes with &, <, > and "
// escaped. The rest of the source is left byte for byte as it was.

#include <optional>
#include <string>
#include <string_view>

// The value of Attr on the first element whose id is Id (ElementFound
// tells whether one has it): nullopt when none has; "" when the element
// lacks the attribute.
std::optional<std::string> HtmlGetAttribute(std::string_view Html, std::string_view Id, std::string_view Attr,
                                            bool& ElementFound);
// Sets (or adds) Attr on the first element whose id is Id; false when no
// element has that id.
bool HtmlSetAttribute(std::string& Html, std::string_view Id, std::string_view Attr, std::string_view Value);
// Character references of an attribute value decoded (&amp; &lt; &gt; &quot;
// &apos; &nbsp; and numeric ones).
std::string HtmlDecodeEntities(std::string_view Text);
std::string HtmlEscapeAttribute(std::string_view Text);
