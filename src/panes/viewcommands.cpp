#include "viewcommands.h"

#include "chatcontext.h"
#include "chatprotocol.h"

bool CContextCommands::IsConnected() const {
    return m_context.m_pTransport && m_context.m_pTransport->IsConnected();
}

bool CContextCommands::IsIgnoring(const std::string& name) const {
    return m_context.m_pProtocol && m_context.m_pProtocol->IsIgnoring(name.c_str()) != 0;
}

bool CContextCommands::IsWatching(const std::string& name) const {
    return m_context.m_pProtocol && m_context.m_pProtocol->IsWatching(name.c_str()) != 0;
}

bool CContextCommands::IsFollowingMe(const std::string& name) const {
    return m_context.m_pProtocol && m_context.m_pProtocol->FollowsMe(name.c_str());
}

std::string CContextCommands::SelectedEmotion() const {
    return m_selectedEmotion ? m_selectedEmotion() : std::string();
}

int CContextCommands::TransferState() const {
    return m_transferState ? m_transferState() : 0;
}

void CContextCommands::SendSay(const std::string& line) {
    if (m_context.m_pProtocol)
        m_context.m_pProtocol->SendSay(line.c_str());
}

void CContextCommands::RequestUsers() {
    if (m_context.m_pProtocol)
        m_context.m_pProtocol->RequestUsers();
}

void CContextCommands::DoMenuCommand(int listId, int index) {
    if (m_context.m_pProtocol)
        m_context.m_pProtocol->DoMenuCommand(listId, index);
}

std::vector<std::string> CContextCommands::MenuEntries(int listId, int max) {
    std::vector<std::string> out;
    if (!m_context.m_pProtocol)
        return out;
    // The protocol object hands its lists out read-only; the list itself is its own member, and
    // this capitalisation is the one change a menu makes to it.
    auto* list = const_cast<CStringArray*>(m_context.m_pProtocol->GetMenuList(listId));
    if (list == nullptr)
        return out;
    for (std::size_t i = 0; i < list->Count() && int(i) < max; ++i) {
        list->UpperFirst(i);
        out.emplace_back(list->At(i));
    }
    return out;
}

void CContextCommands::OpenGotoDialog() {
    if (m_openGoto)
        m_openGoto();
}

void CContextCommands::UserCommand(int id) {
    // The user list carries out every user command (the panel plugs it in here).
    if (m_userCommand)
        m_userCommand(id);
}
