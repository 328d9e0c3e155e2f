#include "userlist.h"

#include "codepage.h"
#include "menuitem.h"
#include "namekeylist.h"

#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QImage>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionFocusRect>
#include <algorithm>
#include <cstdio>

using kivra::platform::FromWire;

CUserList::CUserList(CChatContext& context, IViewCommands& commands, CUserActions& actions,
                     QWidget* parent)
    : QAbstractScrollArea(parent), m_context(context), m_commands(commands), m_actions(actions),
      m_boldMetrics(QFont()) {
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_font = QFont(QStringLiteral("Arial"));
    m_font.setPixelSize(13); // a 14-pixel character cell, about 6 pixels a character
    m_font.setWeight(QFont::Thin);
    setFont(m_font);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    m_nEntryHeight = std::max(kMinEntryHeight, QFontMetrics(m_font).height());
    QFont bold = m_font;
    bold.setWeight(QFont::Bold);
    m_boldMetrics = QFontMetrics(bold);

    // The watch marker the views draw before a watched user's words: bitmap 282, white as its
    // transparent colour.
    const QImage marker(Bitmap(282).toImage().convertToFormat(QImage::Format_ARGB32));
    QImage flat(marker.size(), QImage::Format_RGB32);
    flat.fill(Qt::white);
    {
        QPainter p(&flat);
        p.drawImage(0, 0, marker);
    }
    const QImage indexed = flat.convertToFormat(QImage::Format_Indexed8);
    m_watchMarker.width = indexed.width();
    m_watchMarker.height = indexed.height();
    for (int i = 0; i < indexed.colorCount() && i < 256; ++i) {
        const QRgb c = indexed.color(i);
        m_watchMarker.palette[std::size_t(i)] =
            ChatColor(qRed(c)) | ChatColor(qGreen(c)) << 8 | ChatColor(qBlue(c)) << 16;
    }
    for (int y = 0; y < indexed.height(); ++y) {
        const uchar* row = indexed.constScanLine(y);
        m_watchMarker.pixels.insert(m_watchMarker.pixels.end(), row, row + indexed.width());
    }
    m_refresh.setSingleShot(true);
    m_refresh.setInterval(kRefreshMs);
    connect(&m_refresh, &QTimer::timeout, this, [this] { Refresh(); });
    UpdateScrollRanges();
}

CUserList::~CUserList() {
    if (m_context.m_pUserList == this)
        m_context.m_pUserList = nullptr;
}

QPixmap CUserList::Bitmap(int id) {
    // Loading by file name goes through the pixmap cache, so each bitmap is read once.
    return QPixmap(QStringLiteral(":/kivra/icons/%1.png").arg(id));
}

int CUserList::IconFor(std::uint32_t flags, int place) {
    if (place == 0) {
        if (flags & FLAG_OWN)
            return 158;
        if (flags & FLAG_WORLDADMIN)
            return 284;
        if (flags & FLAG_REALMADMIN)
            return 285;
        if (flags & FLAG_ROOMADMIN)
            return 286;
        if (flags & FLAG_ROOMOP)
            return 287;
        if (flags & FLAG_WATCHED)
            return 282;
        if (flags & FLAG_IGNORED)
            return 218;
        return 0;
    }
    if (flags & FLAG_OWN)
        return 0;
    if (flags & FLAG_I_FOLLOW)
        return 217;
    if (flags & FLAG_FOLLOWS_ME)
        return 216;
    return 0;
}

int CUserList::Count() const {
    return int(m_entries.size());
}

std::string CUserList::NameAt(int row) const {
    return row >= 0 && row < Count() ? m_entries[std::size_t(row)]->text : std::string();
}

std::uint32_t CUserList::FlagsAt(int row) const {
    return row >= 0 && row < Count() ? m_entries[std::size_t(row)]->flags : 0;
}

int CUserList::HorizontalExtent() const {
    return m_widthCount.empty() ? 0 : m_widthCount.rbegin()->first;
}

bool CUserList::HasOwn() const {
    return !m_entries.empty() && (m_entries[0]->flags & FLAG_OWN);
}

std::pair<int, bool> CUserList::Locate(const QString& key) const {
    const int start = HasOwn() ? 1 : 0;
    if (start == 1 && m_entries[0]->key == key)
        return {0, true};
    // The entries after the own one are kept in order, so the walk is a binary search.
    const auto it = std::lower_bound(m_entries.begin() + start, m_entries.end(), key,
                                     [](const std::unique_ptr<CUserEntry>& e, const QString& k) {
                                         return e->key.compare(k) < 0;
                                     });
    return {int(it - m_entries.begin()), it != m_entries.end() && (*it)->key == key};
}

