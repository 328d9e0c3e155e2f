#include "chatpanel.h"

#include "buddydlg.h"
#include "cachepicturesource.h"
#include "chatprotocol.h"
#include "chatsession.h"
#include "chatsocket.h"
#include "chatstrings.h"
#include "codepage.h"
#include "commanddialogs.h"
#include "commandmenu.h"
#include "composetelldlg.h"
#include "configdlg.h"
#include "dialogservice.h"
#include "emotioneditdlg.h"
#include "emotionlist.h"
#include "filetransferui.h"
#include "gotodlg.h"
#include "imagecache.h"
#include "inputline.h"
#include "lineendfilter.h"
#include "pgedit.h"
#include "privatemsgmanager.h"
#include "privatemsgwnd.h"
#include "settingsstore.h"
#include "soundplayer.h"
#include "tickerwnd.h"
#include "useractions.h"
#include "userlist.h"
#include "viewcommands.h"
#include "whoisdialog.h"

#include <QApplication>
#include <QEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QIcon>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <QToolTip>
#include <filesystem>

namespace kivra::control {

namespace {
constexpr const char kIdProperty[] = "controlId";

void SetId(QWidget* w, int id, const char* name) {
    w->setProperty(kIdProperty, id);
    w->setObjectName(QString::fromLatin1(name));
}

QFrame* MakePane(QWidget* parent, int id, const char* name, bool sunken) {
    auto* pane = new QFrame(parent);
    SetId(pane, id, name);
    pane->setFrameStyle(sunken ? (QFrame::Panel | QFrame::Sunken) : QFrame::NoFrame);
    pane->setAutoFillBackground(true);
    QPalette pal = pane->palette();
    pal.setColor(QPalette::Window, Qt::white);
    pane->setPalette(pal);
    return pane;
}
} // namespace

CChatPanel::CChatPanel(QWidget* parent, IRazarSite& site, ISettingsStore& settings)
    : QWidget(parent), m_site(site), m_settings(settings) {
    setObjectName(QStringLiteral("CChatPanel"));
    // One face for every pane and button: the output view's default, which the font settings
    // may then change for the conversation alone.
    QFont face(QStringLiteral("Arial"));
    face.setPointSize(9);
    setFont(face);
    CKeyboardHook::SetTarget(this);
    m_context.m_pPanel = this;
    m_context.m_pSettings = &m_settings;
    ReadStartup();
    m_pTransport = std::make_unique<CChatSocket>(&m_context, true);
    m_pProtocol = std::make_unique<CChatProtocol>(&m_context);
    BuildItems();
    m_context.m_pTransport = m_pTransport.get();
    m_context.m_pProtocol = m_pProtocol.get();
    m_pTransport->SetNotifyWindow(this);
    m_pSession = std::make_unique<CChatSession>(m_context, *m_pTransport, *m_pProtocol, *this,
                                                m_site.Dialogs());
    m_pSession->SetBoxOwner(this);
    CChatSessionHooks hooks;
    hooks.focusInput = [this] {
        if (m_pInputLine != nullptr)
            m_pInputLine->setFocus();
    };
    hooks.reloadEmotions = [this] { m_pEmotions->Load(); };
    hooks.clearEmotions = [this] { m_pEmotions->clear(); };
    hooks.repaintOutput = [this] {
        if (m_pOutputView != nullptr)
            m_pOutputView->viewport()->update();
    };
    BuildFileTransfer(hooks);
    m_pSession->SetHooks(std::move(hooks));
    m_bInitialised = true;
    RecalcLayout();
}

CChatPanel::~CChatPanel() {
    if (m_pTransferUi != nullptr)
        m_pTransferUi->Shutdown();
    m_context.m_pFileTransfer = nullptr;
    for (unsigned id : {TIMER_FILEXFER_POLL, TIMER_SOCKET_POLL, TIMER_KEEPALIVE, TIMER_ABOUT})
        KillTimer(id);
    if (CKeyboardHook::Target() == this) {
        CKeyboardHook::SetTarget(nullptr);
        CKeyboardHook::Uninstall();
    }
    // The session stops its timers and closes the transport before anything it uses goes.
    if (m_pSession != nullptr)
        m_pSession->Shutdown();
    // The panes hold references to the context and the commands, which go before the QWidget
    // base would delete its children.
    m_context.m_pOutput = nullptr;
    m_context.m_pUserList = nullptr;
    m_context.m_pTicker = nullptr;
    m_context.m_pPanel = nullptr;
    m_context.m_pPrivateWindows = nullptr;
    // Pictures still on their way hold places in the output view: they go before it does.
    m_context.m_pPictures = nullptr;
    m_pTickerPictures.reset();
    m_context.m_pImageCache = nullptr;
    m_pImageCache.reset();
    m_pBuddyDlg.reset();
    m_pEmotionDlg.reset();
    m_pCompose.reset();
    m_pPrivate.reset();
    qDeleteAll(findChildren<QWidget*>(Qt::FindDirectChildrenOnly));
}

void CChatPanel::ReadStartup() {
    // The reads happen in the store's documented order; the cache folder is made with its
    // parents so the image cache can write at once.
    const StartupSettings s = ReadStartupSettings(m_settings);
    m_strInstallPath = s.installPath;
    m_strCacheFolder = s.cacheFolder;
    if (!s.cacheFolderReady) {
        std::error_code ec;
        std::filesystem::create_directories(m_strCacheFolder, ec);
    }
    m_context.m_bShowNameList = s.showNameList;
    m_context.m_bShowEmotionList = s.showEmotionList;
    m_context.m_bIgnoreMovement = s.ignoreMovement;
    m_context.m_bMonitor = s.monitor;
    m_context.m_bShowAvatarsSetting = s.showAvatars;
    m_context.m_nMaxPM = s.maxPM;
    m_context.m_bSoundPM = s.soundPM;
    // Starts on; once the user has switched it, the switch keeps the stored choice.
    m_context.m_bPlaySounds = GetProfileFlag(m_settings, kSectionMain, "Play Sounds", true);

    kivra::media::ImageDisplay display;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        display.depth = screen->depth();
    display.warn = [this](const std::string& text, const std::string& title) {
        MessageBox(text, title, MB_ICONEXCLAMATION);
    };
    m_pImageCache = std::make_unique<kivra::media::CImageCache>(
        [&site = m_site](const std::string& url, std::string& file,
                         const std::atomic<bool>& cancel) {
            char buffer[501] = {};
            const int rc = site.DownloadCancellable(url.c_str(), buffer, sizeof buffer, cancel);
            if (rc == 0)
                file = buffer;
            return rc;
        },
        s.maxCache, std::move(display));
    m_context.m_pImageCache = m_pImageCache.get();
    m_pTickerPictures = std::make_unique<CCachePictureSource>(*m_pImageCache);
    m_context.m_pPictures = m_pTickerPictures.get();
}

QToolButton* CChatPanel::MakeToolButton(int id, const char* icon) {
    auto* button = new QToolButton(this);
    SetId(button, id, icon);
    button->setAutoRaise(true);
    button->setIcon(QIcon(QStringLiteral(":/kivra/icons/%1.png").arg(QLatin1String(icon))));
    button->setIconSize(QSize(20, 20));
    button->setToolTip(TooltipText(id));
    connect(button, &QToolButton::clicked, this, [this, id] { OnCommand(id); });
    return button;
}

void CChatPanel::BuildItems() {
    m_pBackground = new QFrame(this);
    SetId(m_pBackground, IDC_BACKGROUND, "background");
    m_pBackground->setFrameStyle(QFrame::NoFrame);

    const char* icons[6] = {"menu", "openurl", "sendprivate", "showrooms", "ask", "help"};
    for (int i = 0; i < 6; ++i)
        m_toolButtons[i] = MakeToolButton(kToolButtonIds[i], icons[i]);

    m_pProgress = new QProgressBar(this);
    SetId(m_pProgress, IDC_PROGRESS, "progress");
    m_pProgress->setTextVisible(false);
    m_pProgress->setRange(0, 100);
    m_pProgress->setValue(0);
    m_pProgress->installEventFilter(this); // its tip follows the transfer

    m_pOutputFrame = MakePane(this, 0, "outputframe", true);
    m_pCommands = std::make_unique<CContextCommands>(m_context);
    m_pEmotions = new CEmotionList(m_context, *m_pCommands, m_site.Dialogs(), this);
    m_pEmotionList = m_pEmotions;
    m_pEmotions->Load();
    m_pCommands->m_selectedEmotion = [this] { return m_pEmotions->SelectedWord(); };
    m_pUserActions = std::make_unique<CUserActions>(m_context, *m_pCommands);
    m_pUsers = new CUserList(m_context, *m_pCommands, *m_pUserActions, this);
    SetId(m_pUsers, IDC_USERLIST, "userlist");
    m_pUserList = m_pUsers;
    m_context.m_pUserList = m_pUsers;
    m_pUsers->m_focusInput = [this] {
        if (m_pInputLine != nullptr)
            m_pInputLine->setFocus();
    };
    // The output view's user menu acts through the list's selection: one implementation.
    m_pCommands->m_userCommand = [this](int id) {
        m_pUsers->OnCommand(id);
        return true;
    };
    m_pCommands->m_openGoto = [this] { OpenGotoDialog(); };
    BuildPrivateMessages();
    m_pOutputView =
        new CPGEdit(m_context, *m_pCommands, m_site.Dialogs(), CPGEdit::KIND_MAIN, this);
    SetId(m_pOutputView, IDC_OUTPUTVIEW, "outputview");
    // The sunken output frame is the view's border.
    m_pOutputView->setFrameShape(QFrame::NoFrame);
    m_pOutputView->ApplyFontSettings();
    m_pInputLine = new CInputLine(m_context, *m_pCommands, m_site.Dialogs(), this);
    SetId(m_pInputLine, IDC_INPUTLINE, "inputline");
    m_pInputLine->setMaxLength(CInputLine::kMaxChars);
    // The Insert Sound dialog's preview plays through the same checked path as received sounds.
    m_pInputLine->SetSoundPlayer(
        [this](const QString& name) { PlaySound(kivra::platform::ToWireString(name)); });
    m_context.m_pOutput = m_pOutputView;

    m_smallButtons = m_pInputLine->CreateButtons(this);
    const char* smallIcons[3] = {"send", "emote", "think"};
    for (int i = 0; i < 3; ++i) {
        QPushButton* button = m_smallButtons[i];
        button->setProperty(kIdProperty, kSmallButtonIds[i]);
        button->setToolTip(TooltipText(kSmallButtonIds[i]));
        button->setText(QString());
        button->setIcon(
            QIcon(QStringLiteral(":/kivra/icons/%1.png").arg(QLatin1String(smallIcons[i]))));
        button->setIconSize(QSize(22, 22));
    }

    // A host that wants the conversation as text gets every append of the main view.
    if (IViewMirror* mirror = m_site.Mirror()) {
        auto filter = std::make_shared<LineEndFilter>();
        connect(m_pOutputView, &CPGEdit::textAppended, this, [mirror, filter](const QString& t) {
            const QByteArray bytes = kivra::platform::ToWire(t);
            const std::string plain =
                filter->Feed(std::string_view(bytes.constData(), bytes.size()));
            if (!plain.empty())
                mirror->MainText(plain);
        });
        connect(m_pOutputView, &CPGEdit::pictureInserted, this,
                [mirror](const QByteArray& url, int w, int h) {
                    mirror->PictureShown(std::string(url.constData(), std::size_t(url.size())), w,
                                         h);
                });
    }
    // The Ask a Question button waits for a room that takes questions.
    ShowAskButton(m_context.m_nAuditorium == 1);
}

QWidget* CChatPanel::CreateTicker() {
    if (m_pTicker != nullptr)
        return m_pTicker;
    auto* ticker = new CTickerWnd(m_context, this);
    ticker->hide();
    m_pTicker = ticker;
    m_pTickerWnd = ticker;
    m_context.m_pTicker = ticker;
    ticker->m_onLoaded = [this](const std::string& text) { m_site.EventLine("[ticker] " + text); };
    ticker->m_focusInput = [this] {
        if (m_pInputLine != nullptr)
            m_pInputLine->setFocus();
    };
    RecalcLayout();
    const std::string welcome =
        kivra::resources::LoadChatString(kivra::resources::IDS_TICKER_WELCOME);
    if (m_context.m_nTickerMessageCount > 0 || !welcome.empty()) {
        ticker->AddMessage(welcome);
        ticker->Start(5, 1);
        ticker->setVisible(!m_bProgressShowing);
    }
    return ticker;
}

void CChatPanel::ShowTransferBar(bool show) {
    m_bProgressShowing = show;
    m_pProgress->setVisible(show || m_pTickerWnd == nullptr);
    if (m_pTickerWnd != nullptr) {
        m_pTickerWnd->SetStopped(show);
        m_pTickerWnd->setVisible(!show);
    }
}

void CChatPanel::BuildFileTransfer(CChatSessionHooks& hooks) {
    m_pTransferUi = std::make_unique<CFileTransferUi>(m_context, m_site.Dialogs(), this,
                                                      kivra::filexfer::CFileXfer::Instance());
    CFileTransferUi& ui = *m_pTransferUi;
    m_context.m_pFileTransfer = &ui;
    hooks.startFileTransfer = [&ui](std::uint16_t port) { return ui.Start(port); };
    m_pCommands->m_transferState = [&ui] { return ui.State(); };
    m_pUserActions->m_sendFile = [&ui](const std::string& wireName) { ui.RequestSend(wireName); };
    m_pUserActions->m_cancelTransfer = [&ui] { ui.Cancel(); };
    ui.m_showBar = [this](bool show, int range) {
        if (show) {
            m_pProgress->setRange(0, range);
            m_pProgress->setValue(0);
        } else if (!m_bProgressShowing) {
            return;
        }
        ShowTransferBar(show);
        m_site.EventLine(show ? "[progress] show " + std::to_string(range) : "[progress] hide");
    };
    ui.m_setPosition = [this](int position) { m_pProgress->setValue(position); };
    ui.m_timer = [this](bool on) {
        if (on)
            SetTimer(TIMER_FILEXFER_POLL, CChatSession::kFileTransferPollMs);
        else
            KillTimer(TIMER_FILEXFER_POLL);
    };
}

void CChatPanel::RecalcLayout() {
    if (!m_bInitialised || m_bAboutShowing)
        return;
    const PanelLayout l = ComputePanelLayout(rect(), kToolbarHeight, m_context.m_bShowEmotionList,
                                             m_context.m_bShowNameList);
    m_pBackground->setGeometry(l.background);
    m_pBackground->lower();
    for (int i = 0; i < 6; ++i)
        m_toolButtons[i]->setGeometry(l.toolButtons[i]);
    m_pProgress->setGeometry(l.progress);
    if (m_pTicker != nullptr) {
        m_pTicker->setGeometry(l.ticker);
        m_pTicker->raise();
    }
    m_pUserList->setVisible(!l.userList.isNull());
    if (!l.userList.isNull())
        m_pUserList->setGeometry(l.userList);
    m_pEmotionList->setVisible(!l.emotionList.isNull());
    if (!l.emotionList.isNull())
        m_pEmotionList->setGeometry(l.emotionList);
    m_pInputLine->setGeometry(l.inputLine);
    for (int i = 0; i < 3; ++i)
        m_smallButtons[i]->setGeometry(l.smallButtons[i]);
    m_pOutputFrame->setGeometry(l.outputFrame);
    m_pOutputView->setGeometry(l.outputView);
    m_pOutputView->raise();
    m_pInputLine->raise();
}

QWidget* CChatPanel::Item(int id) const {
    const QList<QWidget*> children = findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* w : children) {
        if (w->property(kIdProperty).toInt() == id)
            return w;
    }
    return nullptr;
}

