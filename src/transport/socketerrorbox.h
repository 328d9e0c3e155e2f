#pragma once
// The box the file-transfer engine shows for its own socket failures: caption "Socket Error",
// the name of the last socket error as text; numbers outside the table show nothing.

namespace kivra::platform {
class DialogService;
}

// The name of a Winsock error number, or null when it has none in the table.
const char* SocketErrorName(int error);
// Shows the box for `error` (normally the last socket error); true when a box was shown.
bool ShowSocketErrorBox(kivra::platform::DialogService& dialogs, int error);
