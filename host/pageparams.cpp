#include "pageparams.h"

#include <cctype>
#include <map>

namespace kivra::host {

namespace {

char Lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool StartsWithNoCase(std::string_view text, std::size_t at, std::string_view word) {
    if (at + word.size() > text.size())
        return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (Lower(text[at + i]) != Lower(word[i]))
            return false;
    }
    return true;
}

bool IsSpace(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// One start or end tag found by the scanner.
struct Tag {
    std::string name;                              // lower case; "/object" for an end tag
    std::map<std::string, std::string> attributes; // names lower case
    std::size_t end = 0;                           // just after '>'
};

// Reads the tag starting at html[at] == '<'; nothing when the page ends inside it. Comments and
// declarations are skipped by the caller.
std::optional<Tag> ReadTag(std::string_view html, std::size_t at) {
    Tag tag;
    std::size_t i = at + 1;
    while (i < html.size() && !IsSpace(html[i]) && html[i] != '>' && html[i] != '/')
        tag.name.push_back(Lower(html[i++]));
    if (tag.name.empty() && i < html.size() && html[i] == '/') {
        ++i;
        tag.name.push_back('/');
        while (i < html.size() && !IsSpace(html[i]) && html[i] != '>')
            tag.name.push_back(Lower(html[i++]));
    }
    while (i < html.size()) {
        while (i < html.size() && (IsSpace(html[i]) || html[i] == '/'))
            ++i;
        if (i >= html.size())
            return std::nullopt;
        if (html[i] == '>') {
            tag.end = i + 1;
            return tag;
        }
        std::string name;
        while (i < html.size() && !IsSpace(html[i]) && html[i] != '=' && html[i] != '>' &&
               html[i] != '/')
            name.push_back(Lower(html[i++]));
        while (i < html.size() && IsSpace(html[i]))
            ++i;
        std::string value;
        if (i < html.size() && html[i] == '=') {
            ++i;
            while (i < html.size() && IsSpace(html[i]))
                ++i;
            if (i < html.size() && (html[i] == '"' || html[i] == '\'')) {
                const char quote = html[i++];
                const std::size_t close = html.find(quote, i);
                if (close == std::string_view::npos)
                    return std::nullopt;
                value = DecodeEntities(html.substr(i, close - i));
                i = close + 1;
            } else {
                std::size_t start = i;
                while (i < html.size() && !IsSpace(html[i]) && html[i] != '>')
                    ++i;
                value = DecodeEntities(html.substr(start, i - start));
            }
        }
        if (!name.empty() && !tag.attributes.contains(name))
            tag.attributes.emplace(std::move(name), std::move(value));
    }
    return std::nullopt;
}

// The next tag at or after `from`, skipping comments; nothing at the end of the page.
std::optional<Tag> NextTag(std::string_view html, std::size_t& from) {
    while (true) {
        const std::size_t lt = html.find('<', from);
        if (lt == std::string_view::npos)
            return std::nullopt;
        if (StartsWithNoCase(html, lt, "<!--")) {
            const std::size_t close = html.find("-->", lt + 4);
            if (close == std::string_view::npos)
                return std::nullopt;
            from = close + 3;
            continue;
        }
        if (lt + 1 < html.size() && (html[lt + 1] == '!' || html[lt + 1] == '?')) {
            const std::size_t close = html.find('>', lt);
            if (close == std::string_view::npos)
                return std::nullopt;
            from = close + 1;
            continue;
        }
        // A tag still open at the end of the page swallows the rest, as in a browser. Reading
        // on from the next '<' instead would rescan the tail once per '<' in it.
        auto tag = ReadTag(html, lt);
        if (!tag)
            return std::nullopt;
        from = tag->end;
        return tag;
    }
}

} // namespace

std::string DecodeEntities(std::string_view text) {
    static const std::map<std::string, char> named = {
        {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '&') {
            out.push_back(text[i]);
            continue;
        }
        const std::size_t semi = text.find(';', i);
        if (semi == std::string_view::npos || semi - i > 10) {
            out.push_back('&');
            continue;
        }
        const std::string ref(text.substr(i + 1, semi - i - 1));
        if (auto it = named.find(ref); it != named.end()) {
            out.push_back(it->second);
            i = semi;
            continue;
        }
        if (ref.size() >= 2 && ref[0] == '#') {
            const bool hex = ref[1] == 'x' || ref[1] == 'X';
            const std::string digits = ref.substr(hex ? 2 : 1);
            unsigned long code = 0;
            bool ok = !digits.empty();
            for (char c : digits) {
                const bool digit = hex ? std::isxdigit(static_cast<unsigned char>(c)) != 0
                                       : std::isdigit(static_cast<unsigned char>(c)) != 0;
                if (!digit) {
                    ok = false;
                    break;
                }
                code = code * (hex ? 16 : 10) +
                       static_cast<unsigned long>(std::isdigit(static_cast<unsigned char>(c))
                                                      ? c - '0'
                                                      : Lower(c) - 'a' + 10);
                if (code > 0xFF) {
                    ok = false; // text is single-byte throughout
                    break;
                }
            }
            if (ok && code != 0) {
                out.push_back(static_cast<char>(code));
                i = semi;
                continue;
            }
        }
        out.push_back('&');
    }
    return out;
}

std::optional<PageObject> ParsePageObject(std::string_view html) {
    std::size_t pos = 0;
    std::optional<PageObject> object;
    while (auto tag = NextTag(html, pos)) {
        if (!object) {
            if (tag->name != "object")
                continue;
            object.emplace();
            std::string classId =
                tag->attributes.contains("classid") ? tag->attributes["classid"] : std::string();
            if (StartsWithNoCase(classId, 0, "clsid:"))
                classId.erase(0, 6);
            object->classId = classId;
            continue;
        }
        if (tag->name == "/object")
            break;
        if (tag->name != "param")
            continue;
        const auto name = tag->attributes.find("name");
        if (name == tag->attributes.end() || name->second.empty())
            continue;
        const auto value = tag->attributes.find("value");
        object->params.emplace_back(name->second,
                                    value == tag->attributes.end() ? std::string() : value->second);
    }
    return object;
}

std::optional<std::pair<std::string, std::string>> ParseParamArgument(std::string_view arg) {
    const std::size_t eq = arg.find('=');
    if (eq == std::string_view::npos || eq == 0)
        return std::nullopt;
    for (char c : arg.substr(0, eq)) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_')
            return std::nullopt;
    }
    return std::make_pair(std::string(arg.substr(0, eq)), std::string(arg.substr(eq + 1)));
}

} // namespace kivra::host
