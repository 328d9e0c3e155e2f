#include "userlist.h"

#include "codepage.h"
#include "namekeylist.h"

#include <QAbstractListModel>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QImage>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <algorithm>
#include <cstdio>

using kivra::platform::FromWire;

namespace {

struct UserEntry {
    QString name;     // as shown
    QString key;      // case-folded, for ordering and lookup
    std::string text; // the display name's bytes
    std::uint32_t flags = 0;
    int width = 0; // the name's pixel width, kept so a leave measures nothing
};

QAction* AddItem(QMenu* menu, const QString& text, int id, bool enabled) {
    QAction* a = menu->addAction(text);
    a->setData(id);
    a->setEnabled(enabled);
    return a;
}

} // namespace

// The entries with their flag words, and the widths of their names for the horizontal extent.
class CUserListModel : public QAbstractListModel {
public:
    std::vector<UserEntry> entries;
    std::map<int, int> widthCount; // width -> names of that width

    int rowCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() ? 0 : int(entries.size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= int(entries.size()))
            return {};
        const UserEntry& e = entries[std::size_t(index.row())];
        if (role == Qt::DisplayRole)
            return e.name;
        if (role == Qt::UserRole)
            return QVariant::fromValue(e.flags);
        return {};
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override {
        if (!index.isValid())
            return Qt::NoItemFlags;
        // The own user is never part of the selection.
        if (entries[std::size_t(index.row())].flags & CUserList::FLAG_OWN)
            return Qt::ItemIsEnabled;
        return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    }

    bool HasOwn() const { return !entries.empty() && (entries[0].flags & CUserList::FLAG_OWN); }
    int Extent() const { return widthCount.empty() ? 0 : widthCount.rbegin()->first; }
    void Forget(int width) {
        const auto it = widthCount.find(width);
        if (it != widthCount.end() && --it->second == 0)
            widthCount.erase(it);
    }
    // The row holding `key`, or where it would go among the others.
    std::pair<int, bool> Locate(const QString& key) const {
        const int start = HasOwn() ? 1 : 0;
        if (start == 1 && entries[0].key == key)
            return {0, true};
        const auto it = std::lower_bound(
            entries.begin() + start, entries.end(), key,
            [](const UserEntry& e, const QString& k) { return e.key.compare(k) < 0; });
        const int row = int(it - entries.begin());
        return {row, it != entries.end() && it->key == key};
    }
    void Insert(int row, UserEntry entry) {
        beginInsertRows(QModelIndex(), row, row);
        ++widthCount[entry.width];
        entries.insert(entries.begin() + row, std::move(entry));
        endInsertRows();
    }
    void Erase(int row) {
        beginRemoveRows(QModelIndex(), row, row);
        Forget(entries[std::size_t(row)].width);
        entries.erase(entries.begin() + row);
        endRemoveRows();
    }
    void Reset() {
        beginResetModel();
        entries.clear();
        widthCount.clear();
        endResetModel();
    }
    void Changed(int row) {
        const QModelIndex i = index(row);
        emit dataChanged(i, i);
    }
};

