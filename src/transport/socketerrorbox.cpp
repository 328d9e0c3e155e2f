#include "socketerrorbox.h"

#include "chatinterfaces.h"
#include "codepage.h"
#include "dialogservice.h"

#include <QString>

const char* SocketErrorName(int error) {
    switch (error) {
    case 10013:
        return "WSAEACCESS";
    case 10014:
        return "WSAEFAULT";
    case 10022:
        return "WSAEINVAL";
    case 10024:
        return "WSAEMFILE";
    case 10035:
        return "WSAEWOULDBLOCK";
    case 10036:
        return "WSAEINPROGRESS";
    case 10038:
        return "WSAENOTSOCK";
    case 10039:
        return "WSAEDESTADDREQ";
    case 10040:
        return "WSAEMSGSIZE";
    case 10045:
        return "WSAEOPNOTSUPP";
    case 10047:
        return "WSAEAFNOSUPPORT";
    case 10048:
        return "WSAEADDRINUSE";
    case 10049:
        return "WSAEADDRNOTAVAIL";
    case 10050:
        return "WSAENETDOWN";
    case 10051:
        return "WSAENETUNREACH";
    case 10052:
        return "WSAENETRESET";
    case 10053:
        return "WSAECONNABORTED";
    case 10054:
        return "WSAECONNRESET";
    case 10055:
        return "WSAENOBUFS";
    case 10056:
        return "WSAEISCONN";
    case 10057:
        return "WSAENOTCONN";
    case 10058:
        return "WSAESHUTDOWN";
    case 10060:
        return "WSAETIMEDOUT";
    case 10061:
        return "WSAECONNREFUSED";
    case 10093:
        return "WSANOTINITIALISED";
    default:
        return nullptr;
    }
}

bool ShowSocketErrorBox(kivra::platform::DialogService& dialogs, int error) {
    const char* name = SocketErrorName(error);
    if (name == nullptr)
        return false;
    dialogs.MessageBox(nullptr, kivra::platform::FromWire(name), QStringLiteral("Socket Error"),
                       MB_OK);
    return true;
}
