#pragma once
// Reads what the host needs from an HTML page: the first <object> element's classid and the
// <param name=... value=...> elements inside it, as a browser hands them to the control.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kivra::host {

struct PageObject {
    std::string classId; // without the "clsid:" prefix, as written
    std::vector<std::pair<std::string, std::string>> params;
};

// The first <object> of `html`; nothing when the page has none. A <param> without a name is
// skipped; one without a value gives the empty string.
std::optional<PageObject> ParsePageObject(std::string_view html);

// "NAME=VALUE" of --param: the name must be non-empty and made of letters, digits and '_'.
std::optional<std::pair<std::string, std::string>> ParseParamArgument(std::string_view arg);

// Decodes the character references a page writer uses in attribute values (&amp; &lt; &gt;
// &quot; &apos; &#NN; &#xHH;); anything else is kept as written.
std::string DecodeEntities(std::string_view text);

} // namespace kivra::host
