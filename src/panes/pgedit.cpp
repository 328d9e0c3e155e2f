#include "pgedit.h"

#include "codepage.h"
#include "dialogservice.h"
#include "menuitem.h"
#include "useractions.h"

#include <QContextMenuEvent>
#include <QFontInfo>
#include <QMenu>
#include <QMouseEvent>
#include <QSaveFile>
#include <QScrollBar>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

namespace {

constexpr ChatColor kOlive = 0x008080;
constexpr ChatColor kTeal = 0x808000;
constexpr ChatColor kRed = 0x0000FF;
constexpr ChatColor kGrey = 0x808080;
constexpr ChatColor kGreen = 0x008000;
const char kSeparatorLine[] = "___________________________________________\r\n";

QString Wire(const std::string& s) {
    return kivra::platform::FromWire(s);
}

} // namespace

CPGEdit::CPGEdit(CChatContext& context, IViewCommands& commands,
                 kivra::platform::DialogService& dialogs, int kind, QWidget* parent, int controlId)
    : RichTextView(parent, controlId), m_context(context), m_commands(commands), m_dialogs(dialogs),
      m_nKind(kind == KIND_PRIVATE ? KIND_PRIVATE : KIND_MAIN) {
    RegisterClass(QStringLiteral("Times New Roman"));
    SendMessage(RTV_SETFLAGS, 0, 0x2610);
    SendMessage(RTV_SETATTRIBUTES, 0, 0x21E00);
    std::int32_t margins[4] = {20, 0, 10, 0};
    SendMessage(RTV_SETMARGINS, 0, Ptr(margins));
    m_font = QFont(QStringLiteral("Arial"));
    m_font.setPointSizeF(10.0);
    setMouseTracking(true);
    viewport()->setMouseTracking(true);
    // A user scroll marks the caret as moved and holds the view where the user put it.
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this, [this](int action) {
        m_bCaretMoved = true;
        if (action != QAbstractSlider::SliderNoAction)
            SetScrollHold(true);
    });
}

CPGEdit::~CPGEdit() {
    m_names.clear();
    m_links.clear();
    UnregisterClass();
}

bool CPGEdit::ScrollHold() const {
    return (m_nKind == KIND_MAIN ? m_context.m_nScrollHold : m_nOwnScrollHold) != 0;
}

void CPGEdit::SetScrollHold(bool on) {
    (m_nKind == KIND_MAIN ? m_context.m_nScrollHold : m_nOwnScrollHold) = on ? 1 : 0;
}

void CPGEdit::MoveToEndIfMoved() {
    if (!m_bCaretMoved)
        return;
    Send(RTV_MOVECARET, RTV_CARET_DOC_END, 0);
    m_bCaretMoved = false;
}

bool CPGEdit::IsAtEnd() const {
    std::int32_t pos[2] = {0, 0};
    auto* self = const_cast<CPGEdit*>(this);
    self->SendMessage(RTV_GETSCROLLPOS, 0, Ptr(pos));
    const auto height = self->SendMessage(RTV_GETHEIGHT, 0, 0);
    return viewport()->height() + pos[0] >= height;
}