QString CChatPanel::TooltipText(int id) const {
    switch (id) {
    case IDC_OPENURL:
        return QStringLiteral("Open URL");
    case IDC_SENDPRIVATE:
        return QStringLiteral("Send Private Message");
    case IDC_HELP:
        return QStringLiteral("Help");
    case IDC_MENU:
        return QStringLiteral("Menu");
    case IDC_ASK:
        return QStringLiteral("Ask a Question");
    case IDC_SHOWROOMS:
        return QStringLiteral("Show Rooms");
    case IDC_PROGRESS:
        return m_pTransferUi != nullptr ? m_pTransferUi->Tooltip()
                                        : QStringLiteral("Idle transfer.");
    case IDC_SEND:
        return QStringLiteral("Send Message");
    case IDC_EMOTE:
        return QStringLiteral("Emote Message");
    case IDC_THINK:
        return QStringLiteral("Think Message");
    default:
        return {};
    }
}

bool CChatPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_pProgress && event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        QToolTip::showText(help->globalPos(), TooltipText(IDC_PROGRESS), m_pProgress);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void CChatPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    RecalcLayout();
}

void CChatPanel::StartSession() {
    m_pSession->Start();
}

int CChatPanel::SendToServer(const char* text) {
    if (m_context.m_pProtocol == nullptr)
        return 0;
    return m_context.m_pProtocol->Send(text);
}

