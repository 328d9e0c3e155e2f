#include "configtabs.h"

#include "chatprotocol.h"
#include "codepage.h"
#include "dialogservice.h"
#include "settingsstore.h"
#include "useroptions.h"

#include "ui_avatartab.h"
#include "ui_generaltab.h"
#include "ui_usertab.h"

#include <cstring>

using kivra::platform::FromWire;
using kivra::platform::ToWire;

namespace {

// What goes to the server must stay one line: CR, LF and NUL are dropped from a single-line
// field, and the text is cut to the 255 bytes the record keeps.
QByteArray OneLineWire(QString text) {
    text.remove(QLatin1Char('\r'));
    text.remove(QLatin1Char('\n'));
    text.remove(QChar(0));
    return ToWire(text).left(255);
}

template <std::size_t N> void CopyField(char (&field)[N], const QByteArray& bytes) {
    const std::size_t n = std::min<std::size_t>(std::size_t(bytes.size()), N - 1);
    std::memcpy(field, bytes.constData(), n);
    field[n] = '\0';
}

// A multi-line field becomes one list entry per line (each cut to 255 bytes); a last empty line
// (the text ends with a line end) is no entry.
void CopyLines(CStringArray& lines, QString text) {
    text.remove(QLatin1Char('\r'));
    text.remove(QChar(0));
    QStringList parts = text.split(QLatin1Char('\n'));
    if (!parts.isEmpty() && parts.back().isEmpty())
        parts.removeLast();
    lines.Free();
    for (const QString& part : parts)
        lines.Append(ToWire(part).left(255).toStdString());
}

QString JoinLines(const CStringArray& lines) {
    QStringList parts;
    for (const std::string& line : lines.Items())
        parts << FromWire(line);
    return parts.join(QLatin1Char('\n'));
}

} // namespace

// General ------------------------------------------------------------------------------------

CGeneralTab::CGeneralTab(CConfigDlg& sheet)
    : CConfigPage(sheet, QStringLiteral("General")), m_ui(std::make_unique<Ui::CGeneralTab>()) {
    m_ui->setupUi(this);
    CUserOptions& o = Sheet().Options();
    connect(m_ui->followCombo, &QComboBox::currentIndexChanged, this, [this, &o] {
        OnPermissionChosen(m_ui->followCombo, o.m_nAllowFollow, CUserOptions::CHANGED_FOLLOW);
    });
    connect(m_ui->gotoCombo, &QComboBox::currentIndexChanged, this, [this, &o] {
        OnPermissionChosen(m_ui->gotoCombo, o.m_nAllowGoto, CUserOptions::CHANGED_GOTO);
    });
    connect(m_ui->soundPM, &QCheckBox::toggled, this, [this] {
        if (!m_bLoading)
            SetModified();
    });
    connect(m_ui->maxPMCombo, &QComboBox::currentTextChanged, this, [this] {
        if (!m_bLoading)
            SetModified();
    });
}

CGeneralTab::~CGeneralTab() = default;

void CGeneralTab::OnPermissionChosen(QComboBox* combo, std::int32_t& value, std::uint32_t bit) {
    if (m_bLoading || combo->currentIndex() < 0)
        return;
    const QString text = combo->currentText();
    if (text.compare(QLatin1String("ask me"), Qt::CaseInsensitive) == 0)
        value = CUserOptions::PERMIT_ASK;
    else if (text.compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0)
        value = CUserOptions::PERMIT_YES;
    else if (text.compare(QLatin1String("no"), Qt::CaseInsensitive) == 0)
        value = CUserOptions::PERMIT_NO;
    Sheet().Options().m_dwChangeMask |= bit;
    SetModified();
}

void CGeneralTab::OnSetActive() {
    m_bLoading = true;
    const CUserOptions& o = Sheet().Options();
    // 0 shows "Ask Me", 1 "Yes", 2 "No"; any other value leaves the list without a selection.
    auto show = [](QComboBox* combo, std::int32_t value) {
        combo->setCurrentIndex(value == CUserOptions::PERMIT_YES   ? 0
                               : value == CUserOptions::PERMIT_NO  ? 1
                               : value == CUserOptions::PERMIT_ASK ? 2
                                                                   : -1);
    };
    show(m_ui->followCombo, o.m_nAllowFollow);
    show(m_ui->gotoCombo, o.m_nAllowGoto);
    // The local settings are read once per sheet, so that leaving the page and coming back
    // keeps what the user typed.
    if (!m_bLoadedLocal) {
        ISettingsStore& store = Sheet().Settings();
        m_ui->soundPM->setChecked(store.GetProfileInt(kSectionPM, "Sound PM", 0) != 0);
        const QString max = FromWire(store.GetProfileString(kSectionPM, "MAX PM", "50"));
        const int index = m_ui->maxPMCombo->findText(max);
        if (index >= 0)
            m_ui->maxPMCombo->setCurrentIndex(index);
        m_ui->maxPMCombo->setEditText(max);
        m_bLoadedLocal = true;
    }
    m_bLoading = false;
}

int CGeneralTab::ParseMaxPMText(const QString& text) {
    const QString t = text.trimmed();
    if (t == QLatin1String("NONE"))
        return 0;
    if (t.isEmpty() || t.size() > 4)
        return -1;
    for (const QChar c : t)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return -1;
    return t.toInt();
}

bool CGeneralTab::Validate() {
    if (ParseMaxPMText(m_ui->maxPMCombo->currentText()) >= 0)
        return true;
    Sheet().Dialogs().MessageBox(this,
                                 QStringLiteral("\"Max Private Message Dialogs:\" takes a whole "
                                                "number from 0 to 9999, or NONE."),
                                 QStringLiteral("Warning"), MB_ICONEXCLAMATION);
    m_ui->maxPMCombo->setFocus();
    return false;
}

