#include "regformat.h"

#include <cstdio>

namespace kivra::platform {

namespace {

constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr std::size_t kIssueTextMax = 80;

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

bool StartsWithFolded(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && RegFoldCase(s.substr(0, prefix.size())) == prefix;
}

// Reads a quoted field starting at s[pos] == '"'. On success `pos` is just past the closing
// quote.
bool ReadQuoted(std::string_view s, std::size_t& pos, std::string& out) {
    if (pos >= s.size() || s[pos] != '"')
        return false;
    out.clear();
    for (std::size_t i = pos + 1; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '"') {
            pos = i + 1;
            return true;
        }
        if (c == '\\' && i + 1 < s.size()) {
            const char e = s[++i];
            switch (e) {
            case '\\':
            case '"':
                out += e;
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case '0':
                out += '\0';
                break;
            default:
                // Not an escape we write; keep it as it stands.
                out += '\\';
                out += e;
            }
            continue;
        }
        out += c;
    }
    return false;
}

class Parser {
public:
    explicit Parser(RegDocument& doc) : m_doc(doc) {}

    void Line(int number, std::string_view raw) {
        m_number = number;
        m_raw = raw;
        if (m_continuation) {
            // The tail of a multi-line hex value we already reported.
            m_continuation = !raw.empty() && Trim(raw).ends_with('\\');
            return;
        }
        std::string_view line = Trim(raw);
        if (line.empty() || line.front() == ';')
            return;
        if (!m_sawFirst) {
            m_sawFirst = true;
            if (line == kRegHeader || line == kHeader5 ||
                (line.starts_with("\xEF\xBB\xBF") && line.substr(3) == kRegHeader)) {
                m_doc.hasHeader = true;
                return;
            }
        }
        if (line.front() == '[')
            KeyLine(line);
        else if (line.front() == '"' || line.front() == '@')
            ValueLine(line);
        else
            Issue("not a key or value line");
    }

private:
    void Issue(const char* reason) {
        std::string text(m_raw.substr(0, kIssueTextMax));
        if (m_raw.size() > kIssueTextMax)
            text += "...";
        m_doc.issues.push_back({m_number, std::move(text), reason});
    }

    void KeyLine(std::string_view line) {
        m_haveKey = false;
        if (line.back() != ']') {
            Issue("key line without a closing bracket");
            return;
        }
        std::string_view inner = line.substr(1, line.size() - 2);
        bool remove = false;
        if (!inner.empty() && inner.front() == '-') {
            remove = true;
            inner.remove_prefix(1);
        }
        const std::size_t slash = inner.find('\\');
        const std::string root = RegCanonicalRoot(inner.substr(0, slash));
        if (root.empty()) {
            Issue("unknown registry root");
            return;
        }
        const std::string path = slash == std::string_view::npos
                                     ? std::string()
                                     : RegNormalizeKeyPath(inner.substr(slash + 1));
        if (remove) {
            if (path.empty()) {
                Issue("a whole root cannot be deleted");
                return;
            }
            Op(RegOperation::Kind::DeleteKey, root, path);
            // Values after a deleted key have no key to go to.
            return;
        }
        m_haveKey = true;
        m_root = root;
        m_key = path;
        if (!path.empty())
            Op(RegOperation::Kind::CreateKey, root, path);
    }

