#include "demobots.h"

#include "chatserver.h"

namespace kivra::server {

namespace {

const char* const kLines[] = {
    "Good to see you all!",
    "Has anyone tried the tea in the Tea House?",
    "The roses in the garden are blooming.",
    "I'm reading a <b>wonderful</b> book about lighthouses.",
    "Did you know you can right-click a name to follow or ignore someone?",
    "Type <i>help</i> if you are lost.",
};
const char* const kEmotes[] = {
    "stretches and yawns.",
    "pours a cup of tea.",
    "hums a little tune.",
    "looks out of the window.",
};

} // namespace

CDemoBots::CDemoBots(CChatServer& chat, int periodMs, quint32 seed, QObject* parent)
    : QObject(parent), m_chat(chat), m_random(seed) {
    const char* names[][2] = {{"Ada", "Lobby"}, {"Milo", "Lobby"}, {"Rosa Lind", "Garden"}};
    for (const auto& n : names) {
        if (CChatUser* bot = m_chat.AddBot(n[0], n[1]))
            m_bots.push_back(bot);
    }
    // A visitor is greeted in private at once, so the first thing a new client shows is a
    // conversation window beside the room.
    connect(&m_chat, &CChatServer::humanArrived, this, [this](CChatUser* visitor) {
        if (!m_bots.empty())
            m_chat.Tell(m_bots.front(), visitor->Wire(),
                        "Hello " + visitor->name + ", welcome! Tell me anything.");
    });
    connect(&m_timer, &QTimer::timeout, this, &CDemoBots::Step);
    if (periodMs > 0)
        m_timer.start(periodMs);
}

void CDemoBots::Step() {
    if (m_bots.empty())
        return;
    CChatUser* bot = m_bots[m_random.bounded(static_cast<quint32>(m_bots.size()))];
    const std::string base = m_chat.HttpBase();
    const auto humans = m_chat.Humans();
    switch (m_step++ % 8) {
    case 0:
    case 4:
        m_chat.Say(bot, kLines[m_random.bounded(static_cast<quint32>(std::size(kLines)))]);
        break;
    case 1:
        m_chat.Emote(bot, kEmotes[m_random.bounded(static_cast<quint32>(std::size(kEmotes)))]);
        break;
    case 2:
        for (CChatUser* h : humans)
            m_chat.Tell(bot, h->Wire(), "Hello " + h->name + ", welcome! Tell me anything.");
        break;
    case 3:
        if (!base.empty())
            m_chat.Say(bot, "Here is the map: <a href=" + base + "/map.html>world map</a>");
        break;
    case 5:
        m_chat.Say(bot, "Listen! <snd=chime>(Chime)");
        break;
    case 6: {
        const auto rooms = m_chat.RoomNames();
        m_chat.MoveTo(bot, rooms[m_random.bounded(static_cast<quint32>(rooms.size()))]);
        break;
    }
    default:
        m_chat.PushTicker();
        break;
    }
}

} // namespace kivra::server
