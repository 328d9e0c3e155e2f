#include "hostsite.h"

#include <QApplication>
#include <filesystem>

namespace kivra::host {

void StreamMirror::MainText(std::string_view text) {
    m_out << text;
    m_out.flush();
}

void StreamMirror::PrivateLine(const std::string& name, std::string_view line) {
    m_out << "[Private: " << name << "] " << line << '\n';
    m_out.flush();
}

void StreamMirror::PrivateWindowEvent(const std::string& name, bool open) {
    if (m_pEvents == nullptr)
        return;
    *m_pEvents << (open ? "[pm-open] " : "[pm-close] ") << name << std::endl;
}

void StreamMirror::PictureShown(const std::string& url, int width, int height) {
    if (m_pEvents != nullptr)
        *m_pEvents << "[image] " << url << ' ' << width << 'x' << height << std::endl;
}

HostSite::HostSite(BrowserServices& browser, kivra::platform::DialogService& dialogs,
                   kivra::control::IViewMirror* mirror, bool headless, std::ostream& errors)
    : m_browser(browser), m_dialogs(dialogs), m_pMirror(mirror), m_bHeadless(headless),
      m_errors(errors) {}

void HostSite::Navigate(const std::string& url, const std::string& frame) {
    m_browser.Navigate(url, frame);
}

int HostSite::DownloadToCache(const char* url, char* buffer, std::size_t size) {
    return m_browser.DownloadToCache(url, buffer, size);
}

void HostSite::EventLine(const std::string& line) {
    if (m_bHeadless)
        m_errors << line << std::endl;
}

int HostSite::DownloadCancellable(const char* url, char* buffer, std::size_t size,
                                  const std::atomic<bool>& cancel) {
    return m_browser.DownloadToCache(url, buffer, size, &cancel);
}

void HostSite::PlaySound(const std::string& name, const std::string& path) {
    if (!m_bHeadless) {
        m_player.Play(path);
        return;
    }
    // A missing file gives the default sound, as the player does.
    std::error_code ec;
    if (std::filesystem::is_regular_file(path, ec))
        m_errors << "[sound] " << name << std::endl;
    else
        m_errors << "[beep]" << std::endl;
}

void HostSite::Beep() {
    if (m_bHeadless) {
        m_errors << "[beep]" << std::endl;
        return;
    }
    QApplication::beep();
}

} // namespace kivra::host
