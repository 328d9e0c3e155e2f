// ParseBlock over a zero-terminated copy of the input, which always starts with the 0x01 byte the
// scanner hands it. The result must stay inside the buffer; an incomplete block returns its start.
#include "fuzzfakes.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string buffer(1, '\x01');
    buffer.append(reinterpret_cast<const char*>(data), size);
    const std::size_t text = buffer.find('\0');
    buffer.push_back('\0');
    const std::size_t end = text == std::string::npos ? buffer.size() - 1 : text;

    kivra_fuzz::Control control;
    control.ctx.m_pUserOptions = std::make_shared<CUserOptions>(&control.ctx);
    int incomplete = -1;
    char* next = control.proto.ParseBlock(buffer.data(), &incomplete);
    if (incomplete != 0 && incomplete != 1)
        std::abort();
    if (incomplete == 1 && next != buffer.data())
        std::abort();
    if (next < buffer.data() + (incomplete ? 0 : 1) || next > buffer.data() + end)
        std::abort();
    return 0;
}