void CChatPanel::ToggleDisplaySwitch(bool CChatContext::*flag, const char* valueName) {
    m_context.*flag = !(m_context.*flag);
    WriteProfileFlag(m_settings, kSectionMain, valueName, m_context.*flag);
    RecalcLayout();
    if (m_pInputLine != nullptr)
        m_pInputLine->setFocus();
    update();
}

void CChatPanel::OnCommand(int id) {
    switch (id) {
    case 103:
    case 144:
        break;
    case 106:
        ToggleDisplaySwitch(&CChatContext::m_bShowNameList, "Show Name List");
        break;
    case 107:
        ToggleDisplaySwitch(&CChatContext::m_bShowEmotionList, "Show Emotion List");
        break;
    case IDC_SENDPRIVATE:
        // With nobody selected the tool button writes one message to any name.
        if (m_pUsers != nullptr && !m_pUsers->Selection().empty())
            m_pUsers->StartPrivateMessage();
        else if (m_pCompose != nullptr)
            m_pCompose->Open();
        break;
    case CUserActions::ID_CANCEL_TRANSFER:
        // There is one transfer at most: cancelling it needs no selection.
        if (m_pTransferUi != nullptr)
            m_pTransferUi->Cancel();
        break;
    case CUserActions::ID_SEND_PM:
        if (m_pPrivate != nullptr && m_pUsers != nullptr)
            m_pPrivate->StartWithSelection(m_pUsers->Selection());
        break;
    case IDC_HELP:
    case 57670:
        Navigate(kivra::resources::LoadChatString(kivra::resources::IDS_HELP_URL),
                 "kivrahelpdisplay");
        break;
    case IDC_ASK:
        AskQuestion();
        break;
    case ID_CMD_OPEN_URL:
        OpenUrlDialog();
        break;
    case ID_CMD_MENU:
        OpenCommandMenu();
        break;
    case ID_CMD_SOUND_INCOMING:
        if (m_pOutputView != nullptr)
            m_pOutputView->OnCommand(id);
        break;
    case ID_CMD_ABOUT: {
        CAboutDlg about(this);
        m_site.Dialogs().RunModal(&about);
        break;
    }
    case IDC_SHOWROOMS:
        SendToServer("\x01<begin>\n<worldmap>\n<end>\n");
        break;
    case 139:
        SendToServer("\x01<begin>\n<createprivate>\n<end>\n");
        break;
    case 141:
        SendToServer("\x01<begin>\n<userprefs>\n<end>\n");
        break;
    case 140:
        OpenGotoDialog();
        break;
    case 145:
        SendToServer("\x01<begin>\n<getbuddylist>\n<end>\n");
        break;
    case 146:
        m_context.m_bPlaySounds = !m_context.m_bPlaySounds;
        WriteProfileFlag(m_settings, kSectionMain, "Play Sounds", m_context.m_bPlaySounds);
        break;
    case 147:
        m_context.m_bIgnoreMovement = !m_context.m_bIgnoreMovement;
        if (m_context.m_bIgnoreMovement) {
            SendToServer("sysmsg off\n");
            SendToServer("ignore add movement\n");
        } else {
            SendToServer("sysmsg on\n");
            SendToServer("ignore remove movement\n");
        }
        break;
    case 32774:
        SendToServer("users\n");
        break;
    case 32794:
        SendToServer("\x01<begin>\n<emotions>\n<end>\n");
        break;
    default:
        if (id >= ID_CMD_EXIT_FIRST && id <= ID_CMD_EXIT_LAST) {
            if (m_pProtocol != nullptr)
                m_pProtocol->DoMenuCommand(CChatProtocol::MENU_EXITS, id - ID_CMD_EXIT_FIRST + 1);
            break;
        }
        // The user menus' commands act on the list's selection.
        if (m_pUsers != nullptr)
            m_pUsers->OnCommand(id);
        break;
    }
}

