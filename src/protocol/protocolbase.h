#pragma once
// CProtocolBase: the first twenty-one operations of the protocol object, each doing nothing
// (answering 0 where a result is expected). The session and the panes talk to the protocol only
// through these slots and the ones CChatProtocol adds, so their order is fixed.

class CChatContext;
class CStringArray;

class CProtocolBase {
public:
    CProtocolBase() = default;
    CProtocolBase(const CProtocolBase&) = delete;
    CProtocolBase& operator=(const CProtocolBase&) = delete;

    virtual int RequestUserPrefs() { return 0; }
    virtual int RequestEmotions() { return 0; }
    // Writes a zero-terminated text to the session unchanged.
    virtual int Send(const char* /*text*/) { return 0; }
    virtual ~CProtocolBase() = default;
    // Telnet negotiation and the login block; 1 when a login block went out.
    virtual int Login() { return 0; }
    virtual int Logout() { return 0; }
    // Asked by the session before it connects; nonzero to go on.
    virtual int Prepare() { return 0; }
    // The inbound dispatcher: returns the first byte the caller must keep (with *incomplete 1)
    // or the end of the data (with *incomplete 0).
    virtual char* ProcessReceived(char* data, int /*length*/, int* incomplete) {
        if (incomplete)
            *incomplete = 0;
        return data;
    }
    virtual int SendSay(const char* /*text*/) { return 0; }
    virtual int ShowText(const char* /*text*/, int /*style*/) { return 0; }
    // Three spare slots that the chat protocol leaves to these defaults.
    virtual int Spare11() { return 0; }
    virtual int Spare12() { return 0; }
    virtual int Spare13() { return 0; }
    virtual int SetIgnore(const char* /*name*/, int /*on*/) { return 0; }
    virtual int SendWhoisRequest(const char* /*name*/) { return 0; }
    // The string list behind a menu id, or null.
    virtual const CStringArray* GetMenuList(int /*id*/) { return nullptr; }
    virtual int SendTell(const char* /*names*/, const char* /*text*/) { return 0; }
    virtual int DoMenuCommand(int /*id*/, int /*index*/) { return 0; }
    virtual int SetFollow(const char* /*name*/, int /*on*/) { return 0; }
    virtual int RequestUsers() { return 0; }
    virtual int IsIgnoring(const char* /*name*/) { return 0; }
};
