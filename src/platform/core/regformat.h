#pragma once
// The REGEDIT4 text form of the registry, as hives are stored and as .reg files are imported:
//
//   REGEDIT4
//
//   [HKEY_CURRENT_USER\Software\Kivra]
//   "Name"="text with \"quotes\" and \\ backslashes"
//   "Count"=dword:0000000f
//   @="the key's default value"
//
// plus the deletions a .reg file may carry: "[-HKEY_...\Key]" and "Name"=-. Lines starting
// with ';' are comments. The parser is free of I/O: text in, a list of operations and a list
// of problems out, so a hand-edited file keeps every line that makes sense.

#include "reghive.h"

#include <string>
#include <string_view>
#include <vector>

namespace kivra::platform {

inline constexpr std::string_view kRegHeader = "REGEDIT4";
inline constexpr std::string_view kRootCurrentUser = "HKEY_CURRENT_USER";
inline constexpr std::string_view kRootClassesRoot = "HKEY_CLASSES_ROOT";

// The canonical name of a root ("HKCU" and any letter case accepted); empty when unknown.
std::string RegCanonicalRoot(std::string_view name);

struct RegOperation {
    enum class Kind { CreateKey, DeleteKey, SetValue, DeleteValue };
    Kind kind = Kind::CreateKey;
    std::string root; // canonical root name
    std::string key;  // normalized path below the root
    std::string name; // value name ("" for the default value)
    RegValue value;
    int line = 0;
};

struct RegParseIssue {
    int line = 0;     // 1-based
    std::string text; // the offending line, cut to a readable length
    std::string reason;
};

struct RegDocument {
    bool hasHeader = false; // the first non-empty line is "REGEDIT4"
    bool complete = true;   // the text ends with a line break (or is empty)
    bool binary = false;    // holds NUL bytes: not a text file at all
    std::vector<RegOperation> operations;
    std::vector<RegParseIssue> issues;
};

RegDocument ParseRegText(std::string_view text);

// Applies the operations of `doc` that belong to `root` to `hive`. Operations under another
// root are left alone; their count is returned through `foreign` when given.
void ApplyRegOperations(const RegDocument& doc, std::string_view root, RegHive& hive,
                        int* foreign = nullptr);

// The whole hive as REGEDIT4 text, every key in order (empty keys included), ending with a
// line break. Parsing the result gives the same hive back.
std::string FormatRegText(const RegHive& hive, std::string_view root);

// Escapes a string for a quoted REGEDIT4 field: backslash and quote are escaped; CR and LF,
// which would break the line structure, are written as \r and \n, and NUL as \0.
std::string RegEscape(std::string_view s);

} // namespace kivra::platform
