#include "privatemsgwnd.h"

#include "chatcontext.h"
#include "chatprotocol.h"
#include "codepage.h"
#include "namekeylist.h"
#include "pgedit.h"
#include "privatemsgmanager.h"
#include "rtvmessages.h"
#include "useractions.h"

#include <QApplication>
#include <QCloseEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSizeGrip>
#include <QStyle>

using kivra::platform::FromWire;
using kivra::platform::ToWireString;

namespace {
constexpr const char kIdProperty[] = "controlId";
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 23;

QPushButton* MakeButton(QWidget* parent, const QString& text, int id) {
    auto* b = new QPushButton(text, parent);
    b->setProperty(kIdProperty, id);
    b->setAutoDefault(false);
    b->resize(kButtonWidth, kButtonHeight);
    return b;
}
} // namespace

CPrivateMsgWnd::CPrivateMsgWnd(CPrivateMsgManager& manager, CChatContext& context,
                               IViewCommands& commands, kivra::platform::DialogService& dialogs,
                               const std::string& name, QWidget* parent)
    : QDialog(parent, Qt::Window), m_manager(manager), m_context(context), m_commands(commands),
      m_strDisplayName(MakeDisplayName(CUserActions::CleanName(name))),
      m_strWireName(CUserActions::WireName(m_strDisplayName)) {
    setModal(false);
    setAttribute(Qt::WA_DeleteOnClose, false);
    setObjectName(QStringLiteral("CPrivateMsgWnd"));
    setWindowTitle(QStringLiteral("Private: %1").arg(FromWire(m_strDisplayName)));

    m_pView = new CPGEdit(context, commands, dialogs, CPGEdit::KIND_PRIVATE, this, IDC_VIEW);
    m_pView->setProperty(kIdProperty, int(IDC_VIEW));
    std::int32_t margins[4] = {10, 0, 10, 0};
    m_pView->SendMessage(RTV_SETMARGINS, 0, reinterpret_cast<std::intptr_t>(margins));
    m_pView->ApplyFontSettings();

    m_pInput = new QLineEdit(this);
    m_pInput->setProperty(kIdProperty, int(IDC_INPUT));
    m_pInput->setMaxLength(kMaxInput);
    m_pSend = MakeButton(this, QStringLiteral("Send"), IDC_SEND);
    m_pIgnore = MakeButton(this, QStringLiteral("Ignore"), IDC_IGNORE);
    m_pGoto = MakeButton(this, QStringLiteral("Goto"), IDC_GOTO);
    m_pClose = MakeButton(this, QStringLiteral("Close"), IDC_CLOSE);
    // Greet has no place in the layout; it answers its id only.
    m_pGreet = MakeButton(this, QStringLiteral("Greet"), IDC_GREET);
    m_pGreet->hide();
    for (QPushButton* b : {m_pSend, m_pIgnore, m_pGoto, m_pClose, m_pGreet}) {
        const int id = b->property(kIdProperty).toInt();
        connect(b, &QPushButton::clicked, this, [this, id] { PressButton(id); });
    }
    m_pGrip = new QSizeGrip(this);

    SetIcon(ICON_QUIET);
    resize(400, 280);
    m_bInitialised = true;
    Layout();
}

CPrivateMsgWnd::~CPrivateMsgWnd() = default;

QPushButton* CPrivateMsgWnd::Button(int id) const {
    switch (id) {
    case IDC_SEND:
        return m_pSend;
    case IDC_CLOSE:
        return m_pClose;
    case IDC_IGNORE:
        return m_pIgnore;
    case IDC_GOTO:
        return m_pGoto;
    case IDC_GREET:
        return m_pGreet;
    default:
        return nullptr;
    }
}

void CPrivateMsgWnd::SetIcon(int id) {
    m_nIcon = id;
    setWindowIcon(QIcon(QStringLiteral(":/kivra/icons/%1.png").arg(id)));
}

void CPrivateMsgWnd::SetUnitKind(int kind) {
    m_nUnitKind = kind;
    m_bBeeped = false;
}

void CPrivateMsgWnd::BringUp(bool ownEcho) {
    // An incoming tell marks the window; the user's own echo shows it quiet again. Neither
    // takes the focus from whatever the user is typing into.
    SetIcon(ownEcho ? ICON_QUIET : ICON_INCOMING);
    if (isHidden())
        show();
}