namespace {

// Draws one entry: icons at 3 and 20 pixels, the name at 36, colour and weight by the flags.
class CUserDelegate : public QStyledItemDelegate {
public:
    explicit CUserDelegate(CUserList* list) : QStyledItemDelegate(list), m_list(list) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const auto flags = index.data(Qt::UserRole).value<std::uint32_t>();
        const QString name = index.data(Qt::DisplayRole).toString();
        const QRect r = option.rect;
        const bool selected = option.state & QStyle::State_Selected;
        const QPalette& pal = option.palette;
        painter->save();
        painter->fillRect(r, selected ? pal.highlight() : pal.base());
        const int centre = r.top() + r.height() / 2;
        for (int place = 0; place < 2; ++place) {
            const int id = CUserList::IconFor(flags, place);
            if (id != 0) {
                const int x = place == 0 ? CUserList::kFirstIconX : CUserList::kSecondIconX;
                painter->drawPixmap(r.left() + x, centre - 5, CUserList::Bitmap(id));
            }
        }
        QFont font = m_list->ListFont();
        QColor colour = pal.color(QPalette::Text);
        if (flags & CUserList::FLAG_IGNORED) {
            font.setWeight(QFont::Bold);
            font.setItalic(true);
            colour = QColor(0xFF, 0x00, 0x00);
        } else if (flags & CUserList::FLAG_WATCHED) {
            font.setWeight(QFont::Bold);
            colour = QColor(0x40, 0x80, 0x40);
        }
        if (selected)
            colour = pal.color(QPalette::HighlightedText);
        painter->setFont(font);
        painter->setPen(colour);
        painter->drawText(QRect(r.left() + CUserList::kNameX, r.top(), r.width(), r.height()),
                          Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, name);
        if (option.state & QStyle::State_HasFocus) {
            QStyleOptionFocusRect focus;
            focus.initFrom(m_list);
            focus.rect = r;
            focus.backgroundColor = selected ? pal.color(QPalette::Highlight) : pal.color(QPalette::Base);
            m_list->style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, m_list);
        }
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
        return {CUserList::kNameX + m_list->HorizontalExtent() + 4, m_list->EntryHeight()};
    }

private:
    CUserList* m_list;
};

} // namespace