void CPGEdit::AppendText(const char* text, std::size_t length, std::uint32_t code) {
    if (!text || length == 0)
        return;
    const std::string_view whole(text, length);
    // A text longer than the view holds shows only its end: its head would be trimmed anyway,
    // and the engine lays out a paragraph again on every insertion into it, so a line that
    // never ends must not grow the document past twice the limit before the next trim.
    if (length > std::size_t(kTrimLimit)) {
        text += length - std::size_t(kTrimLimit);
        length = std::size_t(kTrimLimit);
    }
    while (Document().TextSize() + int(length) > 2 * kTrimLimit)
        Document().DeleteRange(0, Document().TextSize() / 2, false);
    MoveToEndIfMoved();
    // Whether the user left the view at its end is decided before the new text lengthens it.
    const bool wasAtEnd = IsAtEnd();

    ChatColor colour = m_nBaseColour;
    std::uint32_t style = m_nBaseStyle;
    switch (code & 0xFF) {
    case 2:
        style |= RTV_BOLD;
        break;
    case 4:
    case 128:
        colour = kOlive;
        break;
    case 8:
        colour = kTeal;
        style |= RTV_UNDERLINE;
        break;
    case 16:
        colour = kRed;
        style |= RTV_BOLD;
        break;
    case 32:
        colour = kGrey;
        break;
    case 64:
        colour = kGreen;
        break;
    default:
        break;
    }
    if (code & 0x100)
        style |= RTV_BOLD;
    if (code & 0x200)
        style |= RTV_ITALIC;
    if (code & 0x400)
        style |= RTV_UNDERLINE;

    // The style message turns bits over, so clear first and then set what is wanted.
    Send(RTV_SETCOLOR, 0, colour);
    Send(RTV_SETSTYLE, 1, 0);
    if (style)
        Send(RTV_SETSTYLE, 0, style);
    const std::string copy(text, length);
    RtvCountedText counted{std::int32_t(std::min<std::size_t>(length, INT32_MAX)), copy.c_str()};
    Send(RTV_INSERTTEXT, 0, Ptr(&counted));
    if (wasAtEnd || IsAtEnd()) {
        SetScrollHold(false);
        Document().ScrollTo(-1, false);
    }
    Send(RTV_UPDATE, 0, 1);
    emit textAppended(kivra::platform::FromWire(whole));
}

void CPGEdit::AppendSeparator() {
    AppendText("\r\n", 2, 1);
    AppendText(kSeparatorLine, std::strlen(kSeparatorLine), 1);
}

void CPGEdit::FinishAppend() {
    const bool hold = ScrollHold();
    if (!hold)
        Document().ScrollTo(-1, false);
    if (Document().TextSize() > kTrimLimit) {
        // Halved until within the limit: once is enough unless one line was longer than it.
        while (Document().TextSize() > kTrimLimit) {
            const int half = Document().TextSize() / 2;
            // A picture whose place is trimmed away is not shown when it arrives.
            std::erase_if(m_places, [half](const auto& p) { return p.second.position() < half; });
            Document().DeleteRange(0, half, false);
        }
        Send(RTV_UPDATE, 0, 1);
        Send(RTV_MOVECARET, RTV_CARET_DOC_END, 0);
        if (!hold) {
            Document().ScrollTo(0, false);
            Document().ScrollTo(-1, false);
        }
    }
    Send(RTV_UPDATE, 0, 1);
    Document().CaretUpdate(true);
}

void CPGEdit::BeginBatch() {
    BeginDeferredLayout();
}

void CPGEdit::EndBatch() {
    EndDeferredLayout();
    if (LayoutDeferred())
        return;
    // Laid out at last: follow the end now unless the user holds the view.
    if (!ScrollHold())
        Document().ScrollTo(-1, false);
    Send(RTV_UPDATE, 0, 1);
}

void CPGEdit::SetBold(bool on) {
    m_nPrevBaseStyle = m_nBaseStyle;
    m_nBaseStyle = on ? (m_nBaseStyle | RTV_BOLD) : (m_nBaseStyle & ~RTV_BOLD);
}

void CPGEdit::SetItalic(bool on) {
    m_nPrevBaseStyle = m_nBaseStyle;
    m_nBaseStyle = on ? (m_nBaseStyle | RTV_ITALIC) : (m_nBaseStyle & ~RTV_ITALIC);
}

void CPGEdit::SetUnderline(bool on) {
    m_nPrevBaseStyle = m_nBaseStyle;
    m_nBaseStyle = on ? (m_nBaseStyle | RTV_UNDERLINE) : (m_nBaseStyle & ~RTV_UNDERLINE);
}

void CPGEdit::SetBaseColour(ChatColor colour) {
    m_nBaseColour = colour & 0x00FFFFFF;
}

CViewEntry* CPGEdit::AddEntry(std::list<CViewEntry>& list, const std::string& text) {
    for (CViewEntry& e : list)
        if (e.m_strText == text) {
            ++e.m_nCount;
            return &e;
        }
    list.push_back(CViewEntry{1, text});
    return &list.back();
}

void CPGEdit::ReleaseEntry(std::list<CViewEntry>& list, std::uintptr_t entry) {
    for (auto it = list.begin(); it != list.end(); ++it)
        if (reinterpret_cast<std::uintptr_t>(&*it) == entry) {
            if (--it->m_nCount <= 0)
                list.erase(it);
            return;
        }
}