void CChatPanel::AskQuestion() {
    if (m_context.m_pTransport != nullptr && m_context.m_pTransport->IsConnected()) {
        // The protocol has no form of its own for a question: it is said in the room, where
        // the auditorium's speaker takes it.
        CAskQuestionDlg dialog(this);
        if (m_site.Dialogs().RunModal(&dialog) == QDialog::Accepted && !dialog.Text().empty())
            SendToServer(("say " + dialog.Text() + "\r\n").c_str());
    } else {
        MessageBox("No current connection.", "Not Connected", MB_ICONEXCLAMATION);
    }
    if (m_pInputLine != nullptr)
        m_pInputLine->setFocus();
    update();
}

void CChatPanel::OpenUrlDialog() {
    COpenUrlDlg dialog(this);
    if (m_site.Dialogs().RunModal(&dialog) != QDialog::Accepted) {
        if (m_pInputLine != nullptr)
            m_pInputLine->setFocus();
        return;
    }
    // Opened as a link of the conversation is; an address without a scheme is a web address.
    std::string url = dialog.Text();
    if (url.empty())
        return;
    if (url.find("://") == std::string::npos && url.rfind("mailto:", 0) != 0)
        url.insert(0, "http://");
    Navigate(url, "kivranewwindow");
}

CommandMenuState CChatPanel::MenuState() const {
    CommandMenuState s;
    s.auditorium = m_context.m_nAuditorium;
    s.admin = m_context.m_nAdmin;
    s.title = m_context.m_params.szTitle;
    s.connectKind = m_context.m_params.nConnectKind;
    if (m_pCommands != nullptr) {
        s.exits = m_pCommands->MenuEntries(CChatProtocol::MENU_EXITS, kMaxMenuExits);
        // The transfer engine answers through the commands' seam: 0 none, 1 idle, 2 running.
        const int transfer = m_pCommands->TransferState();
        s.transferEngine = transfer >= 1;
        s.transferRunning = transfer == 2;
        s.emotion = m_pCommands->SelectedEmotion();
    }
    if (m_pUsers != nullptr)
        s.selected = m_pUsers->Selection();
    s.noWhois = m_context.IsOptionSet(CHATOPT_NOWHOIS);
    s.noFileTransfer = m_context.IsOptionSet(CHATOPT_NOFILEXFER);
    s.following = m_context.m_nFollowing != 0;
    s.followed = m_context.m_strFollowedUser;
    if (s.selected.size() == 1 && m_pProtocol != nullptr) {
        const std::string& name = s.selected.front();
        std::string bare = name;
        const auto first = bare.find_first_not_of("+ ");
        bare = first == std::string::npos
                   ? std::string()
                   : bare.substr(first, bare.find_last_not_of("+ ") - first + 1);
        s.nameFollowsMe = !bare.empty() && m_pProtocol->FollowsMe(bare.c_str());
        s.nameIgnored = m_pProtocol->IsIgnoring(name.c_str()) != 0;
        s.nameWatched = m_pProtocol->IsWatching(name.c_str()) != 0;
    }
    s.showEmotionList = m_context.m_bShowEmotionList;
    s.showNameList = m_context.m_bShowNameList;
    s.playSounds = m_context.m_bPlaySounds;
    s.monitor = m_context.m_bMonitor;
    s.ignoreMovement = m_context.m_bIgnoreMovement;
    return s;
}

