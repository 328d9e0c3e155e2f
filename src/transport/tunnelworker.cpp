#include "tunnelworker.h"

CTunnelWorker::CTunnelWorker(std::unique_ptr<IChatTunnel> tunnel)
    : m_tunnel(std::move(tunnel)), m_receiver(std::make_unique<QObject>()) {
    m_thread = std::thread([this] { Loop(); });
}

CTunnelWorker::~CTunnelWorker() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
        m_jobs.clear();
    }
    m_tunnel->Abort();
    m_wake.notify_all();
    m_thread.join();
    // Deleting the receiver drops the results that were queued but not yet delivered.
    m_receiver.reset();
}

void CTunnelWorker::Post(std::function<void(IChatTunnel&)> job, std::function<void()> done) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_jobs.emplace_back(std::move(job), std::move(done));
    }
    m_wake.notify_one();
}

void CTunnelWorker::Loop() {
    for (;;) {
        std::function<void(IChatTunnel&)> job;
        std::function<void()> done;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stop || !m_jobs.empty(); });
            if (m_stop)
                return;
            job = std::move(m_jobs.front().first);
            done = std::move(m_jobs.front().second);
            m_jobs.pop_front();
        }
        job(*m_tunnel);
        if (done)
            QMetaObject::invokeMethod(m_receiver.get(), std::move(done), Qt::QueuedConnection);
    }
}