void CPGEdit::OnItemDiscarded(const RtvItem& item) {
    if (item.kind == ITEM_PICTURE)
        ReleaseEntry(m_names, item.reference);
    else if (item.kind == ITEM_LINK) {
        ReleaseEntry(m_links, item.reference);
        m_shownLinks.erase(item.item);
    }
}

void CPGEdit::InsertLink(const std::string& linkText, const std::string& url) {
    MoveToEndIfMoved();
    CViewEntry* entry = AddEntry(m_links, url);
    // A link without a label would be invisible and unclickable; it shows its address.
    const std::string shown = linkText.empty() ? url : linkText;

    RtvItem rec{};
    rec.type = RTV_ITEM_TEXT;
    rec.kind = ITEM_LINK;
    rec.reference = reinterpret_cast<std::uintptr_t>(entry);
    rec.data = reinterpret_cast<std::uintptr_t>(shown.c_str());
    rec.owner = reinterpret_cast<std::uintptr_t>(this);
    std::int32_t sel[2] = {0, 0};
    Send(RTV_GETSEL, 0, Ptr(sel));
    rec.position = sel[0];

    const auto style = std::uint32_t(Send(RTV_GETSTYLE));
    const auto colour = Send(RTV_GETCOLOR);
    Send(RTV_SETSTYLE, 1, 0);
    Send(RTV_SETSTYLE, 1, style | RTV_UNDERLINE);
    Send(RTV_SETCOLOR, 1, kTeal);
    Send(RTV_INSERTITEM, 1, Ptr(&rec));
    Send(RTV_SETSTYLE, 1, 0);
    if (style)
        Send(RTV_SETSTYLE, 1, style);
    Send(RTV_SETCOLOR, 1, colour);
    if (rec.item == 0) {
        ReleaseEntry(m_links, rec.reference);
        return;
    }
    Send(RTV_ATTACHITEM, 0, Ptr(&rec));
    m_shownLinks.emplace(rec.item, std::make_pair(url, shown));
    emit textAppended(Wire(shown));
}