void CChatPanel::OpenCommandMenu() {
    // Shown without a loop of its own: the chat goes on while it is open, and the chosen id
    // comes back as a command once the menu has gone.
    QMenu* menu = MakeCommandMenu(BuildCommandMenu(MenuState()), this);
    const QWidget* button = m_toolButtons[0];
    m_site.Dialogs().PopupMenu(
        menu, button->mapToGlobal(QPoint(button->width() / 2, button->height())),
        [panel = QPointer<CChatPanel>(this)](int id) {
            if (panel != nullptr)
                QMetaObject::invokeMethod(
                    panel, [panel, id] { panel->OnCommand(id); }, Qt::QueuedConnection);
        });
}

long CChatPanel::SendPanelMessage(unsigned message, unsigned long wParam, long lParam) {
    return SendMessage(message, wParam, lParam);
}

long CChatPanel::WindowProc(unsigned message, unsigned long wParam, long lParam) {
    switch (message) {
    case WM_CHAT_SOCKET:
        return m_pSession != nullptr ? m_pSession->OnSocketMessage(lParam) : 0;
    case WM_CHAT_PREFS: {
        // The preferences sheet works on the options the server sent; they are dropped after it
        // so the next request starts from the server's answer again.
        if (m_context.m_pUserOptions) {
            CConfigHooks hooks;
            hooks.eventLine = [this](const std::string& line) { m_site.EventLine(line); };
            hooks.outputFontChanged = [this] {
                if (m_pOutputView != nullptr)
                    m_pOutputView->ApplyFontSettings(true);
            };
            CConfigDlg sheet(m_context, m_settings, m_site.Dialogs(), std::move(hooks), this);
            sheet.Open();
            m_site.Dialogs().RunModal(&sheet);
        }
        m_context.m_pUserOptions.reset();
        return 0;
    }
    case WM_CHAT_BUDDIES:
        // The dialog the buddy block filled runs once and goes.
        if (m_pBuddyDlg != nullptr) {
            m_site.Dialogs().RunModal(m_pBuddyDlg.get());
            m_pBuddyDlg.reset();
        }
        return 0;
    case WM_CHAT_EMOTIONS:
        // The dialog the emotions block filled runs once and goes.
        if (m_pEmotionDlg != nullptr) {
            m_pEmotionDlg->InitDialog();
            m_site.Dialogs().RunModal(m_pEmotionDlg.get());
            m_pEmotionDlg.reset();
        }
        return 0;
    default:
        return MessageWindow::WindowProc(message, wParam, lParam);
    }
}

