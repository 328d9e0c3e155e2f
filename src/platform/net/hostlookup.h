#pragma once
// Name lookup that does not freeze the UI: getaddrinfo runs on a worker thread while the calling
// (UI) thread keeps its event loop running until the answer comes or the wait times out.

#include <cstdint>
#include <string>

namespace kivra::platform::net {

struct LookupResult {
    int error = 0;             // 0, or a Winsock number (WSATRY_AGAIN, WSAHOST_NOT_FOUND, ...)
    std::uint32_t address = 0; // first IPv4 address of the answer, network byte order
};

// Reads text of the form "a.b.c.d" (four decimal numbers 0-255); true and the address in
// network byte order when it is one.
bool ParseDottedAddress(const char* text, std::uint32_t& address);

// Looks `name` up (IPv4 only). A lookup still running after `timeoutMs` is abandoned (the worker
// finishes on its own) and answers WSATRY_AGAIN, so the caller's bounded retry decides.
LookupResult LookupHost(const std::string& name, int timeoutMs = 15000);

} // namespace kivra::platform::net