void CPGEdit::InsertImage(const ChatPicture& picture, std::uint32_t kind, std::uintptr_t reference,
                          int layout1, int position) {
    const int w = std::abs(picture.width);
    const int h = std::abs(picture.height);
    RtvItem rec{};
    QImage image;
    // The record's sizes are 16 bits wide; a picture that cannot be described is not shown.
    if (w > 0 && h > 0 && w <= 0xFFFF && h <= 0xFFFF &&
        picture.pixels.size() >= std::size_t(w) * std::size_t(h)) {
        image = QImage(w, h, QImage::Format_Indexed8);
        QList<QRgb> table(256);
        for (int i = 0; i < 256; ++i) {
            const ChatColor c = picture.palette[std::size_t(i)];
            table[i] = qRgb(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
        }
        image.setColorTable(table);
        for (int y = 0; y < h; ++y)
            std::memcpy(image.scanLine(y), picture.pixels.data() + std::size_t(y) * std::size_t(w),
                        std::size_t(w));
    }
    rec.type = RTV_ITEM_PICTURE;
    rec.width = std::uint16_t(w);
    rec.width2 = std::uint16_t(w);
    rec.height = std::uint16_t(h);
    rec.layout1 = std::uint16_t(layout1);
    rec.layout2 = 4;
    rec.data = image.isNull() ? 0 : reinterpret_cast<std::uintptr_t>(&image);
    rec.kind = kind;
    rec.reference = reference;
    rec.owner = reinterpret_cast<std::uintptr_t>(this);
    std::int32_t sel[2] = {0, 0};
    Send(RTV_GETSEL, 0, Ptr(sel));
    rec.position = position < 0 ? sel[0] : position;
    Send(RTV_INSERTITEM, 1, Ptr(&rec));
    if (rec.item == 0 && kind == ITEM_PICTURE)
        ReleaseEntry(m_names, reference);
    if (rec.item != 0 && !picture.source.empty())
        emit pictureInserted(
            QByteArray::fromRawData(picture.source.data(), qsizetype(picture.source.size())), w, h);
}

int CPGEdit::MarkPicturePlace() {
    QTextCursor place(document());
    place.setPosition(std::clamp(Document().TextSize(), 0, document()->characterCount() - 1));
    // Text appended at the place goes behind it: the place stays where its tag stood.
    place.setKeepPositionOnInsert(true);
    const int id = m_nNextPlace++;
    m_places.emplace(id, place);
    return id;
}

void CPGEdit::InsertPictureAt(int place, const ChatPicture& picture, const std::string& userName) {
    const auto it = m_places.find(place);
    if (it == m_places.end())
        return;
    const int position = it->second.position();
    m_places.erase(it);
    CViewEntry* entry = AddEntry(m_names, userName);
    InsertImage(picture, ITEM_PICTURE, reinterpret_cast<std::uintptr_t>(entry), 2, position);
}

void CPGEdit::ForgetPicturePlace(int place) {
    m_places.erase(place);
}

void CPGEdit::InsertPicture(const ChatPicture& picture, const std::string& userName) {
    MoveToEndIfMoved();
    CViewEntry* entry = AddEntry(m_names, userName);
    InsertImage(picture, ITEM_PICTURE, reinterpret_cast<std::uintptr_t>(entry), 2);
}

void CPGEdit::InsertPlainPicture(const ChatPicture& picture, int placement) {
    MoveToEndIfMoved();
    InsertImage(picture, 0, 0, placement + 2);
}

void CPGEdit::ClearAll() {
    Document().DeleteRange(0, Document().TextSize(), true);
    m_names.clear();
    m_links.clear();
    m_places.clear();
    Send(RTV_MOVECARET, RTV_CARET_DOC_END, 0);
    Send(RTV_UPDATE, 0, 1);
}

void CPGEdit::SetEngineFont(const QFont& font, bool toExisting) {
    RtvLogFont lf{};
    lf.lfHeight = -int(std::lround(font.pointSizeF() * 96.0 / 72.0));
    lf.lfWeight = 400;
    const QByteArray face =
        kivra::platform::ToWire(font.family()).left(qsizetype(sizeof(lf.lfFaceName) - 1));
    std::memcpy(lf.lfFaceName, face.constData(), std::size_t(face.size()));
    Send(RTV_SETFONT, toExisting ? 1 : 0, Ptr(&lf));
}

void CPGEdit::ApplyFontSettings(bool toExisting) {
    std::string size = "200";
    std::string family = "Arial";
    if (m_context.m_pSettings) {
        size = m_context.m_pSettings->GetProfileString(Section(), "Font Size", "200");
        family = m_context.m_pSettings->GetProfileString(Section(), "Font Family", "Arial");
    }
    // Twice the size in tenths of a point; a value that gives no size keeps 10 points.
    int tenths = std::atoi(size.c_str()) / 2;
    if (tenths <= 0 || tenths > 10000)
        tenths = 100;
    QFont font(family.empty() ? QStringLiteral("Arial") : Wire(family));
    font.setPointSizeF(tenths / 10.0);
    m_font = font;
    SetEngineFont(m_font, toExisting);
}

QFont CPGEdit::CurrentFont() const {
    // The family the text is drawn in: "Arial" is an alias the font configuration resolves, and
    // the font dialog lists only real families.
    QFont shown(QFontInfo(m_font).family());
    shown.setPointSizeF(m_font.pointSizeF());
    return shown;
}

bool CPGEdit::HotSpotAt(const QPoint& pos, RtvItem* item) const {
    auto* self = const_cast<CPGEdit*>(this);
    const std::intptr_t lParam =
        std::intptr_t((std::uint32_t(std::uint16_t(pos.y())) << 16) | std::uint16_t(pos.x()));
    const auto id = self->SendMessage(RTV_HITTEST, 0, lParam);
    if (id == 0 || self->SendMessage(RTV_GETITEM, std::uintptr_t(id), Ptr(item)) == 0)
        return false;
    // Inline pictures are embedded items too, but carry no hot spot.
    return item->kind == ITEM_PICTURE || item->kind == ITEM_LINK || item->kind == ITEM_USERNAME;
}

std::string CPGEdit::NormaliseUrl(const std::string& url) {
    std::string out = url;
    // A quoted href opens the address inside its quotes.
    if (out.size() >= 2 && (out.front() == '"' || out.front() == '\'') && out.back() == out.front())
        out = out.substr(1, out.size() - 2);
    if (out.empty())
        return {};
    const auto lower = [&out](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to && i < out.size(); ++i)
            out[i] = char(std::tolower(static_cast<unsigned char>(out[i])));
    };
    // Only the scheme and the host are case-blind; a path keeps its case.
    std::size_t host = 0;
    const std::size_t colon = out.find(':');
    const bool hasScheme =
        colon != std::string::npos && colon > 0 &&
        std::isalpha(static_cast<unsigned char>(out[0])) &&
        out.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUV"
                              "WXYZ0123456789+.-") == colon &&
        !std::isdigit(static_cast<unsigned char>(colon + 1 < out.size() ? out[colon + 1] : '0'));
    if (hasScheme) {
        lower(0, colon);
        const std::string scheme = out.substr(0, colon);
        if (scheme == "mailto")
            return out.size() > 7 ? out : std::string();
        // Anything but a web address (javascript:, file:, data: ...) is not opened from a click.
        if ((scheme != "http" && scheme != "https") || out.compare(colon, 3, "://") != 0)
            return {};
        host = colon + 3;
    }
    lower(host, out.find_first_of("/?#", host));
    if (!hasScheme)
        out = "http://" + out;
    return out.size() > 7 ? out : std::string();
}