void CChatPanel::OnTimer(unsigned id) {
    // The read poll, the keepalive and the transfer steps belong to the session.
    if (m_pSession != nullptr)
        m_pSession->OnTimer(id);
    if (id == TIMER_FILEXFER_POLL && m_pTransferUi != nullptr)
        m_pTransferUi->OnTimer();
    MessageWindow::OnTimer(id);
}

void CChatPanel::ShowAskButton(bool show) {
    if (m_toolButtons[4] != nullptr)
        m_toolButtons[4]->setVisible(show);
}

void CChatPanel::Navigate(const std::string& url, const std::string& frame) {
    m_site.Navigate(url, frame);
}

int CChatPanel::MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
    return m_site.Dialogs().MessageBox(this, kivra::platform::FromWire(text),
                                       kivra::platform::FromWire(caption), flags);
}

void CChatPanel::Beep() {
    m_site.Beep();
}

void CChatPanel::PlaySound(const std::string& name) {
    const std::string path = kivra::platform::CSoundPlayer::SoundPath(m_strInstallPath, name);
    if (!path.empty())
        m_site.PlaySound(name, path);
}

void CChatPanel::ShowWhois(const WhoisRecord& record) {
    CWhoisDialog dialog(record, this, this);
    m_site.Dialogs().RunModal(&dialog);
}
IEmotionCollector* CChatPanel::EnsureEmotionDialog() {
    if (m_pEmotionDlg == nullptr)
        m_pEmotionDlg = std::make_unique<CEmotionEditDlg>(*m_pEmotions, this);
    return m_pEmotionDlg.get();
}
IBuddyCollector* CChatPanel::EnsureBuddyDialog() {
    if (m_pBuddyDlg == nullptr && m_pUserActions != nullptr)
        m_pBuddyDlg = std::make_unique<CBuddyDlg>(*m_pUserActions, this);
    return m_pBuddyDlg.get();
}

