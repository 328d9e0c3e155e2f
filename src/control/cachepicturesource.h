#pragma once
// The ticker asks for a picture again and again until it can show it; the image cache answers
// once, through a notification, when a fetch ends. This adapter remembers how each fetch ended,
// so the ticker learns "not yet", "here it is" or "that failed" without asking the cache to
// fetch the same address on every tick.

#include "chatinterfaces.h"
#include "chatpicture.h"

#include <map>
#include <memory>
#include <string>

class CCachePictureSource : public IPictureSource {
public:
    explicit CCachePictureSource(IImageCache& cache) : m_cache(cache) {}
    State GetPicture(const std::string& url, ChatPicture& picture) override;

private:
    struct Fetch : IPictureNotify {
        bool done = false;
        bool arrived = false;
        void PictureArrived(std::shared_ptr<const ChatPicture> picture) override {
            done = true;
            arrived = picture != nullptr;
        }
    };
    IImageCache& m_cache;
    std::map<std::string, std::shared_ptr<Fetch>> m_fetches; // by address, while one is out
};