    void ValueLine(std::string_view line) {
        std::string name;
        std::size_t pos = 0;
        if (line.front() == '@') {
            pos = 1;
        } else if (!ReadQuoted(line, pos, name)) {
            Issue("value name without a closing quote");
            return;
        }
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t'))
            ++pos;
        if (pos >= line.size() || line[pos] != '=') {
            Issue("value line without '='");
            return;
        }
        std::string_view data = Trim(line.substr(pos + 1));
        RegOperation op;
        op.name = name;
        if (data == "-") {
            op.kind = RegOperation::Kind::DeleteValue;
        } else if (!data.empty() && data.front() == '"') {
            std::size_t p = 0;
            std::string text;
            if (!ReadQuoted(data, p, text) || !Trim(data.substr(p)).empty()) {
                Issue("string value without a proper closing quote");
                return;
            }
            op.kind = RegOperation::Kind::SetValue;
            op.value = RegValue::String(std::move(text));
        } else if (StartsWithFolded(data, "dword:")) {
            std::string_view digits = data.substr(6);
            if (digits.empty() || digits.size() > 8) {
                Issue("dword value needs 1 to 8 hex digits");
                return;
            }
            std::uint32_t v = 0;
            for (char c : digits) {
                int d = -1;
                if (c >= '0' && c <= '9')
                    d = c - '0';
                else if (c >= 'a' && c <= 'f')
                    d = c - 'a' + 10;
                else if (c >= 'A' && c <= 'F')
                    d = c - 'A' + 10;
                if (d < 0) {
                    Issue("dword value needs 1 to 8 hex digits");
                    return;
                }
                v = (v << 4) | static_cast<std::uint32_t>(d);
            }
            op.kind = RegOperation::Kind::SetValue;
            op.value = RegValue::Dword(v);
        } else if (StartsWithFolded(data, "hex")) {
            Issue("value type not supported (only strings and dwords are kept)");
            m_continuation = data.ends_with('\\');
            return;
        } else {
            Issue("value of unknown form");
            return;
        }
        if (!m_haveKey) {
            Issue("value outside any key");
            return;
        }
        if (m_key.empty()) {
            Issue("values directly under a root are not kept");
            return;
        }
        op.root = m_root;
        op.key = m_key;
        op.line = m_number;
        m_doc.operations.push_back(std::move(op));
    }

    void Op(RegOperation::Kind kind, const std::string& root, const std::string& key) {
        RegOperation op;
        op.kind = kind;
        op.root = root;
        op.key = key;
        op.line = m_number;
        m_doc.operations.push_back(std::move(op));
    }

    RegDocument& m_doc;
    int m_number = 0;
    std::string_view m_raw;
    bool m_sawFirst = false;
    bool m_continuation = false;
    bool m_haveKey = false;
    std::string m_root;
    std::string m_key;
};

} // namespace

std::string RegCanonicalRoot(std::string_view name) {
    const std::string folded = RegFoldCase(Trim(name));
    if (folded == "hkey_current_user" || folded == "hkcu")
        return std::string(kRootCurrentUser);
    if (folded == "hkey_classes_root" || folded == "hkcr")
        return std::string(kRootClassesRoot);
    return {};
}

RegDocument ParseRegText(std::string_view text) {
    RegDocument doc;
    doc.complete = text.empty() || text.back() == '\n';
    doc.binary = text.find('\0') != std::string_view::npos;
    Parser parser(doc);
    int number = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        parser.Line(++number, line);
        pos = end + 1;
    }
    return doc;
}

void ApplyRegOperations(const RegDocument& doc, std::string_view root, RegHive& hive,
                        int* foreign) {
    int others = 0;
    for (const RegOperation& op : doc.operations) {
        if (op.root != root) {
            ++others;
            continue;
        }
        switch (op.kind) {
        case RegOperation::Kind::CreateKey:
            hive.CreateKey(op.key);
            break;
        case RegOperation::Kind::DeleteKey:
            hive.DeleteKey(op.key);
            break;
        case RegOperation::Kind::SetValue:
            hive.SetValue(op.key, op.name, op.value);
            break;
        case RegOperation::Kind::DeleteValue:
            hive.DeleteValue(op.key, op.name);
            break;
        }
    }
    if (foreign)
        *foreign = others;
}

std::string RegEscape(std::string_view s) {
    std::string out;
    out.reserve(s.size() + 2);
    for (char c : s) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\0':
            out += "\\0";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string FormatRegText(const RegHive& hive, std::string_view root) {
    std::string out(kRegHeader);
    out += "\n\n";
    for (const std::string& path : hive.KeyPaths()) {
        out += '[';
        out += root;
        out += '\\';
        out += path;
        out += "]\n";
        for (const RegHive::NamedValue& v : hive.Values(path)) {
            if (v.name.empty()) {
                out += '@';
            } else {
                out += '"';
                out += RegEscape(v.name);
                out += '"';
            }
            out += '=';
            if (v.value.type == RegType::Dword) {
                char buf[16];
                std::snprintf(buf, sizeof buf, "dword:%08x", static_cast<unsigned>(v.value.dword));
                out += buf;
            } else {
                out += '"';
                out += RegEscape(v.value.text);
                out += '"';
            }
            out += '\n';
        }
        out += '\n';
    }
    return out;
}

} // namespace kivra::platform
