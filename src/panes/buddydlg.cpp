#include "buddydlg.h"

#include "codepage.h"
#include "namekeylist.h"
#include "useractions.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <algorithm>

using kivra::platform::FromWire;
using kivra::platform::ToWireString;

namespace {
constexpr const char kIdProperty[] = "controlId";

std::string TrimBlanks(std::string s) {
    const std::size_t first = s.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    const std::size_t last = s.find_last_not_of(' ');
    return s.substr(first, last - first + 1);
}

std::string CutTrailingBlanks(std::string s) {
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    return s;
}
} // namespace

CBuddyDlg::CBuddyDlg(CUserActions& actions, QWidget* parent)
    : QDialog(parent), m_actions(actions), m_pName(new QLineEdit(this)),
      m_pList(new QListWidget(this)) {
    setWindowTitle(QStringLiteral("Add Buddy"));
    m_pName->setProperty(kIdProperty, int(IDC_NAME));
    m_pName->setMaxLength(kMaxName);
    m_pList->setProperty(kIdProperty, int(IDC_LIST));
    auto* nameLabel = new QLabel(QStringLiteral("&Name:"), this);
    nameLabel->setBuddy(m_pName);
    auto* listLabel = new QLabel(QStringLiteral("&Buddies:"), this);
    listLabel->setBuddy(m_pList);
    auto* add = new QPushButton(QStringLiteral("&Add"), this);
    auto* remove = new QPushButton(QStringLiteral("&Remove"), this);
    auto* removeAll = new QPushButton(QStringLiteral("Remove A&ll"), this);
    auto* ok = new QPushButton(QStringLiteral("Ok"), this);
    add->setAutoDefault(false);
    remove->setAutoDefault(false);
    removeAll->setAutoDefault(false);
    ok->setDefault(true);
    auto* grid = new QGridLayout(this);
    grid->addWidget(nameLabel, 0, 0);
    grid->addWidget(m_pName, 0, 1);
    grid->addWidget(add, 0, 2);
    grid->addWidget(listLabel, 1, 0, Qt::AlignTop);
    grid->addWidget(m_pList, 1, 1, 3, 1);
    grid->addWidget(remove, 1, 2);
    grid->addWidget(removeAll, 2, 2);
    grid->addWidget(ok, 4, 2);
    connect(add, &QPushButton::clicked, this, [this] { OnAdd(); });
    connect(remove, &QPushButton::clicked, this, [this] { OnRemove(); });
    connect(removeAll, &QPushButton::clicked, this, [this] { OnRemoveAll(); });
    connect(ok, &QPushButton::clicked, this, [this] { accept(); });
}

int CBuddyDlg::FindRow(const std::string& name) const {
    for (int row = 0; row < m_pList->count(); ++row)
        if (EqualsNoCase(ToWireString(m_pList->item(row)->text()), name))
            return row;
    return -1;
}

void CBuddyDlg::AddServerBuddy(const std::string& entry) {
    const std::string name = TrimBlanks(MakeDisplayName(CUserActions::CleanName(entry)));
    if (name.empty() || FindRow(name) >= 0)
        return;
    auto* item = new QListWidgetItem(FromWire(name), m_pList);
    item->setData(Qt::UserRole, 0);
}

void CBuddyDlg::OnAdd() {
    std::string name = CUserActions::CleanName(ToWireString(m_pName->text()));
    if (name.size() > std::size_t(kMaxName))
        name.resize(std::size_t(kMaxName));
    name = TrimBlanks(name);
    if (!name.empty()) {
        const auto it = std::find_if(m_removed.begin(), m_removed.end(),
                                     [&](const std::string& r) { return EqualsNoCase(r, name); });
        if (it != m_removed.end())
            m_removed.erase(it);
        if (FindRow(name) < 0) {
            auto* item = new QListWidgetItem(FromWire(name));
            item->setData(Qt::UserRole, 1);
            m_pList->insertItem(0, item);
        }
    }
    m_pName->clear();
    m_pName->setFocus();
}

void CBuddyDlg::RemoveRow(int row) {
    QListWidgetItem* item = m_pList->takeItem(row);
    if (item == nullptr)
        return;
    if (item->data(Qt::UserRole).toInt() == 0)
        m_removed.push_back(ToWireString(item->text()));
    delete item;
}

void CBuddyDlg::OnRemove() {
    RemoveRow(m_pList->currentRow());
}

void CBuddyDlg::OnRemoveAll() {
    while (m_pList->count() > 0)
        RemoveRow(0);
}

void CBuddyDlg::accept() {
    // A name typed but not yet added counts: Ok is the default button, so Enter in the field
    // would otherwise drop what was just typed.
    if (!TrimBlanks(ToWireString(m_pName->text())).empty())
        OnAdd();
    for (const auto& [name, data] : Entries())
        if (data == 1)
            m_actions.AddBuddies({CutTrailingBlanks(name)});
    for (const std::string& name : m_removed)
        m_actions.RemoveBuddy(CutTrailingBlanks(name));
    m_removed.clear();
    QDialog::accept();
}

std::vector<std::pair<std::string, int>> CBuddyDlg::Entries() const {
    std::vector<std::pair<std::string, int>> out;
    for (int row = 0; row < m_pList->count(); ++row)
        out.emplace_back(ToWireString(m_pList->item(row)->text()),
                         m_pList->item(row)->data(Qt::UserRole).toInt());
    return out;
}