int CUserList::Find(const std::string& name) const {
    const auto [row, found] = Locate(FromWire(MakeDisplayName(name)).toCaseFolded());
    return found ? row : -1;
}

CUserEntry CUserList::MakeEntry(const std::string& name, std::uint32_t flags) const {
    CUserEntry e;
    e.text = MakeDisplayName(name);
    e.name = FromWire(e.text);
    e.key = e.name.toCaseFolded();
    e.flags = flags;
    // Measured bold, the widest an entry is drawn.
    e.width = m_boldMetrics.horizontalAdvance(e.name);
    return e;
}

int CUserList::VisibleRows() const {
    return std::max(1, viewport()->height() / m_nEntryHeight);
}

int CUserList::TopRow() const {
    return m_nTop;
}

void CUserList::ScheduleRefresh(bool repaint) {
    m_bRepaint = m_bRepaint || repaint;
    if (!m_refresh.isActive())
        m_refresh.start();
}

void CUserList::Refresh() {
    m_refresh.stop();
    UpdateScrollRanges();
    if (m_bRepaint)
        viewport()->update();
    m_bRepaint = false;
}

void CUserList::UpdateScrollRanges() {
    const bool quiet = m_bQuietScroll;
    m_bQuietScroll = true;
    const int rows = VisibleRows();
    m_nTop = std::clamp(m_nTop, 0, std::max(0, Count() - rows));
    QScrollBar* v = verticalScrollBar();
    v->setRange(0, std::max(0, Count() - rows));
    v->setPageStep(rows);
    v->setValue(m_nTop);
    QScrollBar* h = horizontalScrollBar();
    const int width = viewport()->width();
    h->setRange(0, std::max(0, kNameX + HorizontalExtent() + 4 - width));
    h->setPageStep(std::max(1, width));
    h->setSingleStep(6);
    m_bQuietScroll = quiet;
}

QRect CUserList::EntryRect(int row) const {
    const int width = std::max(viewport()->width(), kNameX + HorizontalExtent() + 4);
    return {-horizontalScrollBar()->value(), (row - TopRow()) * m_nEntryHeight, width,
            m_nEntryHeight};
}

int CUserList::RowAt(const QPoint& pos) const {
    if (pos.y() < 0)
        return -1;
    const int row = TopRow() + pos.y() / m_nEntryHeight;
    return row < Count() ? row : -1;
}

void CUserList::UpdateRow(int row) {
    if (row >= TopRow() && row <= TopRow() + VisibleRows())
        viewport()->update(EntryRect(row));
}

void CUserList::Insert(int row, CUserEntry entry) {
    ++m_widthCount[entry.width];
    m_entries.insert(m_entries.begin() + row, std::make_unique<CUserEntry>(std::move(entry)));
    if (m_nCurrent >= row)
        ++m_nCurrent;
    // What the user is looking at stays where it is.
    const bool above = row < m_nTop;
    if (above)
        ++m_nTop;
    ScheduleRefresh(!above && row <= m_nTop + VisibleRows());
}

void CUserList::Erase(int row) {
    const auto it = m_widthCount.find(m_entries[std::size_t(row)]->width);
    if (it != m_widthCount.end() && --it->second == 0)
        m_widthCount.erase(it);
    m_entries.erase(m_entries.begin() + row);
    if (m_nCurrent == row)
        m_nCurrent = -1;
    else if (m_nCurrent > row)
        --m_nCurrent;
    const bool above = row < m_nTop;
    if (above)
        --m_nTop;
    // Near the end the rows below move up into view.
    const bool pulled = m_nTop > std::max(0, Count() - VisibleRows());
    ScheduleRefresh(pulled || (!above && row <= m_nTop + VisibleRows()));
}

void CUserList::Clear() {
    m_entries.clear();
    m_widthCount.clear();
    m_nCurrent = -1;
    m_nTop = 0;
    ScheduleRefresh(true);
}

bool CUserList::Contains(const std::string& name) const {
    return Find(name) >= 0;
}

int CUserList::Add(const std::string& name) {
    CUserEntry e = MakeEntry(name, 0);
    const auto [row, found] = Locate(e.key);
    if (found)
        return row;
    Insert(row, std::move(e));
    return row;
}

void CUserList::AddUser(const std::string& name) {
    Add(name);
}

