// CMarkupTag::Parse over a zero-terminated copy of the input, starting with "<" as the ticker
// hands it. A tag stays within its bounds and its answers agree with its attributes.
#include "markuptag.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string buffer(1, '<');
    buffer.append(reinterpret_cast<const char*>(data), size);
    CMarkupTag tag;
    tag.Parse(buffer.c_str());
    if (tag.IsValid()) {
        if (tag.Length() < 2 || std::size_t(tag.Length()) > CMarkupTag::kMaxTagLength ||
            tag.Text().back() != '>' || buffer.compare(0, tag.Text().size(), tag.Text()) != 0)
            std::abort();
        if (tag.AttributeCount() > int(CMarkupTag::kMaxAttributes))
            std::abort();
        for (const auto& a : tag.Attributes()) {
            if (a.name.empty() || a.name.size() > CMarkupTag::kMaxNameLength ||
                a.valueLength != int(a.value.size()) + 1)
                std::abort();
            const char* value = tag.GetValue(a.name.c_str());
            if (!value || tag.GetValueLength(a.name.c_str()) != int(std::strlen(value)) + 1)
                std::abort();
        }
    }
    tag.Clear();
    if (tag.AttributeCount() != 0 || tag.Length() != 0)
        std::abort();
    return 0;
}