IOutputView* CPrivateMsgWnd::View() {
    return m_pView;
}

void CPrivateMsgWnd::AppendIncoming(const char* text, std::size_t length) {
    m_pView->AppendText(text, length, 1);
    m_pView->FinishAppend();
    // A tell arrives in several runs (name, colour, text); it sounds once.
    if (m_nUnitKind == 1 && m_context.m_bSoundPM && !m_bBeeped && m_context.m_pPanel) {
        m_bBeeped = true;
        m_context.m_pPanel->Beep();
    }
}

bool CPrivateMsgWnd::PressButton(int id) {
    switch (id) {
    case IDC_SEND:
        SendText(m_pInput->text());
        return true;
    case IDC_CLOSE:
        CloseWindow();
        return true;
    case IDC_IGNORE:
        m_manager.Actions().Ignore(m_strDisplayName);
        CloseWindow();
        return true;
    case IDC_GOTO:
        m_manager.Actions().Goto(m_strDisplayName);
        return true;
    case IDC_GREET:
        if (m_context.m_pProtocol)
            m_context.m_pProtocol->SendTell(m_strWireName.c_str(), kGreeting);
        showMinimized();
        return true;
    default:
        return false;
    }
}

void CPrivateMsgWnd::SendText(const QString& text) {
    if (m_commands.IsIgnoring(m_strWireName)) {
        CloseWindow();
        return;
    }
    const std::string message = ToWireString(text.left(kMaxSend));
    if (!message.empty() && m_context.m_pProtocol) {
        m_context.m_nScrollHold = 0;
        m_context.m_pProtocol->SendTell(m_strWireName.c_str(), message.c_str());
    }
    m_pInput->clear();
    m_pInput->setFocus();
}

void CPrivateMsgWnd::RestoreAndActivate() {
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

bool CPrivateMsgWnd::IsFocusInside(const QWidget* focus) const {
    if (focus == nullptr)
        return false;
    return focus == m_pInput || focus == m_pView || focus == m_pView->viewport() ||
           focus == m_pSend || focus == m_pClose || focus == m_pIgnore || focus == m_pGoto;
}

void CPrivateMsgWnd::CloseWindow() {
    if (!m_bCreated)
        return;
    m_bCreated = false;
    hide();
    m_manager.OnWindowClosed(this);
    deleteLater();
}

void CPrivateMsgWnd::closeEvent(QCloseEvent* event) {
    event->accept();
    CloseWindow();
}

void CPrivateMsgWnd::reject() {
    // Escape closes the conversation as the Close button does.
    CloseWindow();
}

void CPrivateMsgWnd::keyPressEvent(QKeyEvent* event) {
    // Enter sends, from the input field (which passes it on) or wherever else it is not taken.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        PressButton(IDC_SEND);
        return;
    }
    QDialog::keyPressEvent(event);
}

bool CPrivateMsgWnd::focusNextPrevChild(bool next) {
    QWidget* const cycle[] = {m_pInput, m_pSend, m_pIgnore, m_pGoto, m_pClose};
    constexpr int n = 5;
    const QWidget* focus = focusWidget();
    int at = -1;
    for (int i = 0; i < n; ++i)
        if (cycle[i] == focus)
            at = i;
    QWidget* to = nullptr;
    if (at < 0)
        to = next ? static_cast<QWidget*>(m_pInput) : m_pGoto;
    else
        to = cycle[(at + (next ? 1 : n - 1)) % n];
    to->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}

void CPrivateMsgWnd::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    Layout();
}

void CPrivateMsgWnd::Layout() {
    if (!m_bInitialised)
        return;
    const int w = m_pIgnore->width();
    const int h = m_pIgnore->height();
    const int W = width();
    const int H = height();
    if (W < 3 * w + 70)
        return;
    const int row = H - h - 10;
    m_pIgnore->move(10, row);
    m_pGoto->move(w + 20, row);
    m_pClose->move(2 * w + 60, row);
    const int inputH = m_pInput->sizeHint().height();
    const int inputY = row - 10 - inputH;
    m_pInput->setGeometry(10, inputY, W - 80, inputH);
    m_pSend->setGeometry(W - 60, inputY, 50, inputH);
    m_pView->setGeometry(10, 10, W - 20, inputY - 20);
    const int gw = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    m_pGrip->setGeometry(W - gw, H - gw, gw, gw);
    m_pGrip->raise();
    update();
}
