#pragma once
// The source side of events: sinks (IDispatch objects) advise and unadvise by cookie, and the
// source fires an event by its dispatch id, which calls Invoke on every advised sink. A sink may
// unadvise (itself or another) while an event is being fired; that sink is not called again.

#include "dispatch.h"

#include <cstdint>
#include <span>
#include <vector>

namespace kivra::platform {

class ConnectionPoint {
public:
    explicit ConnectionPoint(Guid eventIid) : m_iid(eventIid) {}
    ~ConnectionPoint();
    ConnectionPoint(const ConnectionPoint&) = delete;
    ConnectionPoint& operator=(const ConnectionPoint&) = delete;

    const Guid& EventInterface() const { return m_iid; }

    // Holds a reference to `sink`; `*cookie` (never 0) names the connection.
    HRESULT Advise(IDispatch* sink, std::uint32_t* cookie);
    // CONNECT_E_NOCONNECTION for an unknown cookie.
    HRESULT Unadvise(std::uint32_t cookie);
    void UnadviseAll();
    std::size_t SinkCount() const { return m_sinks.size(); }

    // Calls every sink advised when the event starts; returns how many were called.
    int Fire(DISPID id, std::span<const Variant> args = {});

private:
    struct Sink {
        std::uint32_t cookie;
        ComPtr<IDispatch> sink;
    };
    Guid m_iid;
    std::vector<Sink> m_sinks;
    std::uint32_t m_nextCookie = 1;
};

// An event sink calling a function for every event it receives.
class FunctionSink : public ComObject<IDispatch> {
public:
    using Handler = std::function<void(DISPID, std::span<const Variant>)>;
    explicit FunctionSink(Handler handler) : m_handler(std::move(handler)) {}
    HRESULT GetIDOfName(std::string_view, DISPID*) override { return DISP_E_UNKNOWNNAME; }
    HRESULT Invoke(DISPID id, InvokeKind, std::span<const Variant> args, Variant*) override {
        if (m_handler)
            m_handler(id, args);
        return S_OK;
    }

private:
    Handler m_handler;
};

} // namespace kivra::platform