std::vector<std::string> CPGEdit::DumpLinks() const {
    std::vector<std::string> lines;
    for (const auto& [item, link] : m_shownLinks)
        lines.push_back("[link] " + link.first + " " + link.second);
    return lines;
}

std::string CPGEdit::ItemName(const RtvItem& item) const {
    if (item.kind == ITEM_USERNAME)
        return std::string(item.text, strnlen(item.text, sizeof(item.text)));
    if (item.kind == ITEM_PICTURE && item.reference)
        for (const CViewEntry& e : m_names)
            if (reinterpret_cast<std::uintptr_t>(&e) == item.reference)
                return e.m_strText;
    return {};
}

bool CPGEdit::IsOwnName(const std::string& name) const {
    return CUserActions(m_context, m_commands).IsOwnName(name);
}

void CPGEdit::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_bCaretMoved = true;
        RtvItem item{};
        if (HotSpotAt(event->position().toPoint(), &item)) {
            if (item.kind == ITEM_LINK) {
                for (const CViewEntry& e : m_links)
                    if (reinterpret_cast<std::uintptr_t>(&e) == item.reference) {
                        const std::string url = NormaliseUrl(e.m_strText);
                        if (!url.empty() && m_context.m_pPanel)
                            m_context.m_pPanel->Navigate(url, "kivranewwindow");
                        break;
                    }
            } else if (item.kind == ITEM_USERNAME) {
                const std::string name = ItemName(item);
                if (!name.empty() && !IsOwnName(name) && m_context.m_pUserList) {
                    m_context.m_pUserList->SelectOnly(name);
                    m_context.m_pUserList->StartPrivateMessage();
                }
            }
        }
    }
    if (event->button() == Qt::RightButton)
        return; // the context menu event does the right button's work
    RichTextView::mousePressEvent(event);
}

void CPGEdit::mouseDoubleClickEvent(QMouseEvent* event) {
    m_bCaretMoved = true;
    RtvItem item{};
    if (event->button() == Qt::LeftButton && HotSpotAt(event->position().toPoint(), &item) &&
        item.kind == ITEM_PICTURE) {
        const std::string name = ItemName(item);
        if (!name.empty() && !IsOwnName(name) && m_context.m_pUserList) {
            m_context.m_pUserList->SelectOnly(name);
            m_context.m_pUserList->StartPrivateMessage();
        }
    }
    RichTextView::mouseDoubleClickEvent(event);
}

void CPGEdit::mouseMoveEvent(QMouseEvent* event) {
    RtvItem item{};
    viewport()->setCursor(HotSpotAt(event->position().toPoint(), &item) ? Qt::PointingHandCursor
                                                                        : Qt::IBeamCursor);
    RichTextView::mouseMoveEvent(event);
}

void CPGEdit::keyPressEvent(QKeyEvent* event) {
    // Read-only: typed characters go nowhere; copying and scrolling keys still work.
    RichTextView::keyPressEvent(event);
}

