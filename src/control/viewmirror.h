#pragma once
// Decorators that copy what the protocol object writes into the views to an IViewMirror, so a
// headless host can print the conversation. They forward every call unchanged to the real view.

#include "chatinterfaces.h"
#include "razarsite.h"

#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace kivra::control {

// Turns CR LF and lone CR into LF across chunk boundaries.
class LineEndFilter {
public:
    std::string Feed(std::string_view text);

private:
    bool m_bAfterCR = false;
};

class MirroredOutputView : public IOutputView {
public:
    // `privateName` empty: the main view; otherwise lines go out as private text of that name.
    MirroredOutputView(IOutputView& inner, IViewMirror& mirror, std::string privateName = {});

    void AppendText(const char* text, std::size_t length, std::uint32_t style) override;
    void AppendSeparator() override;
    void InsertLink(const std::string& linkText, const std::string& url) override;
    void InsertPicture(const ChatPicture& picture, const std::string& userName) override;
    void InsertPlainPicture(const ChatPicture& picture, int placement) override;
    void FinishAppend() override;
    void SetBold(bool on) override;
    void SetItalic(bool on) override;
    void SetUnderline(bool on) override;
    void SetBaseColour(ChatColor colour) override;
    bool IsAtEnd() const override;
    void ClearAll() override;

private:
    void Mirror(std::string_view text);
    void FlushPrivate();

    IOutputView& m_inner;
    IViewMirror& m_mirror;
    std::string m_strPrivateName;
    LineEndFilter m_filter;
    std::string m_strPending; // private text waiting for its line end
};

// Wraps the private-message window map so every window's view is mirrored under its name.
class MirroredPrivateWindowMap : public IPrivateWindowMap {
public:
    MirroredPrivateWindowMap(IPrivateWindowMap& inner, IViewMirror& mirror);
    ~MirroredPrivateWindowMap() override;

    IPrivateWindow* Find(const std::string& key) override;
    int OpenCount() const override;
    IPrivateWindow* Create(const std::string& name, const std::string& key) override;

private:
    class Window;
    IPrivateWindow* Wrap(IPrivateWindow* inner, const std::string& name);

    IPrivateWindowMap& m_inner;
    IViewMirror& m_mirror;
    std::map<IPrivateWindow*, std::unique_ptr<Window>> m_windows;
};

} // namespace kivra::control
