// The avatar tag of the chat stream: "<user avatar=URL name=NAME ...>" in front of a say, tell or
// emote. The picture comes from the image cache; one that has to be fetched first goes, when it
// arrives, to the place in the main view where its tag stood.
#include "chatprotocol.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

constexpr std::size_t kAvatarTagLength = 13; // "<user avatar="
constexpr std::size_t kMaxAvatarUrl = 349;
constexpr std::size_t kMaxAvatarName = 99;

// Waits for one fetched avatar; holds its place in the view until it comes or is given up.
class AvatarArrival : public IPictureNotify {
public:
    AvatarArrival(IOutputView* view, std::string name) : m_pView(view), m_name(std::move(name)) {}
    ~AvatarArrival() override {
        if (m_pView && m_nPlace)
            m_pView->ForgetPicturePlace(m_nPlace);
    }
    void SetPlace(int place) { m_nPlace = place; }
    void PictureArrived(std::shared_ptr<const ChatPicture> picture) override {
        if (!m_pView || !m_nPlace)
            return;
        const int place = std::exchange(m_nPlace, 0);
        if (picture) {
            m_pView->InsertPictureAt(place, *picture, m_name);
            m_pView->FinishAppend();
        } else {
            m_pView->ForgetPicturePlace(place);
        }
    }

private:
    IOutputView* m_pView;
    std::string m_name;
    int m_nPlace = 0;
};

} // namespace

char* CChatProtocol::HandleAvatarTag(char* text, char* end) {
    m_bAvatarPending = false; // one avatar per unit
    const char* url = text + kAvatarTagLength;
    const char* blank = std::strchr(url, ' ');
    if (blank == nullptr)
        return text + 1;
    const std::string strUrl(url, std::min<std::size_t>(std::size_t(blank - url), kMaxAvatarUrl));
    const char* field = blank + 1;
    if (std::strlen(field) < 5 || !EqualsNoCase(std::string_view(field, 5), "name="))
        return end;
    const char* name = field + 5;
    const char* stop = name;
    while (*stop && *stop != ' ' && *stop != '>')
        ++stop;
    std::string strName(name, std::min<std::size_t>(std::size_t(stop - name), kMaxAvatarName));
    if (m_pOwner == nullptr || !m_pOwner->m_bShowAvatars)
        return end;

    IOutputView* main = MainView();
    // Names travel with "+" for their blanks; the view's hot spot carries the name as shown.
    std::string shown = strName;
    std::replace(shown.begin(), shown.end(), '+', ' ');
    auto arrival = std::make_shared<AvatarArrival>(main, shown);
    std::shared_ptr<const ChatPicture> picture;
    if (IImageCache* cache = m_pOwner->m_pImageCache)
        picture = cache->GetPicture(strUrl, true, true, arrival);

    if (IsWatching(strName.c_str())) {
        IUserList* users = m_pOwner->m_pUserList;
        if (const ChatPicture* marker = users ? users->WatchMarker() : nullptr) {
            if (main)
                main->InsertPlainPicture(*marker, -17);
        }
        m_bWatchMarkerShown = true;
    }
    if (main && picture)
        main->InsertPicture(*picture, shown);
    else if (main && m_pOwner->m_pImageCache)
        arrival->SetPlace(main->MarkPicturePlace());
    return end;
}
