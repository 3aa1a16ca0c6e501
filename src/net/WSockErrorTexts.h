// The Czech texts of the WinSock error numbers, as the status window shows
// them after "Chyba TCP <code>: ". Windows-1250 bytes.
#ifndef ZL_NET_WSOCKERRORTEXTS_H
#define ZL_NET_WSOCKERRORTEXTS_H

#include <string>

namespace zl {

// The text for a WinSock error number; "Nespecifikovaná chyba Winsocku" for a
// number without a text of its own.
const std::string &WSockErrorText(int code);

}  // namespace zl

#endif  // ZL_NET_WSOCKERRORTEXTS_H
