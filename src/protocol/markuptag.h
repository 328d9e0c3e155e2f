#pragma once
// One tag of the ticker's markup: its text, its type and its attributes. Standard library only,
// so the tokenizer runs under the fuzzer and in tests without a display.

#include <string>
#include <vector>

class CMarkupTag {
public:
    enum : int {
        TAG_NONE = 0,
        TAG_A = 1,
        TAG_A_END = 2,
        TAG_P = 3,
        TAG_P_END = 4,
        TAG_I = 5,
        TAG_I_END = 6,
        TAG_B = 7,
        TAG_B_END = 8,
        TAG_U = 9,
        TAG_U_END = 10,
        TAG_IMG = 11,
        TAG_SND = 12,
        TAG_EFFECT = 13,
        TAG_HR = 14,
        TAG_BR = 15,
        TAG_USER = 16,
        TAG_CENTER = 17,
        TAG_CENTER_END = 18,
        TAG_FONT = 19,
        TAG_FONT_END = 20,
    };
    static constexpr std::size_t kMaxTagLength = 1024;
    static constexpr std::size_t kMaxAttributes = 50;
    static constexpr std::size_t kMaxNameLength = 15;

    struct Attribute {
        std::string name;    // at most kMaxNameLength characters
        int valueLength = 0; // characters of the value plus 1
        std::string value;
    };

    // Reads one tag starting at `text` (its "<"); a zero byte ends the text.
    void Parse(const char* text);
    void Clear();
    // The value (or its length + 1) of the first attribute whose name is a prefix of `name`,
    // letters compared in upper case; null (0) when there is none.
    const char* GetValue(const char* name) const;
    int GetValueLength(const char* name) const;

    bool IsValid() const { return m_bValid; }
    const std::string& Text() const { return m_strText; }
    int Length() const { return m_nLength; }
    int Type() const { return m_nType; }
    int AttributeCount() const { return m_nAttributes; }
    const std::vector<Attribute>& Attributes() const { return m_attributes; }

    // The type of a tag text by its first characters (0 for none).
    static int Classify(const std::string& text);

private:
    const Attribute* Find(const char* name) const;
    void ParseAttributes();

    bool m_bValid = true;
    std::string m_strText;
    int m_nLength = 0;
    int m_nType = 0;
    int m_nAttributes = 0;
    std::vector<Attribute> m_attributes;
};
