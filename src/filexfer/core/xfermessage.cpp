#include "xfermessage.h"

#include <cstring>

namespace kivra::filexfer {

std::vector<std::uint8_t> EncodeMessage(std::uint32_t type, const void* payload,
                                        std::size_t length) {
    if (length > kMaxPayload)
        length = kMaxPayload;
    std::vector<std::uint8_t> out(kHeaderSize + length, 0);
    PutU32(out.data(), type);
    PutU32(out.data() + 4, kHeaderSize);
    PutU32(out.data() + 8, static_cast<std::uint32_t>(length));
    if (length > 0 && payload != nullptr)
        std::memcpy(out.data() + 12, payload, length);
    return out;
}

ReadResult ReadMessage(const std::uint8_t* data, std::size_t size) {
    ReadResult r;
    if (data == nullptr || size < kHeaderSize)
        return r;
    r.type = GetU32(data);
    r.headerSize = GetU32(data + 4);
    r.length = GetU32(data + 8);
    if (r.headerSize != kHeaderSize) {
        r.status = ReadResult::BadHeader;
        return r;
    }
    if (r.length > kMaxPayload) {
        r.status = ReadResult::TooLong;
        return r;
    }
    const std::size_t total = kHeaderSize + r.length;
    if (size < total)
        return r;
    r.status = ReadResult::Message;
    r.consumed = total;
    return r;
}

std::vector<std::uint8_t> EncodeOffer(const Offer& offer) {
    // The name and the user must fit one message; the name gives way.
    const std::size_t user = offer.userName.size() < 64 ? offer.userName.size() : 64;
    std::size_t name = offer.fileName.size();
    if (16 + name + user > kMaxPayload)
        name = kMaxPayload - 16 - user;
    std::vector<std::uint8_t> out(16 + name + user);
    PutU32(out.data(), static_cast<std::uint32_t>(name));
    PutU32(out.data() + 4, static_cast<std::uint32_t>(user));
    PutU32(out.data() + 8, offer.fileSize);
    PutU32(out.data() + 12, offer.blockCount);
    std::memcpy(out.data() + 16, offer.fileName.data(), name);
    std::memcpy(out.data() + 16 + name, offer.userName.data(), user);
    return out;
}

bool DecodeOffer(const std::uint8_t* payload, std::size_t length, Offer& offer) {
    if (payload == nullptr || length < 16)
        return false;
    const std::uint64_t name = GetU32(payload);
    const std::uint64_t user = GetU32(payload + 4);
    if (16 + name + user != length)
        return false;
    offer.fileSize = GetU32(payload + 8);
    offer.blockCount = GetU32(payload + 12);
    const char* text = reinterpret_cast<const char*>(payload + 16);
    offer.fileName.assign(text, name);
    offer.userName.assign(text + name, user);
    return true;
}

std::string_view BaseName(std::string_view path) {
    const std::size_t cut = path.find_last_of("/\\");
    return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

std::string SafeFileName(std::string_view name, std::size_t max) {
    std::string out;
    for (const char c : BaseName(name)) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F)
            return "received-file";
        if (out.size() < max)
            out.push_back(c);
    }
    if (out.empty() || out == "." || out == "..")
        return "received-file";
    return out;
}

} // namespace kivra::filexfer
