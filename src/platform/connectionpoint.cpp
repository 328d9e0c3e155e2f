#include "connectionpoint.h"

#include <algorithm>

namespace kivra::platform {

ConnectionPoint::~ConnectionPoint() {
    UnadviseAll();
}

HRESULT ConnectionPoint::Advise(IDispatch* sink, std::uint32_t* cookie) {
    if (!sink || !cookie)
        return E_POINTER;
    *cookie = m_nextCookie++;
    if (m_nextCookie == 0)
        m_nextCookie = 1;
    m_sinks.push_back({*cookie, ComPtr<IDispatch>::Copy(sink)});
    return S_OK;
}

HRESULT ConnectionPoint::Unadvise(std::uint32_t cookie) {
    auto it = std::find_if(m_sinks.begin(), m_sinks.end(),
                           [&](const Sink& s) { return s.cookie == cookie; });
    if (it == m_sinks.end())
        return CONNECT_E_NOCONNECTION;
    // Release after the entry is gone: the sink's destructor may call back into us.
    ComPtr<IDispatch> gone = std::move(it->sink);
    m_sinks.erase(it);
    return S_OK;
}

void ConnectionPoint::UnadviseAll() {
    std::vector<Sink> gone;
    gone.swap(m_sinks);
}

int ConnectionPoint::Fire(DISPID id, std::span<const Variant> args) {
    // A snapshot with its own references, so sinks may advise or unadvise while we call them.
    const std::vector<Sink> snapshot = m_sinks;
    int called = 0;
    for (const Sink& s : snapshot) {
        const bool stillAdvised =
            std::any_of(m_sinks.begin(), m_sinks.end(),
                        [&](const Sink& live) { return live.cookie == s.cookie; });
        if (!stillAdvised)
            continue;
        s.sink->Invoke(id, InvokeKind::Method, args, nullptr);
        ++called;
    }
    return called;
}

} // namespace kivra::platform