void CUserList::AddOwnEntry(const std::string& name) {
    // Any entry of that name gives way to the own one at the top.
    if (HasOwn())
        Erase(0);
    const int existing = Find(name);
    if (existing >= 0)
        Erase(existing);
    Insert(0, MakeEntry(name, FLAG_OWN));
}

void CUserList::RemoveUser(const std::string& name) {
    const int row = Find(name);
    // The own entry stays until the next room clears the list.
    if (row < 0 || (FlagsAt(row) & FLAG_OWN))
        return;
    Erase(row);
}

void CUserList::RefreshCount() {
    ScheduleRefresh(false);
}

void CUserList::ChangeFlags(int row, std::uint32_t set, std::uint32_t clear) {
    if (row < 0)
        return;
    std::uint32_t& flags = m_entries[std::size_t(row)]->flags;
    const std::uint32_t next = (flags & ~clear) | set;
    if (next != flags) {
        flags = next;
        UpdateRow(row);
    }
}

void CUserList::SetRole(const std::string& name, const std::string& role) {
    // The bare keyword ("enter", "user") carries no role: the entry keeps the one it has.
    if (role.empty() || EqualsNoCase(role, "enter") || EqualsNoCase(role, "user"))
        return;
    std::uint32_t bit = 0;
    if (EqualsNoCase(role, "worldadmin"))
        bit = FLAG_WORLDADMIN;
    else if (EqualsNoCase(role, "realmadmin"))
        bit = FLAG_REALMADMIN;
    else if (EqualsNoCase(role, "roomadmin"))
        bit = FLAG_ROOMADMIN;
    else if (EqualsNoCase(role, "roomop"))
        bit = FLAG_ROOMOP;
    ChangeFlags(Find(name), bit, FLAG_ROLES);
}

void CUserList::MarkFollower(const std::string& name, bool on) {
    ChangeFlags(Find(name), on ? FLAG_FOLLOWS_ME : 0, on ? FLAG_I_FOLLOW : FLAG_FOLLOWS_ME);
}

void CUserList::MarkFollowed(const std::string& name, bool on) {
    const int row = Find(name);
    if (on) {
        // One followed user at a time.
        for (int i = 0; i < Count(); ++i)
            if (i != row)
                ChangeFlags(i, 0, FLAG_I_FOLLOW);
        ChangeFlags(row, FLAG_I_FOLLOW, FLAG_FOLLOWS_ME);
    } else {
        ChangeFlags(row, 0, FLAG_I_FOLLOW);
    }
}

void CUserList::MarkIgnored(const std::string& name, bool on) {
    // An ignored user is not watched, however the ignoring began.
    ChangeFlags(Find(name), on ? FLAG_IGNORED : 0, on ? FLAG_WATCHED : FLAG_IGNORED);
}

void CUserList::MarkWatched(const std::string& name, bool on) {
    const int row = Find(name);
    if (on && (FlagsAt(row) & FLAG_IGNORED))
        return;
    ChangeFlags(row, on ? FLAG_WATCHED : 0, on ? 0 : FLAG_WATCHED);
}

void CUserList::ClearSelection() {
    for (auto& e : m_entries)
        e->selected = false;
    viewport()->update();
}

void CUserList::SetCurrent(int row) {
    m_nCurrent = row;
    if (row < 0)
        return;
    if (row < m_nTop)
        m_nTop = row;
    else if (row >= m_nTop + VisibleRows())
        m_nTop = row - VisibleRows() + 1;
    Refresh();
    viewport()->update();
}

void CUserList::SelectOnly(const std::string& name) {
    SelectNames({name});
}

void CUserList::SelectNames(const std::vector<std::string>& names) {
    ClearSelection();
    for (const std::string& name : names) {
        const int row = Find(name);
        if (row >= 0 && !(FlagsAt(row) & FLAG_OWN)) {
            m_entries[std::size_t(row)]->selected = true;
            SetCurrent(row);
        }
    }
}

std::vector<std::string> CUserList::Selection() const {
    std::vector<std::string> names;
    for (const auto& e : m_entries)
        if (e->selected && !(e->flags & FLAG_OWN))
            names.push_back(e->text);
    return names;
}

std::string CUserList::CurrentName() const {
    if (m_nCurrent < 0 || (FlagsAt(m_nCurrent) & FLAG_OWN))
        return {};
    return NameAt(m_nCurrent);
}

void CUserList::StartPrivateMessage() {
    m_actions.StartPrivate(Selection());
}

const ChatPicture* CUserList::WatchMarker() const {
    return m_watchMarker.width > 0 ? &m_watchMarker : nullptr;
}

