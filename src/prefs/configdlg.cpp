#include "configdlg.h"

#include "configtabs.h"
#include "useroptions.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

CConfigPage::CConfigPage(CConfigDlg& sheet, const QString& caption)
    : m_sheet(sheet), m_caption(caption) {}

void CConfigPage::SetModified() {
    m_sheet.SetModified(true);
}

CConfigDlg::CConfigDlg(CChatContext& context, ISettingsStore& settings,
                       kivra::platform::DialogService& dialogs, CConfigHooks hooks, QWidget* parent)
    : QDialog(parent), m_context(context), m_pOptions(context.m_pUserOptions), m_settings(settings),
      m_dialogs(dialogs), m_hooks(std::move(hooks)) {
    // The sheet edits what the server sent; without a record it edits the defaults.
    if (!m_pOptions)
        m_pOptions = std::make_shared<CUserOptions>(&context);
    setWindowTitle(QStringLiteral("Kivra Preferences"));
    setObjectName(QStringLiteral("CConfigDlg"));
    m_pTabs = new QTabWidget(this);
    m_pages = {new CGeneralTab(*this), new CUserTab(*this), new CDispTab(*this),
               new CAvatarTab(*this)};
    for (CConfigPage* page : m_pages)
        m_pTabs->addTab(page, page->Caption());
    m_pButtons = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
    m_pButtons->button(QDialogButtonBox::Apply)->setEnabled(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pTabs);
    layout->addWidget(m_pButtons);
    connect(m_pButtons, &QDialogButtonBox::accepted, this, &CConfigDlg::accept);
    connect(m_pButtons, &QDialogButtonBox::rejected, this, &CConfigDlg::reject);
    connect(m_pButtons->button(QDialogButtonBox::Apply), &QPushButton::clicked, this, [this] {
        if (Apply())
            SetModified(false);
    });
    connect(m_pTabs, &QTabWidget::currentChanged, this, &CConfigDlg::OnTabChanged);
    resize(460, 420);
}

CConfigDlg::~CConfigDlg() = default;

CConfigPage* CConfigDlg::Page(int index) const {
    return index >= 0 && index < int(m_pages.size()) ? m_pages[std::size_t(index)] : nullptr;
}

void CConfigDlg::Open() {
    if (m_nActive < 0)
        Activate(m_pTabs->currentIndex());
}

void CConfigDlg::Activate(int index) {
    CConfigPage* page = Page(index);
    if (page == nullptr)
        return;
    m_nActive = index;
    page->m_bShown = true;
    page->OnSetActive();
    if (m_hooks.eventLine)
        m_hooks.eventLine("[prefs] " + page->Caption().trimmed().toStdString());
}

void CConfigDlg::OnTabChanged(int index) {
    if (CConfigPage* old = Page(m_nActive); old != nullptr && index != m_nActive) {
        // A page with a value it cannot take stays in front until the value is mended.
        if (!old->Validate()) {
            const QSignalBlocker block(m_pTabs);
            m_pTabs->setCurrentIndex(m_nActive);
            return;
        }
        old->OnKillActive();
    }
    Activate(index);
}

bool CConfigDlg::Apply() {
    for (int i = 0; i < int(m_pages.size()); ++i) {
        if (m_pages[std::size_t(i)]->WasShown() && !m_pages[std::size_t(i)]->Validate()) {
            if (i != m_nActive) {
                if (CConfigPage* active = Page(m_nActive))
                    active->OnKillActive();
                const QSignalBlocker block(m_pTabs);
                m_pTabs->setCurrentIndex(i);
                Activate(i);
            }
            return false;
        }
    }
    if (CConfigPage* active = Page(m_nActive))
        active->OnKillActive();
    for (CConfigPage* page : m_pages)
        if (page->WasShown())
            page->OnApply();
    return true;
}

void CConfigDlg::accept() {
    if (Apply())
        QDialog::accept();
}

void CConfigDlg::SetModified(bool modified) {
    m_pButtons->button(QDialogButtonBox::Apply)->setEnabled(modified);
}