void CPGEdit::contextMenuEvent(QContextMenuEvent* event) {
    if (QMenu* menu = MenuAt(event->pos(), this))
        ShowMenu(menu, event->globalPos());
}

QMenu* CPGEdit::MenuAt(const QPoint& pos, QWidget* parent) {
    RtvItem item{};
    if (!HotSpotAt(pos, &item))
        return BuildDisplayMenu(parent);
    if (item.kind != ITEM_PICTURE && item.kind != ITEM_USERNAME)
        return nullptr;
    const std::string name = ItemName(item);
    if (name.empty() || IsOwnName(name) || !m_context.m_pUserList ||
        !m_context.m_pUserList->Contains(name))
        return nullptr;
    m_context.m_pUserList->SelectOnly(name);
    return BuildUserMenu(name, parent);
}

void CPGEdit::ShowMenu(QMenu* menu, const QPoint& globalPos) {
    QAction* chosen = menu->exec(globalPos);
    const int id = chosen ? chosen->data().toInt() : 0;
    delete menu;
    if (id)
        OnCommand(id);
}

QMenu* CPGEdit::BuildDisplayMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    const bool connected = m_commands.IsConnected();
    AddMenuItem(menu, QStringLiteral("Clear All"), ID_CLEAR_ALL);
    AddMenuItem(menu, QStringLiteral("Font..."), ID_FONT);
    menu->addSeparator();
    QAction* sound =
        AddMenuItem(menu, QStringLiteral("Sound On Incoming Message"), ID_SOUND_INCOMING);
    sound->setCheckable(true);
    sound->setChecked(m_nKind == KIND_MAIN ? m_context.m_bMonitor : m_context.m_bSoundPM);
    AddMenuItem(menu, QStringLiteral("Save To File"), ID_SAVE_TO_FILE);
    if (m_nKind == KIND_MAIN) {
        AddMenuItem(menu, QStringLiteral("Who's Online Now"), ID_WHOS_ONLINE, connected);
        AddMenuItem(menu, QStringLiteral("Goto User..."), ID_GOTO_USER,
                    m_commands.CanOpenGotoDialog());
        const std::vector<std::string> exits =
            m_commands.MenuEntries(kExitsList, ID_EXIT_LAST - ID_EXIT_FIRST + 1);
        if (!exits.empty())
            menu->addSeparator();
        for (std::size_t i = 0; i < exits.size(); ++i)
            AddMenuItem(menu, Wire(exits[i]), ID_EXIT_FIRST + int(i), connected);
    }
    return menu;
}

QMenu* CPGEdit::BuildUserMenu(const std::string& name, QWidget* parent) {
    auto* menu = new QMenu(parent);
    const QString u = Wire(name);
    const bool hasName = !name.empty();
    const bool ignored = m_commands.IsIgnoring(name);
    AddMenuItem(menu, QStringLiteral("Send Private Message to %1...").arg(u),
                CUserActions::ID_SEND_PM, !ignored && m_commands.IsConnected());
    AddMenuItem(menu, QStringLiteral("Add %1 To Buddy List").arg(u), CUserActions::ID_ADD_BUDDY);
    if (!m_context.IsOptionSet(CHATOPT_NOWHOIS))
        AddMenuItem(menu, QStringLiteral("Who Is %1...").arg(u), CUserActions::ID_WHOIS);
    if (!m_context.IsOptionSet(CHATOPT_NOFILEXFER)) {
        const int transfer = m_commands.TransferState();
        if (transfer == 2)
            AddMenuItem(menu, QStringLiteral("Cancel File Transfer"),
                        CUserActions::ID_CANCEL_TRANSFER);
        else
            AddMenuItem(menu, QStringLiteral("Send File To %1...").arg(u),
                        CUserActions::ID_SEND_FILE, transfer != 0);
    }
    // The same follow item as the user list's: one rule for both menus.
    const CUserActions::MenuItem follow = CUserActions(m_context, m_commands).FollowItem(name);
    AddMenuItem(menu, follow.text, follow.id, follow.enabled);
    const std::string emotion = m_commands.SelectedEmotion();
    if (!emotion.empty())
        AddMenuItem(menu, QStringLiteral("%1 at %2").arg(Wire(emotion), u),
                    CUserActions::ID_EMOTE_AT);
    menu->addSeparator();
    if (ignored) {
        AddMenuItem(menu, QStringLiteral("Allow Messages From %1").arg(u), CUserActions::ID_ALLOW);
    } else {
        AddMenuItem(menu, QStringLiteral("Ignore Messages From %1").arg(u),
                    CUserActions::ID_IGNORE);
        if (m_commands.IsWatching(name))
            AddMenuItem(menu, QStringLiteral("Stop Watching Messages From %1").arg(u),
                        CUserActions::ID_STOP_WATCH, hasName);
        else
            AddMenuItem(menu, QStringLiteral("Watch Messages From %1").arg(u),
                        CUserActions::ID_WATCH, hasName);
    }
    return menu;
}

