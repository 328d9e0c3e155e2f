#pragma once
// The control's properties, their PARAM defaults and the exchange that loads them from a page's
// PARAMs (or saves them). Standard library only, so the host and the tests share the rules.

#include <array>
#include <cstddef>
#include <optional>
#include <string>

namespace kivra::control {

inline constexpr const char kValueUnset[] = "VALUE_UNSET";

struct RazarProperties {
    std::string m_strTitle;
    std::string m_strConnectType;
    std::string m_strServer = kValueUnset;
    std::string m_strPort = kValueUnset;
    std::string m_strUserName = kValueUnset;
    std::string m_strPassword;
    std::string m_strRoom;
    std::string m_strChannel;
    std::string m_strCookie;
    std::string m_strLogoFile;
    std::string m_strTickerText = "30";
    std::string m_strChatPrompt;
    std::string m_strEmotionList;
    std::string m_strUserList;
    std::string m_strHttpProxy;
    std::string m_strHttpServer;
    std::string m_strHttpPort;
    std::string m_strTunnelPrefix;
    std::string m_strTunnelPage;
    std::string m_strTunnelMode;
    std::string m_strPolling = "0";
    bool m_bConnectOnStartup = true;
    bool m_bDisableFileXfer = false;
    bool m_bPwRequired = true;
    bool m_bDisableWhois = false;
    bool m_bDisableAvatars = false;
    bool m_bDisablePrivateMsg = false;
};

// One exchanged property: exactly one of `text` and `flag` is set.
struct RazarPropertyInfo {
    const char* name;
    std::string RazarProperties::*text;
    bool RazarProperties::*flag;
    const char* textDefault;
    bool flagDefault;
};

inline constexpr std::size_t kExchangedPropertyCount = 27;
// The exchanged properties in exchange order.
const std::array<RazarPropertyInfo, kExchangedPropertyCount>& RazarPropertyTable();
// The entry whose name matches without regard to letter case, or null.
const RazarPropertyInfo* FindRazarProperty(const std::string& name);

// Where the exchange reads from or writes to (a property bag fed by PARAMs, persisted data).
class RazarPropertyExchange {
public:
    virtual ~RazarPropertyExchange() = default;
    virtual bool IsLoading() const = 0;
    // Loading: the stored value, or nullopt when the source has none (the default is then used).
    virtual std::optional<std::string> LoadText(const char* name) = 0;
    virtual std::optional<bool> LoadBool(const char* name) = 0;
    virtual void SaveText(const char* name, const std::string& value) = 0;
    virtual void SaveBool(const char* name, bool value) = 0;
};

// Runs the exchange in order with the defaults; after a load, unless SERVER, PORT and USERNAME
// are all set, the three are emptied and CONNECTONSTARTUP is cleared.
void ExchangeRazarProperties(RazarPropertyExchange& px, RazarProperties& props);

// The whole-number reading of a text property: leading blanks, an optional sign, the digits that
// follow; anything else stops the reading (no digits gives 0). Clamped to the int range.
int WholeNumber(const std::string& text);
// POLLING as the keepalive period in seconds. The keepalive timer counts milliseconds in an int,
// so a longer period is cut to the longest that fits (about 24 days); zero or less is no polling
// and reads 0.
inline constexpr int kMaxPollingSeconds = 2147483647 / 1000;
int PollingSeconds(const std::string& text);

} // namespace kivra::control
