// The operator texts: every line the driver gives its operator (event lines,
// the status labels and button captions, Init's error texts, the socket error
// texts, the About lines), each looked up by what it is for. The catalogue
// keeps them in UTF-8; Say() gives the Windows-1250 bytes the driver keeps and
// shows, converted once and kept for the life of the process (a thread still
// running at exit must not see them go).
//
// A language is one table in the form of TextsCzech.cpp and TextsEnglish.cpp: one wording for every
// TextId, checked at compile time to be complete and in order.
#ifndef ZL_UTIL_TEXTS_H
#define ZL_UTIL_TEXTS_H

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace zl {

// Texts that are the same in every language: the driver's names and version.
inline constexpr std::string_view kDriverInfo = "Zavro-RT/ZL2, TCP/IP v.1.101";
inline constexpr std::string_view kVersionDate = "1.101 - 2007/08/20";
inline constexpr std::string_view kWindowCaption = "ZLNETDRV";
inline constexpr std::string_view kActivityAtStart = ".........";

enum class TextId : uint16_t {
  HostNameLine,       // Init: the host's name for the driver follows
  ParameterFileLine,  // Init: the parameter file's name follows
  LoginLevelLine,     // Init: the login level follows
  InitOk,             // Init: the file is loaded
  ThreadClassLine,    // the communication thread's class name follows
  NoThreadLine,       // the communication thread could not start
  NoMessageQueue,     // Init's error: no message queue
  NewLoginLevelLine,  // DriverProc 6: the new level follows
  AboutPurpose,       // the About lines, in their order
  AboutLibrary,
  AboutVersion,
  Credit,           // the credit label
  VersionTitle,     // the caption before the version label
  AboutCaption,     // the About button
  MinimizeCaption,  // the minimize button
  ActivityIdle,     // the activity label with no request queued
  MissingGroup,     // parameter file: the section header follows
  MissingEnd,       // parameter file: the section header follows
  BadVariable,      // parameter file: keyword + " / " + header follow
  TooManyStations,  // parameter file: a 101st [STATION]
  BadMemoryList,    // DEF_MEMORY_IN / DEF_MEMORY_OUT
  BadCounterList,   // DEF_COUNTER_IN
  BadAnalogLimits,  // ANALOG_LIMITS
  BadQqDirection,   // QQ
  BadQqType,        // QQ (longer than 80: cut where it is stored)
  BadMemoryBlock,   // MEMORY_BLOCK
  UnreadableFile,   // the file's name follows
  BareLineFeeds,    // an event line: LF line ends without CR
  SocketVersion,    // the gateway client's status lines
  SocketDescription,
  SocketStatus,
  LocalHostName,
  LocalHostAddress,
  Connecting,  // host + OnPort + port follow
  OnPort,
  SocketOpened,
  ConnectionClosed,
  TcpError,  // the error number, ": " and its text follow
  ConnectedOnPort,
  ClosedByServer,
  SocketErrorUnspecified,  // a socket error number without a text of its own
  QqWriteSent,             // the polling cycle's event lines
  QqReadSent,
  QueueCompressed,
  AnswerTimeout,
  SleepStart,
  SleepEnd,
  OtherGateway,       // the gateway the station needs follows
  PrimaryQueueLabel,  // the queue status label
  SecondaryQueueLabel,
  StatusPassiveOk,  // an "E" item's status 0..8, in their order
  StatusNotConnected,
  StatusStationTransfer,
  StatusCentralLink,
  StatusActiveOk,
  StatusConnectionBroken,
  StatusBadRequest,
  StatusStationControl,
  StatusPassword,
  StatusUnknown,  // an "E" status above 8
  ErrorNumber,    // the decoder's event-line parts
  ControlError,
  CounterReset,
  MemoryWrite,
  QqWriteDone,
  QqReadDone,
  SamplesUntil,
  ReadMemoryBlock,  // the output path's event lines
  SetErrorCounter,
  SetMessageCounter,
  SetCallCode,
  TcpInit,
  // What a check of the parameter file finds beside Init's own refusals; %1..
  // stand for the parts Say() fills in.
  FindingRefused,       // the label of a finding that makes Init fail
  FindingChanged,       // the label of one the driver loads otherwise than written
  FindNumberCut,        // keyword, value, what is stored
  FindCountAboveLimit,  // keyword, value, the limit (what is stored)
  FindNotANumber,       // keyword, value, what is stored
  FindTextRejected,     // keyword
  FindTextEmpty,        // keyword
  FindTextCut,          // keyword, the field's length, what is stored
  FindUnknownWord,      // item, section header
  FindOutsideSection,   // item, the header searched for
  FindStationDropped,   // Init's message for the station
  FindStationsIgnored,  // the station limit's message
  FindCucPathMissing,   // the folder
  FindChannelTaken,     // keyword, station, channels, keyword, station, line
  Count
};

// The languages the driver speaks. Czech is the driver's own and the default.
enum class Language : uint8_t { Czech, English };

// The language of ZLNETDRV_LANG: English for "en" (any case, and "en_..."
// forms), Czech for anything else or when it is not set.
Language LanguageFromEnvironment();

// Sets the language of every later text, process-wide (the host sets it before
// MakeDriver, which reads it from the environment).
void SetLanguage(Language language);
Language CurrentLanguage();

// The text in the driver's language, Windows-1250.
const std::string &Say(TextId id);

// The text with %1, %2, ... replaced by the parts (Windows-1250 too), in
// order; a part that is not given leaves its mark as it stands.
std::string Say(TextId id, std::initializer_list<std::string_view> parts);

// The text of a socket (WinSock) error number; the catalogue's
// SocketErrorUnspecified for a number without a text of its own.
const std::string &SocketErrorText(int code);

// The catalogue's entries, for the tables of TextsCzech.cpp.
struct TextEntry {
  TextId Id;
  const char *Utf8;
};
struct SocketErrorEntry {
  int Code;
  const char *Utf8;
};

}  // namespace zl

#endif  // ZL_UTIL_TEXTS_H
