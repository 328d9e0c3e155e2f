// Reads arbitrary bytes as a REGEDIT4 hive or .reg file, applies them to both roots, and checks
// that writing a hive out and reading it back gives the same hive: a store that saves what it
// loaded must never lose or change a key or value.
#include "regformat.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace kivra::platform;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const RegDocument doc = ParseRegText(text);
    // The store sets a file with NUL bytes aside without applying it.
    if (doc.binary)
        return 0;
    for (const auto& issue : doc.issues) {
        if (issue.line < 1)
            std::abort();
    }
    for (std::string_view root : {kRootCurrentUser, kRootClassesRoot}) {
        RegHive hive;
        int foreign = 0;
        ApplyRegOperations(doc, root, hive, &foreign);
        if (foreign < 0 || std::size_t(foreign) > doc.operations.size())
            std::abort();
        const std::string written = FormatRegText(hive, root);
        const RegDocument again = ParseRegText(written);
        if (!again.issues.empty() || !again.hasHeader || !again.complete || again.binary)
            std::abort();
        RegHive reread;
        ApplyRegOperations(again, root, reread);
        if (!(reread == hive) || FormatRegText(reread, root) != written)
            std::abort();
    }
    return 0;
}
