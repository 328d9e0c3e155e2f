// Reads arbitrary bytes as an HTML page the way the host does, and as --param arguments.
#include "pageparams.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace kivra::host;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view html(reinterpret_cast<const char*>(data), size);
    if (const auto object = ParsePageObject(html)) {
        // Everything read comes out of the page: nothing can be longer than the page itself.
        if (object->classId.size() > size || object->params.size() > size)
            std::abort();
        for (const auto& [name, value] : object->params) {
            if (name.empty() || name.size() + value.size() > size)
                std::abort();
        }
    }
    // A character reference never decodes to more bytes than it was written with.
    if (DecodeEntities(html).size() > size)
        std::abort();
    if (const auto arg = ParseParamArgument(html)) {
        if (arg->first.empty() || arg->first.size() + arg->second.size() + 1 != size)
            std::abort();
    }
    return 0;
}