CUserList::CUserList(CChatContext& context, IViewCommands& commands, CUserActions& actions,
                     QWidget* parent)
    : QListView(parent), m_context(context), m_commands(commands), m_actions(actions),
      m_pModel(new CUserListModel) {
    m_pModel->setParent(this);
    setModel(m_pModel);
    setItemDelegate(new CUserDelegate(this));
    setSelectionMode(QAbstractItemView::MultiSelection);
    setUniformItemSizes(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    m_font = QFont(QStringLiteral("Arial"));
    m_font.setPixelSize(13); // a 14-pixel character cell, about 6 pixels a character
    m_font.setWeight(QFont::Thin);
    setFont(m_font);
    m_nEntryHeight = std::max(kMinEntryHeight, QFontMetrics(m_font).height());

    // The watch marker the views draw before a watched user's words: bitmap 282, white as its
    // transparent colour.
    QImage marker(Bitmap(282).toImage().convertToFormat(QImage::Format_ARGB32));
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
    return int(m_pModel->entries.size());
}

std::string CUserList::NameAt(int row) const {
    return row >= 0 && row < Count() ? m_pModel->entries[std::size_t(row)].text : std::string();
}

std::uint32_t CUserList::FlagsAt(int row) const {
    return row >= 0 && row < Count() ? m_pModel->entries[std::size_t(row)].flags : 0;
}

int CUserList::HorizontalExtent() const {
    return m_pModel->Extent();
}

int CUserList::Find(const std::string& name) const {
    const QString key = FromWire(MakeDisplayName(name)).toCaseFolded();
    const auto [row, found] = m_pModel->Locate(key);
    return found ? row : -1;
}

void CUserList::ExtentChanged(int before) {
    // Only the widest name decides the width the list scrolls across.
    if (HorizontalExtent() != before)
        scheduleDelayedItemsLayout();
}

void CUserList::Clear() {
    m_pModel->Reset();
    ExtentChanged(-1);
}

bool CUserList::Contains(const std::string& name) const {
    return Find(name) >= 0;
}

int CUserList::Add(const std::string& name) {
    UserEntry e;
    e.text = MakeDisplayName(name);
    e.name = FromWire(e.text);
    e.key = e.name.toCaseFolded();
    const auto [row, found] = m_pModel->Locate(e.key);
    if (found)
        return row;
    QFont bold = m_font;
    bold.setWeight(QFont::Bold);
    e.width = QFontMetrics(bold).horizontalAdvance(e.name);
    const int before = HorizontalExtent();
    m_pModel->Insert(row, std::move(e));
    ExtentChanged(before);
    return row;
}

void CUserList::AddUser(const std::string& name) {
    Add(name);
}

void CUserList::AddOwnEntry(const std::string& name) {
    // Any entry of that name gives way to the own one at the top.
    if (m_pModel->HasOwn())
        m_pModel->Erase(0);
    const int existing = Find(name);
    if (existing >= 0)
        m_pModel->Erase(existing);
    UserEntry e;
    e.text = MakeDisplayName(name);
    e.name = FromWire(e.text);
    e.key = e.name.toCaseFolded();
    e.flags = FLAG_OWN;
    QFont bold = m_font;
    bold.setWeight(QFont::Bold);
    e.width = QFontMetrics(bold).horizontalAdvance(e.name);
    const int before = HorizontalExtent();
    m_pModel->Insert(0, std::move(e));
    ExtentChanged(before);
}

void CUserList::RemoveUser(const std::string& name) {
    const int row = Find(name);
    // The own entry stays until the next room clears the list.
    if (row < 0 || (FlagsAt(row) & FLAG_OWN))
        return;
    const int before = HorizontalExtent();
    m_pModel->Erase(row);
    ExtentChanged(before);
}

void CUserList::RefreshCount() {
    viewport()->update();
}

void CUserList::ChangeFlags(int row, std::uint32_t set, std::uint32_t clear) {
    if (row < 0)
        return;
    std::uint32_t& flags = m_pModel->entries[std::size_t(row)].flags;
    const std::uint32_t next = (flags & ~clear) | set;
    if (next != flags) {
        flags = next;
        m_pModel->Changed(row);
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

void CUserList::SelectOnly(const std::string& name) {
    clearSelection();
    const int row = Find(name);
    if (row < 0 || (FlagsAt(row) & FLAG_OWN))
        return;
    const QModelIndex index = m_pModel->index(row);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::Select);
}

void CUserList::SelectNames(const std::vector<std::string>& names) {
    clearSelection();
    for (const std::string& name : names) {
        const int row = Find(name);
        if (row >= 0 && !(FlagsAt(row) & FLAG_OWN))
            selectionModel()->setCurrentIndex(m_pModel->index(row), QItemSelectionModel::Select);
    }
}

std::vector<std::string> CUserList::Selection() const {
    std::vector<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedIndexes())
        if (!(FlagsAt(index.row()) & FLAG_OWN))
            rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    std::vector<std::string> names;
    names.reserve(rows.size());
    for (int row : rows)
        names.push_back(NameAt(row));
    return names;
}

std::string CUserList::CurrentName() const {
    const QModelIndex index = currentIndex();
    if (!index.isValid() || (FlagsAt(index.row()) & FLAG_OWN))
        return {};
    return NameAt(index.row());
}

void CUserList::StartPrivateMessage() {
    m_actions.StartPrivate(Selection());
}

const ChatPicture* CUserList::WatchMarker() const {
    return m_watchMarker.width > 0 ? &m_watchMarker : nullptr;
}

std::vector<std::string> CUserList::DumpLines() const {
    std::vector<std::string> lines;
    lines.reserve(m_pModel->entries.size());
    for (const UserEntry& e : m_pModel->entries) {
        char flags[16];
        std::snprintf(flags, sizeof flags, "0x%03x", unsigned(e.flags));
        lines.push_back("[user] " + std::string(flags) + " " + e.text);
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
    AddItem(menu, pm, CUserActions::ID_SEND_PM,
            !none && current && !ignored && m_actions.CanStartPrivate());
    AddItem(menu,
            one ? QStringLiteral("Add %1 To Buddy List").arg(u)
                : QStringLiteral("Add Selected To Buddy List"),
            CUserActions::ID_ADD_BUDDY, !none);
    if (!m_context.IsOptionSet(CHATOPT_NOWHOIS))
        AddItem(menu,
                one ? QStringLiteral("Who Is %1...").arg(u)
                    : QStringLiteral("Who Is This Person..."),
                CUserActions::ID_WHOIS, !none && current);
    if (!m_context.IsOptionSet(CHATOPT_NOFILEXFER)) {
        const int transfer = m_commands.TransferState();
        if (transfer == 2)
            AddItem(menu, QStringLiteral("Cancel File Transfer"), CUserActions::ID_CANCEL_TRANSFER,
                    true);
        else
            AddItem(menu,
                    QStringLiteral("Send File To %1...")
                        .arg(none ? QString() : kivra::platform::FromWire(selected.front())),
                    CUserActions::ID_SEND_FILE, !none && transfer == 1);
    }
    if (one) {
        const CUserActions::MenuItem follow = m_actions.FollowItem(name);
        AddItem(menu, follow.text, follow.id, follow.enabled && current);
    } else {
        AddItem(menu, QStringLiteral("Follow This Person"), CUserActions::ID_FOLLOW, false);
    }
    const std::string emotion = m_commands.SelectedEmotion();
    if (!emotion.empty()) {
        const QString e = kivra::platform::FromWire(emotion);
        AddItem(menu,
                one ? QStringLiteral("%1 at %2").arg(e, u)
                    : QStringLiteral("%1 at Selected Persons").arg(e),
                CUserActions::ID_EMOTE_AT, !none && current);
    }
    menu->addSeparator();
    if (one) {
        if (ignored)
            AddItem(menu, QStringLiteral("Allow Messages From %1").arg(u), CUserActions::ID_ALLOW,
                    connected);
        else
            AddItem(menu, QStringLiteral("Ignore Messages From %1").arg(u),
                    CUserActions::ID_IGNORE, current);
        if (!ignored) {
            if (m_commands.IsWatching(name))
                AddItem(menu, QStringLiteral("Stop Watching Messages From %1").arg(u),
                        CUserActions::ID_STOP_WATCH, true);
            else
                AddItem(menu, QStringLiteral("Watch Messages From %1").arg(u),
                        CUserActions::ID_WATCH, true);
        }
    } else {
        AddItem(menu, QStringLiteral("Ignore Messages From Selected"), CUserActions::ID_IGNORE,
                !none && current);
        AddItem(menu, QStringLiteral("Allow Messages From Selected"), CUserActions::ID_ALLOW,
                !none && connected);
        AddItem(menu, QStringLiteral("Watch Messages From Selected"), CUserActions::ID_WATCH,
                !none);
        AddItem(menu, QStringLiteral("Stop Watching Messages From Selected"),
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
        if (key->key() == Qt::Key_Tab && !(key->modifiers() & Qt::ShiftModifier) &&
            m_focusInput) {
            m_focusInput();
            return true;
        }
    }
    return QListView::event(event);
}

void CUserList::mousePressEvent(QMouseEvent* event) {
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() == Qt::RightButton) {
        event->accept(); // the menu works on the selection as it stands
        return;
    }
    if (event->button() == Qt::LeftButton && index.isValid() && (FlagsAt(index.row()) & FLAG_OWN)) {
        clearSelection();
        event->accept();
        return;
    }
    QListView::mousePressEvent(event);
}

void CUserList::mouseReleaseEvent(QMouseEvent* event) {
    QListView::mouseReleaseEvent(event);
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && index.isValid() && (FlagsAt(index.row()) & FLAG_OWN))
        selectionModel()->select(index, QItemSelectionModel::Deselect);
}

void CUserList::mouseDoubleClickEvent(QMouseEvent* event) {
    QListView::mouseDoubleClickEvent(event);
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() != Qt::LeftButton || !index.isValid() ||
        (FlagsAt(index.row()) & FLAG_OWN))
        return;
    const std::vector<std::string> selected = Selection();
    if (selected.size() == 1 && selected.front() == NameAt(index.row()))
        StartPrivateMessage();
}

void CUserList::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = BuildMenu(this);
    QAction* chosen = menu->exec(event->globalPos());
    const int id = chosen ? chosen->data().toInt() : 0;
    delete menu;
    if (id != 0)
        OnCommand(id);
}