void CPGEdit::OnCommand(int id) {
    switch (id) {
    case ID_CLEAR_ALL:
        ClearAll();
        return;
    case ID_FONT: {
        const auto font = m_dialogs.GetFont(this, CurrentFont());
        if (!font)
            return;
        const int tenths = int(std::lround(font->pointSizeF() * 10.0));
        if (m_context.m_pSettings) {
            const QByteArray size = QByteArray::number(tenths * 2);
            const QByteArray family = kivra::platform::ToWire(font->family());
            m_context.m_pSettings->WriteProfileString(Section(), "Font Size", size.constData());
            m_context.m_pSettings->WriteProfileString(Section(), "Font Family", family.constData());
        }
        m_font = QFont(font->family());
        m_font.setPointSizeF(tenths / 10.0);
        SetEngineFont(m_font, true);
        if (m_nKind == KIND_PRIVATE)
            FinishAppend();
        return;
    }
    case ID_SOUND_INCOMING:
        if (m_nKind == KIND_MAIN) {
            m_context.m_bMonitor = !m_context.m_bMonitor;
            if (m_context.m_pSettings)
                m_context.m_pSettings->WriteProfileString("Main", "Monitor",
                                                          m_context.m_bMonitor ? "Yes" : "No");
        } else {
            m_context.m_bSoundPM = !m_context.m_bSoundPM;
            if (m_context.m_pSettings)
                m_context.m_pSettings->WriteProfileInt("PM", "Sound PM",
                                                       m_context.m_bSoundPM ? 1 : 0);
        }
        return;
    case ID_SAVE_TO_FILE:
        SaveToFile();
        return;
    case ID_WHOS_ONLINE:
        m_commands.RequestUsers();
        return;
    case ID_GOTO_USER:
        m_commands.OpenGotoDialog();
        return;
    default:
        break;
    }
    if (id >= ID_EXIT_FIRST && id <= ID_EXIT_LAST) {
        m_commands.DoMenuCommand(kExitsList, id - ID_EXIT_FIRST + 1);
        return;
    }
    switch (id) {
    case CUserActions::ID_SEND_PM:
    case CUserActions::ID_ADD_BUDDY:
    case CUserActions::ID_WHOIS:
    case CUserActions::ID_SEND_FILE:
    case CUserActions::ID_CANCEL_TRANSFER:
    case CUserActions::ID_STOP_FOLLOW:
    case CUserActions::ID_FOLLOW:
    case CUserActions::ID_EMOTE_AT:
    case CUserActions::ID_ALLOW:
    case CUserActions::ID_IGNORE:
    case CUserActions::ID_WATCH:
    case CUserActions::ID_STOP_WATCH:
        m_commands.UserCommand(id);
        return;
    default:
        return;
    }
}

void CPGEdit::SaveToFile() {
    const auto name =
        m_dialogs.GetSaveFileName(this, QStringLiteral("display.txt"), QStringLiteral("*.txt"),
                                  QStringLiteral("Text File (*.txt)|*.txt||"));
    if (!name || name->isEmpty())
        return;
    // The text goes to a temporary file that replaces the target only when it is complete.
    QSaveFile file(*name);
    bool ok = file.open(QIODevice::WriteOnly);
    if (ok)
        ok = Send(RTV_SAVETEXT, std::uintptr_t(file.handle()), 0) == 0 && file.commit();
    if (!ok) {
        file.cancelWriting();
        m_dialogs.MessageBox(this, QStringLiteral("Could not save the display to %1.").arg(*name),
                             QStringLiteral("Error"), MB_OK | MB_ICONEXCLAMATION);
    }
}
