#include "cachepicturesource.h"

IPictureSource::State CCachePictureSource::GetPicture(const std::string& url,
                                                      ChatPicture& picture) {
    const auto it = m_fetches.find(url);
    if (it != m_fetches.end()) {
        if (!it->second->done)
            return State::Pending;
        const bool arrived = it->second->arrived;
        m_fetches.erase(it);
        if (!arrived)
            return State::Failed;
        // Arrived and kept: the cache below hands it out.
    }
    auto fetch = std::make_shared<Fetch>();
    if (const auto kept = m_cache.GetPicture(url, true, true, fetch)) {
        picture = *kept;
        return State::Ready;
    }
    if (fetch->done && !fetch->arrived)
        return State::Failed; // refused at once (an address the cache never fetches)
    m_fetches[url] = std::move(fetch);
    return State::Pending;
}