std::vector<std::string> CUserList::DumpLines() const {
    std::vector<std::string> lines;
    lines.reserve(m_entries.size());
    for (const auto& e : m_entries) {
        char flags[16];
        std::snprintf(flags, sizeof flags, "0x%03x", unsigned(e->flags));
        lines.push_back("[user] " + std::string(flags) + " " + e->text);
    }
    return lines;
}

QMenu* CUserList::BuildMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    const std::vector<std::string> selected = Selection();
    const std::size_t count = selected.size();
    const bool none = count == 0;
    const bool one = count == 1;
    const std::string name = one ? selected.front() : std::string();
    const QString u = kivra::platform::FromWire(name);
    const bool current = !CurrentName().empty();
    const bool connected = m_commands.IsConnected();
    const bool ignored = one && m_commands.IsIgnoring(name);

    const QString pm = one    ? QStringLiteral("Send Private Message to %1...").arg(u)
                       : none ? QStringLiteral("Send Private Message...")
                              : QStringLiteral("Send Private Message to Selected...");
    AddMenuItem(menu, pm, CUserActions::ID_SEND_PM,
                !none && current && !ignored && m_actions.CanStartPrivate());
    AddMenuItem(menu,
                one ? QStringLiteral("Add %1 To Buddy List").arg(u)
                    : QStringLiteral("Add Selected To Buddy List"),
                CUserActions::ID_ADD_BUDDY, !none);
    if (!m_context.IsOptionSet(CHATOPT_NOWHOIS))
        AddMenuItem(menu,
                    one ? QStringLiteral("Who Is %1...").arg(u)
                        : QStringLiteral("Who Is This Person..."),
                    CUserActions::ID_WHOIS, !none && current);
    if (!m_context.IsOptionSet(CHATOPT_NOFILEXFER)) {
        const int transfer = m_commands.TransferState();
        if (transfer == 2)
            AddMenuItem(menu, QStringLiteral("Cancel File Transfer"),
                        CUserActions::ID_CANCEL_TRANSFER, true);
        else
            AddMenuItem(menu,
                        QStringLiteral("Send File To %1...")
                            .arg(none ? QString() : kivra::platform::FromWire(selected.front())),
                        CUserActions::ID_SEND_FILE, !none && transfer == 1);
    }
    if (one) {
        const CUserActions::MenuItem follow = m_actions.FollowItem(name);
        AddMenuItem(menu, follow.text, follow.id, follow.enabled && current);
    } else {
        AddMenuItem(menu, QStringLiteral("Follow This Person"), CUserActions::ID_FOLLOW, false);
    }
    const std::string emotion = m_commands.SelectedEmotion();
    if (!emotion.empty()) {
        const QString e = kivra::platform::FromWire(emotion);
        AddMenuItem(menu,
                    one ? QStringLiteral("%1 at %2").arg(e, u)
                        : QStringLiteral("%1 at Selected Persons").arg(e),
                    CUserActions::ID_EMOTE_AT, !none && current);
    }
    menu->addSeparator();
    if (one) {
        if (ignored)
            AddMenuItem(menu, QStringLiteral("Allow Messages From %1").arg(u),
                        CUserActions::ID_ALLOW, connected);
        else
            AddMenuItem(menu, QStringLiteral("Ignore Messages From %1").arg(u),
                        CUserActions::ID_IGNORE, current);
        if (!ignored) {
            if (m_commands.IsWatching(name))
                AddMenuItem(menu, QStringLiteral("Stop Watching Messages From %1").arg(u),
                            CUserActions::ID_STOP_WATCH, true);
            else
                AddMenuItem(menu, QStringLiteral("Watch Messages From %1").arg(u),
                            CUserActions::ID_WATCH, true);
        }
    } else {
        AddMenuItem(menu, QStringLiteral("Ignore Messages From Selected"), CUserActions::ID_IGNORE,
                    !none && current);
        AddMenuItem(menu, QStringLiteral("Allow Messages From Selected"), CUserActions::ID_ALLOW,
                    !none && connected);
        AddMenuItem(menu, QStringLiteral("Watch Messages From Selected"), CUserActions::ID_WATCH,
                    !none);
        AddMenuItem(menu, QStringLiteral("Stop Watching Messages From Selected"),
                    CUserActions::ID_STOP_WATCH, !none);
    }
    return menu;
}

void CUserList::OnCommand(int id) {
    const std::vector<std::string> selected = Selection();
    if (selected.empty())
        return;
    m_actions.Run(id, selected, CurrentName());
}

bool CUserList::event(QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab && !(key->modifiers() & Qt::ShiftModifier) && m_focusInput) {
            m_focusInput();
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}

