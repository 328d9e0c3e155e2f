#include "emotioneditdlg.h"

#include "codepage.h"
#include "emotionlist.h"
#include <algorithm>

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

using kivra::platform::FromWire;
using kivra::platform::ToWireString;

namespace {

QPushButton* MakeButton(QWidget* parent, const char* text, int id) {
    auto* b = new QPushButton(QString::fromLatin1(text), parent);
    b->setProperty("controlId", id);
    b->setAutoDefault(false);
    return b;
}

} // namespace

CEmotionEditDlg::CEmotionEditDlg(CEmotionList& pane, QWidget* parent)
    : QDialog(parent), m_pane(pane), m_pGlobal(new QListWidget(this)),
      m_pLocal(new QListWidget(this)) {
    setWindowTitle(QStringLiteral("Emotions"));
    m_pGlobal->setProperty("controlId", int(IDC_GLOBAL));
    m_pGlobal->setSelectionMode(QAbstractItemView::MultiSelection);
    m_pLocal->setProperty("controlId", int(IDC_LOCAL));
    m_pLocal->setSelectionMode(QAbstractItemView::SingleSelection);
    auto* add = MakeButton(this, "Add", IDC_ADD);
    auto* remove = MakeButton(this, "Remove", IDC_REMOVE);
    auto* addAll = MakeButton(this, "Add All", IDC_ADD_ALL);
    auto* removeAll = MakeButton(this, "Remove All", IDC_REMOVE_ALL);
    connect(add, &QPushButton::clicked, this, [this] { Add(); });
    connect(remove, &QPushButton::clicked, this, [this] { Remove(); });
    connect(addAll, &QPushButton::clicked, this, [this] { AddAll(); });
    connect(removeAll, &QPushButton::clicked, this, [this] { RemoveAll(); });
    connect(m_pGlobal, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* it) { GlobalDoubleClicked(m_pGlobal->row(it)); });
    connect(m_pLocal, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* it) { LocalDoubleClicked(m_pLocal->row(it)); });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { accept(); });
    connect(buttons, &QDialogButtonBox::rejected, this, [this] { reject(); });

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Global Emotion List"), this), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("Local Emotion List"), this), 0, 2);
    grid->addWidget(m_pGlobal, 1, 0);
    auto* middle = new QVBoxLayout;
    for (QPushButton* b : {add, remove, addAll, removeAll})
        middle->addWidget(b);
    middle->addStretch();
    grid->addLayout(middle, 1, 1);
    grid->addWidget(m_pLocal, 1, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);
}

void CEmotionEditDlg::AddServerEmotion(const std::string& word) {
    if (m_serverWords.size() < kMaxServerWords)
        m_serverWords.push_back(word);
}

void CEmotionEditDlg::InitDialog() {
    m_pGlobal->clear();
    m_pLocal->clear();
    for (auto it = m_serverWords.rbegin(); it != m_serverWords.rend(); ++it)
        m_pGlobal->addItem(FromWire(*it));
    const std::vector<std::string> words = m_pane.Words();
    for (auto it = words.rbegin(); it != words.rend(); ++it)
        m_pLocal->addItem(FromWire(*it));
}

bool CEmotionEditDlg::LocalHas(const QString& text) const {
    // As a list box's exact search: letters in any case are the same word.
    for (int i = 0; i < m_pLocal->count(); ++i)
        if (m_pLocal->item(i)->text().compare(text, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

void CEmotionEditDlg::Add() {
    for (int i = m_pGlobal->count() - 1; i >= 0; --i) {
        QListWidgetItem* it = m_pGlobal->item(i);
        if (!it->isSelected())
            continue;
        it->setSelected(false);
        if (!LocalHas(it->text()))
            m_pLocal->addItem(it->text());
    }
}

void CEmotionEditDlg::AddAll() {
    for (int i = 0; i < m_pGlobal->count(); ++i)
        m_pGlobal->item(i)->setSelected(true);
    Add();
}

void CEmotionEditDlg::Remove() {
    for (int i = m_pLocal->count() - 1; i >= 0; --i)
        if (m_pLocal->item(i)->isSelected())
            delete m_pLocal->takeItem(i);
}

void CEmotionEditDlg::RemoveAll() {
    m_pLocal->clear();
}

void CEmotionEditDlg::GlobalDoubleClicked(int row) {
    const QListWidgetItem* it = m_pGlobal->item(row);
    if (it != nullptr && !LocalHas(it->text()))
        m_pLocal->insertItem(0, it->text());
}

void CEmotionEditDlg::LocalDoubleClicked(int row) {
    delete m_pLocal->takeItem(row);
}

std::vector<std::string> CEmotionEditDlg::Texts(const QListWidget* list) {
    std::vector<std::string> out;
    for (int i = 0; i < list->count(); ++i)
        out.push_back(ToWireString(list->item(i)->text()));
    return out;
}

void CEmotionEditDlg::accept() {
    // The local list shows the pane reversed; reading it backwards gives the pane its order back.
    std::vector<std::string> words = Texts(m_pLocal);
    std::reverse(words.begin(), words.end());
    m_pane.SetWords(words);
    m_pane.Save();
    if (ISettingsStore* store = m_pane.Settings())
        store->WriteProfileInt(CEmotionList::kSection, "Count", std::uint32_t(words.size()));
    QDialog::accept();
}

CAddEmotionDlg::CAddEmotionDlg(QWidget* parent) : QDialog(parent), m_pWord(new QLineEdit(this)) {
    setWindowTitle(QStringLiteral("Add Emotion"));
    m_pWord->setProperty("controlId", int(IDC_WORD));
    m_pWord->setMaxLength(kMaxWord);
    auto* label = new QLabel(QStringLiteral("New Emotion:"), this);
    label->setBuddy(m_pWord);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("Add"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { accept(); });
    connect(buttons, &QDialogButtonBox::rejected, this, [this] { reject(); });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_pWord);
    layout->addWidget(buttons);
}

std::string CAddEmotionDlg::Word() const {
    QString word = m_pWord->text();
    word.remove(QLatin1Char('\r')).remove(QLatin1Char('\n')).remove(QChar(0));
    return ToWireString(word.trimmed());
}

void CAddEmotionDlg::accept() {
    // An empty word would end the stored list early; the dialog stays open for another.
    if (Word().empty()) {
        m_pWord->setFocus();
        return;
    }
    QDialog::accept();
}