void CChatPanel::OpenGotoDialog() {
    CGotoDlg dialog(m_context, *m_pUserActions, m_site.Dialogs(), this);
    m_site.Dialogs().RunModal(&dialog);
}

bool CChatPanel::TypeLine(const std::string& text) {
    if (m_pInputLine == nullptr)
        return false;
    m_pInputLine->setText(kivra::platform::FromWire(text));
    m_pInputLine->SendLine(QString(), true);
    return true;
}

bool CChatPanel::TypeStyledLine(const std::string& text, bool emote) {
    if (m_pInputLine == nullptr)
        return false;
    m_pInputLine->setText(kivra::platform::FromWire(text));
    m_pInputLine->OnButton(emote ? CInputLine::ID_EMOTE : CInputLine::ID_THINK);
    return true;
}
bool CChatPanel::SelectUsers(const std::vector<std::string>& names) {
    if (m_pUsers == nullptr)
        return false;
    m_pUsers->SelectNames(names);
    return true;
}

bool CChatPanel::Dump(const std::string& what, std::vector<std::string>& lines) {
    if (what == "users" && m_pUsers != nullptr) {
        lines = m_pUsers->DumpLines();
        return true;
    }
    if (what == "emotions") {
        for (const std::string& word : m_pEmotions->Words())
            lines.push_back("[emotion] " + word);
        return true;
    }
    if (what == "links" && m_pOutputView != nullptr) {
        lines = m_pOutputView->DumpLinks();
        return true;
    }
    if (what == "menu") {
        lines = DumpCommandMenu(BuildCommandMenu(MenuState()));
        return true;
    }
    if (what == "pm" && m_pPrivate != nullptr) {
        lines.clear();
        for (CPrivateMsgWnd* w : m_pPrivate->Windows())
            lines.push_back("[pm] " + w->DisplayName());
        return true;
    }
    return false;
}

