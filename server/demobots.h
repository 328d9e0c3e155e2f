#pragma once

#include <QObject>
#include <QRandomGenerator>
#include <QTimer>

#include <vector>

namespace kivra::server {

class CChatServer;
struct CChatUser;

// A few residents for the demo: they talk, emote, wander between rooms, send the human visitors
// tells, links and sounds, and push ticker news, so a client shows everything it can.
class CDemoBots : public QObject {
    Q_OBJECT
public:
    CDemoBots(CChatServer& chat, int periodMs, quint32 seed, QObject* parent = nullptr);
    // One action of one bot; public so that a test can drive the bots without waiting.
    void Step();

private:
    CChatServer& m_chat;
    std::vector<CChatUser*> m_bots;
    QTimer m_timer;
    QRandomGenerator m_random;
    int m_step = 0;
};

} // namespace kivra::server
