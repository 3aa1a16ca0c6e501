// WinSock error numbers, so that the driver's Czech socket error texts stay its
// own on Linux: errno values and resolver results map onto them.
#ifndef ZL_PORT_WINSOCKERRORS_H
#define ZL_PORT_WINSOCKERRORS_H

namespace zl {

enum WinSockError : int {
  kWsaEintr = 10004,
  kWsaEbadf = 10009,
  kWsaEacces = 10013,
  kWsaEfault = 10014,
  kWsaEinval = 10022,
  kWsaEmfile = 10024,
  kWsaEwouldblock = 10035,
  kWsaEinprogress = 10036,
  kWsaEalready = 10037,
  kWsaEnotsock = 10038,
  kWsaEdestaddrreq = 10039,
  kWsaEmsgsize = 10040,
  kWsaEprototype = 10041,
  kWsaEnoprotoopt = 10042,
  kWsaEprotonosupport = 10043,
  kWsaEsocktnosupport = 10044,
  kWsaEopnotsupp = 10045,
  kWsaEpfnosupport = 10046,
  kWsaEafnosupport = 10047,
  kWsaEaddrinuse = 10048,
  kWsaEaddrnotavail = 10049,
  kWsaEnetdown = 10050,
  kWsaEnetunreach = 10051,
  kWsaEnetreset = 10052,
  kWsaEconnaborted = 10053,
  kWsaEconnreset = 10054,
  kWsaEnobufs = 10055,
  kWsaEisconn = 10056,
  kWsaEnotconn = 10057,
  kWsaEshutdown = 10058,
  kWsaEtoomanyrefs = 10059,
  kWsaEtimedout = 10060,
  kWsaEconnrefused = 10061,
  kWsaEloop = 10062,
  kWsaEnametoolong = 10063,
  kWsaEhostdown = 10064,
  kWsaEhostunreach = 10065,
  kWsaEnotempty = 10066,
  kWsaEproclim = 10067,
  kWsaEusers = 10068,
  kWsaEdquot = 10069,
  kWsaEstale = 10070,
  kWsaEremote = 10071,
  kWsaSysnotready = 10091,
  kWsaVernotsupported = 10092,
  kWsaNotinitialised = 10093,
  kWsaSyscallFailure = 10107,
  kWsaTypeNotFound = 10109,
  kWsaHostNotFound = 11001,
  kWsaTryAgain = 11002,
  kWsaNoRecovery = 11003,
  kWsaNoData = 11004,
};

// The WinSock number for an errno value; 0 stays 0, an errno without a WinSock
// counterpart gives kWsaSyscallFailure (10000 + errno would land on unrelated
// WinSock codes: ENODATA on 10061, ENOSYS on 10038).
int WinSockErrorFromErrno(int err);

// The WinSock number for a getaddrinfo() result (EAI_*); 0 stays 0.
int WinSockErrorFromResolver(int eai, int savedErrno);

}  // namespace zl

#endif  // ZL_PORT_WINSOCKERRORS_H
