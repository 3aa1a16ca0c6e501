// The driver's own texts. ASCII texts are plain constants; the Czech ones are
// written in UTF-8 here and converted once to Windows-1250, the bytes the
// driver keeps and shows. The converted texts live until the process ends
// (never destroyed, so a thread still running at exit cannot see them go).
#ifndef ZL_DRIVER_DRIVERTEXTS_H
#define ZL_DRIVER_DRIVERTEXTS_H

#include <string>
#include <string_view>

namespace zl::text {

inline constexpr std::string_view kDriverInfo = "Zavro-RT/ZL2, TCP/IP v.1.101";
inline constexpr std::string_view kVersionDate = "1.101 - 2007/08/20";
inline constexpr std::string_view kWindowCaption = "ZLNETDRV";
inline constexpr std::string_view kVersionTitle = "Verze:";
inline constexpr std::string_view kActivityAtStart = ".........";
inline constexpr std::string_view kActivityIdle = "klid";
inline constexpr std::string_view kAboutCaption = "&Info";
inline constexpr std::string_view kMinimizeCaption = "Mi&nimalizovat";

// Init's event lines (a value follows the first four).
const std::string &HostNameLine();       // "Název ovladače v aplikaci = "
const std::string &ParameterFileLine();  // "Parametrický soubor = "
const std::string &LoginLevelLine();     // "Úroveň pro přihlášení = "
const std::string &InitOk();             // "Inicializace OK"
const std::string &ThreadClassLine();    // "Třída threadu = "
const std::string &NoThreadLine();       // "Třída threadu NEBYLA inicializována !!!"
// Init's error text when the driver's message queue cannot be made (the
// process has no free file descriptor).
const std::string &NoMessageQueue();
// DriverProc 6 (the level follows).
const std::string &NewLoginLevelLine();  // "Nová úroveň přihlášení = "

// The About lines, in the order they are added.
const std::string &AboutPurpose();  // "Komunikační ovladač pro ..."
const std::string &AboutLibrary();  // "Knihovna WIN32DLL ..."
const std::string &AboutVersion();  // "Verze ovladače: ..."

// The credit label's line.
const std::string &Credit();

}  // namespace zl::text

#endif  // ZL_DRIVER_DRIVERTEXTS_H
