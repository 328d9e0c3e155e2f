#pragma once
// The site the host gives the control: browser services, the dialog service, the bell and, when
// headless, the plain-text copy of the views on standard output.

#include "browserservices.h"
#include "razarsite.h"
#include "soundplayer.h"

#include <memory>
#include <ostream>

namespace kivra::host {

// Writes the views' text as the headless contract says: main-view text as it comes, private
// text as "[Private: NAME] TEXT" lines.
class StreamMirror : public kivra::control::IViewMirror {
public:
    // `events` takes the windows' "[pm-open]" and "[pm-close]" lines and the "[image]" lines
    // (null: none).
    explicit StreamMirror(std::ostream& out, std::ostream* events = nullptr)
        : m_out(out), m_pEvents(events) {}
    void MainText(std::string_view text) override;
    void PrivateLine(const std::string& name, std::string_view line) override;
    void PrivateWindowEvent(const std::string& name, bool open) override;
    void PictureShown(const std::string& url, int width, int height) override;

private:
    std::ostream& m_out;
    std::ostream* m_pEvents;
};

class HostSite : public kivra::control::IRazarSite {
public:
    // `mirror` may be null (GUI host). `errors` takes the bell and the headless lines.
    HostSite(BrowserServices& browser, kivra::platform::DialogService& dialogs,
             kivra::control::IViewMirror* mirror, bool headless, std::ostream& errors);

    void Navigate(const std::string& url, const std::string& frame) override;
    int DownloadToCache(const char* url, char* buffer, std::size_t size) override;
    int DownloadCancellable(const char* url, char* buffer, std::size_t size,
                            const std::atomic<bool>& cancel) override;
    kivra::platform::DialogService& Dialogs() override { return m_dialogs; }
    void Beep() override;
    void PlaySound(const std::string& name, const std::string& path) override;
    kivra::control::IViewMirror* Mirror() override { return m_pMirror; }
    void EventLine(const std::string& line) override;

private:
    BrowserServices& m_browser;
    kivra::platform::DialogService& m_dialogs;
    kivra::control::IViewMirror* m_pMirror;
    bool m_bHeadless;
    kivra::platform::CSoundPlayer m_player;
    std::ostream& m_errors;
};

} // namespace kivra::host
