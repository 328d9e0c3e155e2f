#pragma once
// CTunnelWorker: one thread that runs a tunnel's exchanges one at a time, in the order they were
// posted, and hands each result back to the UI thread as a queued call, in the same order. The
// UI thread never waits on the network; destroying the worker ends the running exchange and
// drops the results not yet delivered.

#include "chattunnel.h"

#include <QObject>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class CTunnelWorker {
public:
    explicit CTunnelWorker(std::unique_ptr<IChatTunnel> tunnel);
    ~CTunnelWorker();
    CTunnelWorker(const CTunnelWorker&) = delete;
    CTunnelWorker& operator=(const CTunnelWorker&) = delete;

    // Only what the seam allows from the UI thread (IsConnected, Abort, TakeError).
    IChatTunnel& Tunnel() { return *m_tunnel; }
    // Runs `job` on the worker thread, then `done` on the UI thread.
    void Post(std::function<void(IChatTunnel&)> job, std::function<void()> done);

private:
    void Loop();

    std::unique_ptr<IChatTunnel> m_tunnel;
    std::unique_ptr<QObject> m_receiver; // lives on the UI thread; results are queued to it
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::pair<std::function<void(IChatTunnel&)>, std::function<void()>>> m_jobs;
    bool m_stop = false;
    std::thread m_thread;
};
