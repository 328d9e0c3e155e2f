#include "razarproperties.h"

#include <algorithm>
#include <cctype>
#include <climits>

namespace kivra::control {

namespace {

using P = RazarProperties;

constexpr RazarPropertyInfo Text(const char* name, std::string P::*member, const char* def) {
    return {name, member, nullptr, def, false};
}
constexpr RazarPropertyInfo Flag(const char* name, bool P::*member, bool def) {
    return {name, nullptr, member, nullptr, def};
}

const std::array<RazarPropertyInfo, kExchangedPropertyCount> kTable = {{
    Text("TITLE", &P::m_strTitle, ""),
    Text("CONNECTTYPE", &P::m_strConnectType, ""),
    Text("SERVER", &P::m_strServer, kValueUnset),
    Text("PORT", &P::m_strPort, kValueUnset),
    Text("USERNAME", &P::m_strUserName, kValueUnset),
    Text("PASSWORD", &P::m_strPassword, ""),
    Text("ROOM", &P::m_strRoom, ""),
    Text("CHANNEL", &P::m_strChannel, ""),
    Text("COOKIE", &P::m_strCookie, ""),
    Text("LOGOFILE", &P::m_strLogoFile, ""),
    Text("TICKERTEXT", &P::m_strTickerText, "30"),
    Text("CHATPROMPT", &P::m_strChatPrompt, ""),
    Text("EMOTIONLIST", &P::m_strEmotionList, ""),
    Text("USERLIST", &P::m_strUserList, ""),
    Text("HTTPPROXY", &P::m_strHttpProxy, ""),
    Text("HTTPSERVER", &P::m_strHttpServer, ""),
    Text("HTTPPORT", &P::m_strHttpPort, ""),
    Text("TUNNELPREFIX", &P::m_strTunnelPrefix, ""),
    Text("TUNNELPAGE", &P::m_strTunnelPage, ""),
    Text("TUNNELMODE", &P::m_strTunnelMode, ""),
    Text("POLLING", &P::m_strPolling, "0"),
    Flag("CONNECTONSTARTUP", &P::m_bConnectOnStartup, true),
    Flag("DISABLEFILEXFER", &P::m_bDisableFileXfer, false),
    Flag("PWREQUIRED", &P::m_bPwRequired, true),
    Flag("DISABLEWHOIS", &P::m_bDisableWhois, false),
    Flag("DISABLEAVATARS", &P::m_bDisableAvatars, false),
    Flag("DISABLEPRIVATEMSG", &P::m_bDisablePrivateMsg, false),
}};

bool SameNoCase(const std::string& a, const char* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    }
    return i == a.size() && b[i] == '\0';
}

} // namespace

const std::array<RazarPropertyInfo, kExchangedPropertyCount>& RazarPropertyTable() {
    return kTable;
}

const RazarPropertyInfo* FindRazarProperty(const std::string& name) {
    for (const auto& info : kTable) {
        if (SameNoCase(name, info.name))
            return &info;
    }
    return nullptr;
}

void ExchangeRazarProperties(RazarPropertyExchange& px, RazarProperties& props) {
    const bool loading = px.IsLoading();
    for (const auto& info : kTable) {
        if (info.text != nullptr) {
            if (loading)
                props.*info.text = px.LoadText(info.name).value_or(info.textDefault);
            else
                px.SaveText(info.name, props.*info.text);
        } else {
            if (loading)
                props.*info.flag = px.LoadBool(info.name).value_or(info.flagDefault);
            else
                px.SaveBool(info.name, props.*info.flag);
        }
    }
    if (!loading)
        return;
    // A session cannot start without all three; rather than half-filled values the control
    // carries none, and the connect attempt then fails where the user sees it.
    if (props.m_strServer == kValueUnset || props.m_strPort == kValueUnset ||
        props.m_strUserName == kValueUnset) {
        props.m_strServer.clear();
        props.m_strPort.clear();
        props.m_strUserName.clear();
        props.m_bConnectOnStartup = false;
    }
}

int WholeNumber(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            break;
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

int PollingSeconds(const std::string& text) {
    return std::clamp(WholeNumber(text), 0, kMaxPollingSeconds);
}

} // namespace kivra::control