bool CChatPanel::SelectEmotion(const std::string& word) {
    return m_pEmotions->SelectWord(word);
}

bool CChatPanel::PerformEmotion(const std::string& word) {
    if (word.empty() || !m_pEmotions->SelectWord(word))
        return false;
    m_pEmotions->Perform();
    return true;
}

bool CChatPanel::SaveTranscript() {
    if (m_pOutputView == nullptr)
        return false;
    m_pOutputView->OnCommand(CPGEdit::ID_SAVE_TO_FILE);
    return true;
}

QWidget* CChatPanel::HookOutputView() {
    return m_pOutputView;
}
QWidget* CChatPanel::HookInputLine() {
    return m_pInputLine;
}
QList<QWidget*> CChatPanel::HookPrivateWindows() {
    // Only a window whose input field, view or one of its four buttons holds the focus takes
    // the Tab.
    QList<QWidget*> windows;
    const QWidget* focus = QApplication::focusWidget();
    if (m_pPrivate != nullptr)
        for (CPrivateMsgWnd* w : m_pPrivate->Windows())
            if (w->IsFocusInside(focus))
                windows.push_back(w);
    return windows;
}

void CChatPanel::BuildPrivateMessages() {
    m_pPrivate = std::make_unique<CPrivateMsgManager>(m_context, *m_pCommands, *m_pUserActions,
                                                      m_site.Dialogs(), this);
    m_context.m_pPrivateWindows = m_pPrivate.get();
    m_pUserActions->m_startPrivate = [this](const std::vector<std::string>& names) {
        m_pPrivate->StartWithSelection(names);
    };
    m_pCompose = std::make_unique<CComposeTellDlg>(m_context, m_site.Dialogs(), this);
    IViewMirror* mirror = m_site.Mirror();
    if (mirror == nullptr)
        return;
    // Each window's view is copied out one view line at a time, under the peer's name.
    m_pPrivate->m_onOpened = [mirror](CPrivateMsgWnd* window) {
        const std::string name = window->DisplayName();
        mirror->PrivateWindowEvent(name, true);
        auto filter = std::make_shared<LineEndFilter>();
        auto pending = std::make_shared<std::string>();
        QObject::connect(
            window->OutputView(), &CPGEdit::textAppended, window,
            [mirror, name, filter, pending](const QString& t) {
                const QByteArray bytes = kivra::platform::ToWire(t);
                pending->append(filter->Feed(std::string_view(bytes.constData(), bytes.size())));
                std::size_t nl;
                while ((nl = pending->find('\n')) != std::string::npos) {
                    mirror->PrivateLine(name, std::string_view(*pending).substr(0, nl));
                    pending->erase(0, nl + 1);
                }
            });
    };
    m_pPrivate->m_onClosed = [mirror](const std::string& name) {
        mirror->PrivateWindowEvent(name, false);
    };
}

bool CChatPanel::TypePrivate(const std::string& name, const std::string& text) {
    CPrivateMsgWnd* window = m_pPrivate != nullptr ? m_pPrivate->Window(name) : nullptr;
    if (window == nullptr)
        return false;
    window->InputField()->setText(kivra::platform::FromWire(text));
    window->PressButton(CPrivateMsgWnd::IDC_SEND);
    return true;
}

bool CChatPanel::PressPrivateButton(const std::string& name, int id) {
    CPrivateMsgWnd* window = m_pPrivate != nullptr ? m_pPrivate->Window(name) : nullptr;
    return window != nullptr && window->PressButton(id);
}

} // namespace kivra::control