void CUserList::mousePressEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() != Qt::LeftButton)
        return; // the menu works on the selection as it stands
    const int row = RowAt(event->position().toPoint());
    if (row < 0)
        return;
    if (FlagsAt(row) & FLAG_OWN) {
        ClearSelection();
        return;
    }
    // A click adds the entry to the selection or takes it out.
    CUserEntry& e = *m_entries[std::size_t(row)];
    e.selected = !e.selected;
    SetCurrent(row);
}

void CUserList::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    const int row = RowAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && row >= 0 && (FlagsAt(row) & FLAG_OWN) &&
        m_entries[std::size_t(row)]->selected) {
        m_entries[std::size_t(row)]->selected = false;
        UpdateRow(row);
    }
}

void CUserList::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
    const int row = RowAt(event->position().toPoint());
    if (event->button() != Qt::LeftButton || row < 0 || (FlagsAt(row) & FLAG_OWN))
        return;
    const std::vector<std::string> selected = Selection();
    if (selected.size() == 1 && m_entries[std::size_t(row)]->selected)
        StartPrivateMessage();
}

void CUserList::keyPressEvent(QKeyEvent* event) {
    int row = m_nCurrent;
    switch (event->key()) {
    case Qt::Key_Up:
        row = std::max(0, row - 1);
        break;
    case Qt::Key_Down:
        row = std::min(Count() - 1, row + 1);
        break;
    case Qt::Key_PageUp:
        row = std::max(0, row - VisibleRows());
        break;
    case Qt::Key_PageDown:
        row = std::min(Count() - 1, row + VisibleRows());
        break;
    case Qt::Key_Home:
        row = 0;
        break;
    case Qt::Key_End:
        row = Count() - 1;
        break;
    case Qt::Key_Space:
        if (row >= 0 && !(FlagsAt(row) & FLAG_OWN)) {
            m_entries[std::size_t(row)]->selected = !m_entries[std::size_t(row)]->selected;
            UpdateRow(row);
        }
        return;
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    SetCurrent(row);
}

void CUserList::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    UpdateRow(m_nCurrent);
}

void CUserList::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    UpdateRow(m_nCurrent);
}

void CUserList::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollRanges();
}

void CUserList::scrollContentsBy(int, int) {
    if (m_bQuietScroll)
        return;
    m_nTop = verticalScrollBar()->value();
    viewport()->update();
}

void CUserList::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    const QRect dirty = event->rect();
    const int first = TopRow() + std::max(0, dirty.top()) / m_nEntryHeight;
    const int last = std::min(Count() - 1, TopRow() + dirty.bottom() / m_nEntryHeight);
    const bool focus = hasFocus();
    for (int row = first; row <= last; ++row)
        PaintEntry(painter, *m_entries[std::size_t(row)], EntryRect(row),
                   focus && row == m_nCurrent);
}

void CUserList::PaintEntry(QPainter& painter, const CUserEntry& entry, const QRect& r,
                           bool focus) const {
    const QPalette& pal = palette();
    const bool selected = entry.selected;
    painter.fillRect(r, selected ? pal.highlight() : pal.base());
    const int centre = r.top() + r.height() / 2;
    for (int place = 0; place < 2; ++place) {
        const int id = IconFor(entry.flags, place);
        if (id != 0)
            painter.drawPixmap(r.left() + (place == 0 ? kFirstIconX : kSecondIconX), centre - 5,
                               Bitmap(id));
    }
    QFont font = m_font;
    QColor colour = pal.color(QPalette::Text);
    if (entry.flags & FLAG_IGNORED) {
        font.setWeight(QFont::Bold);
        font.setItalic(true);
        colour = QColor(0xFF, 0x00, 0x00);
    } else if (entry.flags & FLAG_WATCHED) {
        font.setWeight(QFont::Bold);
        colour = QColor(0x40, 0x80, 0x40);
    }
    if (selected)
        colour = pal.color(QPalette::HighlightedText);
    painter.setFont(font);
    painter.setPen(colour);
    painter.drawText(QRect(r.left() + kNameX, r.top(), r.width() - kNameX, r.height()),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, entry.name);
    if (focus) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = r;
        option.backgroundColor = pal.color(selected ? QPalette::Highlight : QPalette::Base);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}

void CUserList::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = BuildMenu(this);
    QAction* chosen = menu->exec(event->globalPos());
    const int id = chosen ? chosen->data().toInt() : 0;
    delete menu;
    if (id != 0)
        OnCommand(id);
}
