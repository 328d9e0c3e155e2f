#pragma once
// CChatContext: the per-control shared state block. Every pane reaches the others through it.
// It holds the connection parameter block as fixed-capacity zero-terminated strings (a longer
// value is cut to capacity minus one), the option flags, the display switches read from the
// settings store, and pointers to the transport, the protocol object and the panes.

#include "chatinterfaces.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

class CChatProtocol;
class CUserOptions;

// Copies `value` into a fixed buffer of `N` bytes, cut to N-1 bytes and zero-terminated.
template <std::size_t N> void CopyParam(char (&field)[N], std::string_view value) {
    const std::size_t n = value.size() < N - 1 ? value.size() : N - 1;
    std::memcpy(field, value.data(), n);
    field[n] = '\0';
}

// The connection parameter block, fields in their order.
struct ChatConnectionParams {
    char szHttpProxy[1024] = {};
    char szHttpServer[100] = {};
    char szHttpPort[100] = {};
    char szTunnelPrefix[128] = {};
    char szTunnelPage[128] = {};
    std::int32_t nTunnelMode = 0;
    std::int32_t nConnectKind = 0;
    char szServer[256] = {};
    char szPortList[256] = {};
    char szRoom[256] = {};
    char szChannel[256] = {};
    char szUserName[256] = {};
    std::int32_t nPasswordRequired = 0;
    char szPassword[256] = {};
    char szTitle[256] = {};
    char szCookie[256] = {};
    char szLogoFile[256] = {};
};

// Bits of ChatOptionFlags.
enum : std::uint32_t {
    CHATOPT_NOFILEXFER = 0x01,
    CHATOPT_NOPRIVATEMSG = 0x02,
    CHATOPT_NOAVATARS = 0x04,
    CHATOPT_NOWHOIS = 0x08,
    CHATOPT_POLLING = 0x16, // key 22: sets or clears 0x02, 0x04 and 0x10 together
};

class CChatContext {
public:
    ChatConnectionParams m_params;

    // ChatOptionFlags; all clear at construction.
    std::uint32_t m_nOptionFlags = 0;
    // Sets or clears the bits of `key`; TRUE for the keys 1, 2, 4, 8 and 22, FALSE otherwise.
    bool SetOption(std::uint32_t key, bool on) {
        if (key != 0x01 && key != 0x02 && key != 0x04 && key != 0x08 && key != CHATOPT_POLLING)
            return false;
        if (on)
            m_nOptionFlags |= key;
        else
            m_nOptionFlags &= ~key;
        return true;
    }
    bool IsOptionSet(std::uint32_t mask) const { return (m_nOptionFlags & mask) != 0; }
    bool IsPolling() const { return IsOptionSet(CHATOPT_POLLING); }
    int m_nPollingPeriod = 0; // seconds

    // Display switches from the settings store (read at panel construction).
    bool m_bShowAvatars = true; // TRUE unless DISABLEAVATARS
    bool m_bShowNameList = true;
    bool m_bShowEmotionList = false;
    bool m_bIgnoreMovement = false;
    bool m_bMonitor = false; // "Sound On Incoming Message" of the main display
    bool m_bShowAvatarsSetting = false;
    int m_nMaxPM = 50;
    bool m_bSoundPM = false;
    // "Play sounds sent by others": sound tags in received text are played.
    bool m_bPlaySounds = true;

    // State set by server blocks.
    int m_nAdmin = 0;
    int m_nAuditorium = 0;
    int m_nFollowing = 0;
    std::string m_strFollowedUser;
    std::string m_strServerVersion;
    // 1 while the user has scrolled the main display away from its end.
    int m_nScrollHold = 0;
    // The ticker period in milliseconds (whole-number value of TICKERTEXT).
    int m_nTickerPeriod = 30;
    int m_nTickerMessageCount = 0;

    // The user's server-side options, created by the first userprefs block.
    std::shared_ptr<CUserOptions> m_pUserOptions;

    // Collaborators; filled by the panel, null when absent.
    IChatTransport* m_pTransport = nullptr;
    CChatProtocol* m_pProtocol = nullptr;
    IOutputView* m_pOutput = nullptr;
    IUserList* m_pUserList = nullptr;
    IPrivateWindowMap* m_pPrivateWindows = nullptr;
    ITicker* m_pTicker = nullptr;
    IChatPanel* m_pPanel = nullptr;
    ISettingsStore* m_pSettings = nullptr;
    IFileTransferPeers* m_pFileTransfer = nullptr;
    // The image cache as the ticker asks it; null while there is none.
    IPictureSource* m_pPictures = nullptr;
    IImageCache* m_pImageCache = nullptr;

    const char* UserName() const { return m_params.szUserName; }
};