void CGeneralTab::OnApply() {
    ISettingsStore& store = Sheet().Settings();
    CChatContext& ctx = Sheet().Context();
    const bool sound = m_ui->soundPM->isChecked();
    store.WriteProfileInt(kSectionPM, "Sound PM", sound ? 1 : 0);
    ctx.m_bSoundPM = sound;
    const QString max = m_ui->maxPMCombo->currentText().trimmed();
    store.WriteProfileString(kSectionPM, "MAX PM", ToWire(max).constData());
    ctx.m_nMaxPM = std::max(0, ParseMaxPMText(max));
    Sheet().Options().SendChanges(1);
}

// User ---------------------------------------------------------------------------------------

CUserTab::CUserTab(CConfigDlg& sheet)
    : CConfigPage(sheet, QStringLiteral("User ")), m_ui(std::make_unique<Ui::CUserTab>()) {
    m_ui->setupUi(this);
    auto changed = [this] {
        if (!m_bLoading)
            SetModified();
    };
    connect(m_ui->emailEdit, &QLineEdit::textChanged, this, changed);
    connect(m_ui->homepageEdit, &QLineEdit::textChanged, this, changed);
    // The multi-line fields hold 255 characters each, as the single-line ones do.
    for (QPlainTextEdit* edit : {m_ui->descriptionEdit, m_ui->addressEdit}) {
        connect(edit, &QPlainTextEdit::textChanged, this, [edit, changed] {
            if (const QString text = edit->toPlainText(); text.size() > 255) {
                edit->setPlainText(text.left(255));
                edit->moveCursor(QTextCursor::End);
            }
            changed();
        });
    }
}

CUserTab::~CUserTab() = default;

void CUserTab::OnSetActive() {
    m_bLoading = true;
    const CUserOptions& o = Sheet().Options();
    m_loaded[0] = FromWire(o.m_szEmail);
    m_loaded[1] = FromWire(o.m_szHomepage);
    m_loaded[2] = JoinLines(o.m_description);
    m_loaded[3] = JoinLines(o.m_address);
    m_ui->emailEdit->setText(m_loaded[0]);
    m_ui->homepageEdit->setText(m_loaded[1]);
    m_ui->descriptionEdit->setPlainText(m_loaded[2]);
    m_ui->addressEdit->setPlainText(m_loaded[3]);
    m_bLoading = false;
}

void CUserTab::OnKillActive() {
    CUserOptions& o = Sheet().Options();
    if (const QString t = m_ui->emailEdit->text(); t != m_loaded[0]) {
        CopyField(o.m_szEmail, OneLineWire(t));
        o.m_dwChangeMask |= CUserOptions::CHANGED_EMAIL;
    }
    if (const QString t = m_ui->homepageEdit->text(); t != m_loaded[1]) {
        CopyField(o.m_szHomepage, OneLineWire(t));
        o.m_dwChangeMask |= CUserOptions::CHANGED_HOMEPAGE;
    }
    if (const QString t = m_ui->descriptionEdit->toPlainText(); t != m_loaded[2]) {
        CopyLines(o.m_description, t);
        o.m_dwChangeMask |= CUserOptions::CHANGED_DESCRIPTION;
    }
    if (const QString t = m_ui->addressEdit->toPlainText(); t != m_loaded[3]) {
        CopyLines(o.m_address, t);
        o.m_dwChangeMask |= CUserOptions::CHANGED_ADDRESS;
    }
    // What is copied back now counts as loaded, so a later leave copies only new edits.
    m_loaded[0] = m_ui->emailEdit->text();
    m_loaded[1] = m_ui->homepageEdit->text();
    m_loaded[2] = m_ui->descriptionEdit->toPlainText();
    m_loaded[3] = m_ui->addressEdit->toPlainText();
}

void CUserTab::OnApply() {
    Sheet().Options().SendChanges(2);
}

// User Icon ----------------------------------------------------------------------------------

CAvatarTab::CAvatarTab(CConfigDlg& sheet)
    : CConfigPage(sheet, QStringLiteral("User Icon")), m_ui(std::make_unique<Ui::CAvatarTab>()) {
    m_ui->setupUi(this);
    connect(m_ui->showAvatars, &QCheckBox::clicked, this, [this] { SetModified(); });
}

CAvatarTab::~CAvatarTab() = default;

void CAvatarTab::OnSetActive() {
    const CChatContext& ctx = Sheet().Context();
    m_ui->showAvatars->setChecked(ctx.m_bShowAvatars);
    // The page's DISABLEAVATARS switch takes the choice away from the user.
    m_ui->showAvatars->setEnabled(!ctx.IsOptionSet(CHATOPT_NOAVATARS));
}

void CAvatarTab::OnApply() {
    CChatContext& ctx = Sheet().Context();
    ISettingsStore& store = Sheet().Settings();
    // The page's DISABLEAVATARS switch: OK changes nothing here.
    if (ctx.IsOptionSet(CHATOPT_NOAVATARS))
        return;
    store.WriteProfileInt(kSectionMain, "Delay", std::uint32_t(m_nDelay));
    const bool on = m_ui->showAvatars->isChecked();
    WriteProfileFlag(store, kSectionMain, "Show Avatars", on);
    ctx.m_bShowAvatars = on;
    ctx.m_bShowAvatarsSetting = on;
    if (ctx.m_pProtocol != nullptr && ctx.m_pTransport != nullptr &&
        ctx.m_pTransport->IsConnected())
        ctx.m_pProtocol->Send(on ? "\x01<begin>\n<displayavatars> on\n<end>\n"
                                 : "\x01<begin>\n<displayavatars> off\n<end>\n");
}
