#include "markuptag.h"

#include <cctype>
#include <string_view>

namespace {

char Upper(char c) {
    return char(std::toupper(static_cast<unsigned char>(c)));
}

bool BeginsWith(const std::string& text, std::string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (Upper(text[i]) != prefix[i])
            return false;
    return true;
}

// The tests in the order they run; the first match wins, so "<CENTER>" is never taken for "<B".
struct TypeTest {
    std::string_view prefix;
    int type;
};
constexpr TypeTest kTypeTests[] = {
    {"<A ", CMarkupTag::TAG_A},           {"</A>", CMarkupTag::TAG_A_END},
    {"<CENTER>", CMarkupTag::TAG_CENTER}, {"</CENTER>", CMarkupTag::TAG_CENTER_END},
    {"<FONT ", CMarkupTag::TAG_FONT},     {"</FONT>", CMarkupTag::TAG_FONT_END},
    {"<P>", CMarkupTag::TAG_P},           {"</P>", CMarkupTag::TAG_P_END},
    {"<I>", CMarkupTag::TAG_I},           {"</I>", CMarkupTag::TAG_I_END},
    {"<B>", CMarkupTag::TAG_B},           {"</B>", CMarkupTag::TAG_B_END},
    {"<U>", CMarkupTag::TAG_U},           {"</U>", CMarkupTag::TAG_U_END},
    {"<EFFECT ", CMarkupTag::TAG_EFFECT}, {"<IMG ", CMarkupTag::TAG_IMG},
    {"<SND", CMarkupTag::TAG_SND},        {"<USER ", CMarkupTag::TAG_USER},
    {"<HR ", CMarkupTag::TAG_HR},         {"<HR>", CMarkupTag::TAG_HR},
    {"<BR>", CMarkupTag::TAG_BR},
};

bool IsBlankOrQuote(char c) {
    return c == ' ' || c == '"';
}

// Drops trailing blanks and double quotes (and ">" where asked) from [begin, end).
std::size_t TrimEnd(const std::string& s, std::size_t begin, std::size_t end, bool gt) {
    while (end > begin && (IsBlankOrQuote(s[end - 1]) || (gt && s[end - 1] == '>')))
        --end;
    return end;
}

} // namespace

int CMarkupTag::Classify(const std::string& text) {
    for (const TypeTest& t : kTypeTests)
        if (BeginsWith(text, t.prefix))
            return t.type;
    return TAG_NONE;
}

void CMarkupTag::Clear() {
    m_strText.clear();
    m_attributes.clear();
    m_nLength = m_nType = m_nAttributes = 0;
}

void CMarkupTag::Parse(const char* text) {
    Clear();
    m_bValid = true;
    std::size_t n = 0;
    for (;; ++n) {
        const char c = text ? text[n] : '\0';
        if (c == '\0' || c == '\r' || c == '\n' || (c == '<' && n > 0) || n >= kMaxTagLength ||
            (n == 0 && c != '<')) {
            m_bValid = false;
            return;
        }
        if (c == '>')
            break;
    }
    m_strText.assign(text, n + 1);
    m_nLength = int(m_strText.size());
    m_nType = Classify(m_strText);
    if (m_nType != TAG_NONE)
        ParseAttributes();
}

// name=value pairs: each "=" has its name as the last word before it, and its value runs to the
// word that names the next "=".
void CMarkupTag::ParseAttributes() {
    const std::string& s = m_strText;
    std::size_t eq = s.find('=');
    if (eq == std::string::npos)
        return;
    std::size_t nameEnd = TrimEnd(s, 0, eq, false);
    std::size_t nameBegin = nameEnd;
    while (nameBegin > 0 && !IsBlankOrQuote(s[nameBegin - 1]))
        --nameBegin;
    while (eq != std::string::npos) {
        if (nameBegin == nameEnd) {
            m_bValid = false;
            return;
        }
        const std::size_t next = s.find('=', eq + 1);
        std::size_t valueEnd = next == std::string::npos ? s.size() : next;
        std::size_t followingBegin = valueEnd, followingEnd = valueEnd;
        if (next != std::string::npos) {
            followingEnd = TrimEnd(s, eq + 1, next, false);
            followingBegin = followingEnd;
            while (followingBegin > eq + 1 && !IsBlankOrQuote(s[followingBegin - 1]))
                --followingBegin;
            valueEnd = followingBegin;
        }
        valueEnd = TrimEnd(s, eq + 1, valueEnd, true);
        std::size_t valueBegin = eq + 1;
        while (valueBegin < valueEnd && IsBlankOrQuote(s[valueBegin]))
            ++valueBegin;
        if (m_attributes.size() < kMaxAttributes) {
            Attribute a;
            a.name = s.substr(nameBegin, std::min(nameEnd - nameBegin, kMaxNameLength));
            a.value = s.substr(valueBegin, valueEnd - valueBegin);
            a.valueLength = int(a.value.size()) + 1;
            m_attributes.push_back(std::move(a));
            m_nAttributes = int(m_attributes.size());
        }
        nameBegin = followingBegin;
        nameEnd = followingEnd;
        eq = next;
    }
}

const CMarkupTag::Attribute* CMarkupTag::Find(const char* name) const {
    if (!name)
        return nullptr;
    const std::string wanted(name);
    for (const Attribute& a : m_attributes) {
        std::string upper;
        for (char c : a.name)
            upper.push_back(Upper(c));
        if (BeginsWith(wanted, upper))
            return &a;
    }
    return nullptr;
}

const char* CMarkupTag::GetValue(const char* name) const {
    const Attribute* a = Find(name);
    return a ? a->value.c_str() : nullptr;
}

int CMarkupTag::GetValueLength(const char* name) const {
    const Attribute* a = Find(name);
    return a ? a->valueLength : 0;
}
