#include "emotionlist.h"

#include "chatprotocol.h"
#include "codepage.h"
#include "dialogservice.h"
#include "emotioneditdlg.h"
#include "menuitem.h"
#include "namekeylist.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <algorithm>
#include <cstdio>

using kivra::platform::FromWire;
using kivra::platform::ToWireString;

namespace {

const char* const kDefaults[] = {"Smile", "Grin", "Nod", "Bow", "Shake", "Smirk", "Laugh"};

std::string ValueName(int number) {
    char name[24];
    std::snprintf(name, sizeof name, "Emotion%03d", number);
    return name;
}

} // namespace

CEmotionList::CEmotionList(CChatContext& context, IViewCommands& commands,
                           kivra::platform::DialogService& dialogs, QWidget* parent)
    : QListWidget(parent), m_context(context), m_commands(commands), m_dialogs(dialogs) {
    setObjectName(QStringLiteral("emotionlist"));
    setProperty("controlId", int(IDC_EMOTIONLIST));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSortingEnabled(false);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(14);
    font.setWeight(QFont::Thin);
    setFont(font);
}

void CEmotionList::Load() {
    clear();
    ISettingsStore* store = m_context.m_pSettings;
    if (store == nullptr)
        return;
    if (EqualsNoCase(store->GetProfileString(kSection, "Loaded", "No"), "No")) {
        store->WriteProfileString(kSection, "Loaded", "Yes");
        int n = 1;
        for (const char* word : kDefaults)
            store->WriteProfileString(kSection, ValueName(n++).c_str(), word);
        store->WriteProfileString(kSection, ValueName(n).c_str(), "");
    }
    for (int n = 1; n <= kMaxWords; ++n) {
        const std::string word = store->GetProfileString(kSection, ValueName(n), "");
        if (word.empty())
            break;
        addItem(FromWire(word));
    }
}

void CEmotionList::Save() {
    ISettingsStore* store = m_context.m_pSettings;
    if (store == nullptr)
        return;
    const int n = std::min(count(), int(kMaxWords));
    for (int i = 0; i < n; ++i)
        store->WriteProfileString(kSection, ValueName(i + 1).c_str(), Word(i).c_str());
    store->WriteProfileString(kSection, ValueName(n + 1).c_str(), "");
    store->WriteProfileString(kSection, "Loaded", "Yes");
}

std::string CEmotionList::Word(int row) const {
    const QListWidgetItem* it = item(row);
    return it ? ToWireString(it->text()) : std::string();
}

std::vector<std::string> CEmotionList::Words() const {
    std::vector<std::string> out;
    for (int i = 0; i < count(); ++i)
        out.push_back(Word(i));
    return out;
}

void CEmotionList::SetWords(const std::vector<std::string>& words) {
    clear();
    for (const std::string& w : words)
        if (count() < kMaxWords)
            addItem(FromWire(w));
}

std::string CEmotionList::SelectedWord() const {
    const QList<QListWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? std::string() : ToWireString(selected.front()->text());
}

bool CEmotionList::SelectWord(const std::string& word) {
    if (word.empty()) {
        clearSelection();
        setCurrentRow(-1);
        return true;
    }
    for (int i = 0; i < count(); ++i) {
        if (EqualsNoCase(Word(i), word)) {
            setCurrentRow(i);
            item(i)->setSelected(true);
            return true;
        }
    }
    return false;
}

void CEmotionList::Perform() {
    const std::string word = SelectedWord();
    if (word.empty())
        return;
    m_commands.SendSay("/" + ToWireString(FromWire(word).toLower()) + "\n");
    m_context.m_nScrollHold = 0;
}

void CEmotionList::AddWord(const std::string& word) {
    if (word.empty() || count() >= kMaxWords)
        return;
    addItem(FromWire(word));
    Save();
}

void CEmotionList::RemoveCurrent() {
    const QList<QListWidgetItem*> selected = selectedItems();
    if (selected.isEmpty())
        return;
    delete takeItem(row(selected.front()));
    Save();
}

QMenu* CEmotionList::BuildEditMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    // The global list comes from the server, so editing waits for a connection.
    AddMenuItem(menu, QStringLiteral("Edit Emotions..."), ID_EDIT_EMOTIONS,
                m_commands.IsConnected());
    return menu;
}

QMenu* CEmotionList::BuildListMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    AddMenuItem(menu, QStringLiteral("Add emotion to list..."), ID_ADD_EMOTION,
                m_commands.IsConnected());
    AddMenuItem(menu, QStringLiteral("Remove emotion from list"), ID_REMOVE_EMOTION,
                !selectedItems().isEmpty());
    AddMenuItem(menu, QStringLiteral("Edit emotion list..."), ID_EDIT_EMOTIONS, true);
    return menu;
}

void CEmotionList::OnCommand(int id) {
    switch (id) {
    case ID_ADD_EMOTION: {
        CAddEmotionDlg dialog(this);
        if (m_dialogs.RunModal(&dialog) == QDialog::Accepted)
            AddWord(dialog.Word());
        break;
    }
    case ID_REMOVE_EMOTION:
        RemoveCurrent();
        break;
    case ID_EDIT_EMOTIONS:
        if (m_context.m_pProtocol != nullptr)
            m_context.m_pProtocol->RequestEmotions();
        break;
    default:
        break;
    }
}

void CEmotionList::RunMenu(QMenu* menu, const QPoint& globalPos) {
    QAction* chosen = menu->exec(globalPos);
    const int id = chosen ? chosen->data().toInt() : 0;
    delete menu;
    if (id != 0)
        OnCommand(id);
}

void CEmotionList::mouseDoubleClickEvent(QMouseEvent* event) {
    QListWidget::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton)
        Perform();
}

void CEmotionList::contextMenuEvent(QContextMenuEvent* event) {
    if (event->reason() == QContextMenuEvent::Mouse)
        RunMenu(BuildEditMenu(this), event->globalPos());
    else
        RunMenu(BuildListMenu(this), event->globalPos());
}
