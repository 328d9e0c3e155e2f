#include "viewmirror.h"

namespace kivra::control {

std::string LineEndFilter::Feed(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\n' && m_bAfterCR) {
            m_bAfterCR = false; // the LF of a CR LF already written
            continue;
        }
        m_bAfterCR = c == '\r';
        out.push_back(c == '\r' ? '\n' : c);
    }
    return out;
}

MirroredOutputView::MirroredOutputView(IOutputView& inner, IViewMirror& mirror,
                                       std::string privateName)
    : m_inner(inner), m_mirror(mirror), m_strPrivateName(std::move(privateName)) {}

void MirroredOutputView::Mirror(std::string_view text) {
    const std::string plain = m_filter.Feed(text);
    if (m_strPrivateName.empty()) {
        if (!plain.empty())
            m_mirror.MainText(plain);
        return;
    }
    m_strPending += plain;
    std::size_t start = 0;
    for (std::size_t nl = m_strPending.find('\n'); nl != std::string::npos;
         nl = m_strPending.find('\n', start)) {
        m_mirror.PrivateLine(m_strPrivateName,
                             std::string_view(m_strPending).substr(start, nl - start));
        start = nl + 1;
    }
    m_strPending.erase(0, start);
}

void MirroredOutputView::FlushPrivate() {
    if (m_strPrivateName.empty() || m_strPending.empty())
        return;
    m_mirror.PrivateLine(m_strPrivateName, m_strPending);
    m_strPending.clear();
}

void MirroredOutputView::AppendText(const char* text, std::size_t length, std::uint32_t style) {
    m_inner.AppendText(text, length, style);
    if (text != nullptr)
        Mirror(std::string_view(text, length));
}
void MirroredOutputView::AppendSeparator() {
    m_inner.AppendSeparator();
}
void MirroredOutputView::InsertLink(const std::string& linkText, const std::string& url) {
    m_inner.InsertLink(linkText, url);
    Mirror(linkText);
}
void MirroredOutputView::InsertPicture(const ChatPicture& picture, const std::string& userName) {
    m_inner.InsertPicture(picture, userName);
}
void MirroredOutputView::InsertPlainPicture(const ChatPicture& picture, int placement) {
    m_inner.InsertPlainPicture(picture, placement);
}
void MirroredOutputView::FinishAppend() {
    m_inner.FinishAppend();
    // A unit is complete here; a private text without its own line end is still one line.
    FlushPrivate();
}
void MirroredOutputView::SetBold(bool on) {
    m_inner.SetBold(on);
}
void MirroredOutputView::SetItalic(bool on) {
    m_inner.SetItalic(on);
}
void MirroredOutputView::SetUnderline(bool on) {
    m_inner.SetUnderline(on);
}
void MirroredOutputView::SetBaseColour(ChatColor colour) {
    m_inner.SetBaseColour(colour);
}
bool MirroredOutputView::IsAtEnd() const {
    return m_inner.IsAtEnd();
}
void MirroredOutputView::ClearAll() {
    m_inner.ClearAll();
}

class MirroredPrivateWindowMap::Window : public IPrivateWindow {
public:
    Window(IPrivateWindow& inner, IViewMirror& mirror, const std::string& name)
        : m_inner(inner), m_mirror(mirror), m_name(name) {}
    void SetUnitKind(int kind) override { m_inner.SetUnitKind(kind); }
    void BringUp(bool ownEcho) override { m_inner.BringUp(ownEcho); }
    IOutputView* View() override {
        IOutputView* view = m_inner.View();
        if (view == nullptr)
            return nullptr;
        if (m_view == nullptr || m_pViewSeen != view) {
            m_view = std::make_unique<MirroredOutputView>(*view, m_mirror, m_name);
            m_pViewSeen = view;
        }
        return m_view.get();
    }
    IPrivateWindow& m_inner;

private:
    IViewMirror& m_mirror;
    std::string m_name;
    IOutputView* m_pViewSeen = nullptr;
    std::unique_ptr<MirroredOutputView> m_view;
};

MirroredPrivateWindowMap::MirroredPrivateWindowMap(IPrivateWindowMap& inner, IViewMirror& mirror)
    : m_inner(inner), m_mirror(mirror) {}

IPrivateWindow* MirroredPrivateWindowMap::Wrap(IPrivateWindow* inner, const std::string& name) {
    if (inner == nullptr)
        return nullptr;
    auto it = m_windows.find(inner);
    if (it == m_windows.end())
        it = m_windows.emplace(inner, std::make_unique<Window>(*inner, m_mirror, name)).first;
    return it->second.get();
}

IPrivateWindow* MirroredPrivateWindowMap::Find(const std::string& key) {
    // A window opened elsewhere (from the user list) is known only by its key; the key is the
    // name with blanks as "+", so that is turned back for the label.
    std::string name = key;
    for (char& c : name) {
        if (c == '+')
            c = ' ';
    }
    return Wrap(m_inner.Find(key), name);
}

MirroredPrivateWindowMap::~MirroredPrivateWindowMap() = default;

int MirroredPrivateWindowMap::OpenCount() const {
    return m_inner.OpenCount();
}

IPrivateWindow* MirroredPrivateWindowMap::Create(const std::string& name, const std::string& key) {
    IPrivateWindow* inner = m_inner.Create(name, key);
    if (inner != nullptr)
        m_windows.erase(inner); // a new window may reuse a closed one's address
    return Wrap(inner, name);
}

} // namespace kivra::control
