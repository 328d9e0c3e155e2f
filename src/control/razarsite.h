#pragma once
// The seam between the control and the program that embeds it. The host (our stand-in for the
// browser) gives a live control an IRazarSite before creating its window; the control reaches the
// browser, the dialogs and the bell only through it. A headless host also takes IViewMirror, the
// plain-text copy of what the views show, and drives the panel through IRazarScript.

#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kivra::platform {
class DialogService;
}

namespace kivra::control {

// What the views show, as plain text (line ends already made LF).
class IViewMirror {
public:
    virtual ~IViewMirror() = default;
    virtual void MainText(std::string_view text) = 0;
    virtual void PrivateLine(const std::string& name, std::string_view line) = 0;
    // A private-message window for `name` (display name) opened or closed.
    virtual void PrivateWindowEvent(const std::string& /*name*/, bool /*open*/) {}
    // A picture fetched from `url` went into a view at this size.
    virtual void PictureShown(const std::string& /*url*/, int /*width*/, int /*height*/) {}
};

class IRazarSite {
public:
    virtual ~IRazarSite() = default;
    // Opens `url` in the browser frame `frame`.
    virtual void Navigate(const std::string& url, const std::string& frame) = 0;
    // Fetches `url` into the cache folder and writes the local file name (zero-terminated) into
    // `buffer`. 0 on success; -1 when both url and buffer are absent; another negative value when
    // the download fails or the name does not fit.
    virtual int DownloadToCache(const char* url, char* buffer, std::size_t size) = 0;
    // The same, called from a worker thread: gives up soon after `cancel` becomes true. A site
    // that cannot give up early answers as DownloadToCache does.
    virtual int DownloadCancellable(const char* url, char* buffer, std::size_t size,
                                    const std::atomic<bool>& /*cancel*/) {
        return DownloadToCache(url, buffer, size);
    }
    virtual kivra::platform::DialogService& Dialogs() = 0;
    virtual void Beep() = 0;
    // Plays the sound `name` from its checked file `path`.
    virtual void PlaySound(const std::string& /*name*/, const std::string& /*path*/) {}
    // Null when nobody wants the text copy.
    virtual IViewMirror* Mirror() = 0;
    // One event line of the headless contract ("[ticker] TEXT"), without its line end; a host
    // with a display has no use for it.
    virtual void EventLine(const std::string& /*line*/) {}
};

// Script access to a live control's panel (the headless host's standard input).
class IRazarScript {
public:
    virtual ~IRazarScript() = default;
    // A line typed into the input line and sent as Enter does. False when the input line does
    // not exist.
    virtual bool TypeLine(const std::string& text) = 0;
    // The Emote (true) or Think (false) button with this text in the input line.
    virtual bool TypeStyledLine(const std::string& text, bool emote) = 0;
    // Runs a panel command id as its button or menu item does.
    virtual void RunCommand(int id) = 0;
    // Sets the user-list selection; empty clears it. False when there is no user list.
    virtual bool SelectUsers(const std::vector<std::string>& names) = 0;
    // Whether there is an output view to save.
    virtual bool CanSaveTranscript() const = 0;
    // The output view's "Save To File"; the file name comes from the dialog service. False when
    // there is no output view.
    virtual bool SaveTranscript() = 0;
    // Types `text` into the private-message window of `name` and presses Send; false when no
    // such window is open.
    virtual bool TypePrivate(const std::string& /*name*/, const std::string& /*text*/) {
        return false;
    }
    // Presses button `id` in the private-message window of `name`; false without that window
    // or button.
    virtual bool PressPrivateButton(const std::string& /*name*/, int /*id*/) { return false; }
    // The lines of `!dump WHAT` (without the closing line); false when WHAT is not known.
    virtual bool Dump(const std::string& /*what*/, std::vector<std::string>& /*lines*/) {
        return false;
    }
    // Selects `word` in the emotions list (empty: none); false when the list has no such word.
    virtual bool SelectEmotion(const std::string& /*word*/) { return false; }
    // Selects `word` and double-clicks it; false when the list has no such word.
    virtual bool PerformEmotion(const std::string& /*word*/) { return false; }
};

} // namespace kivra::control
