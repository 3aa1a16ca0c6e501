#include "driver/DriverTexts.h"

#include "util/Text.h"

namespace zl::text {
#define ZL_KEPT_TEXT(function, utf8)                        \
  const std::string &function() {                           \
    static const std::string &converted = KeptCp1250(utf8); \
    return converted;                                       \
  }

ZL_KEPT_TEXT(HostNameLine, "Název ovladače v aplikaci = ")
ZL_KEPT_TEXT(ParameterFileLine, "Parametrický soubor = ")
ZL_KEPT_TEXT(LoginLevelLine, "Úroveň pro přihlášení = ")
ZL_KEPT_TEXT(InitOk, "Inicializace OK")
ZL_KEPT_TEXT(ThreadClassLine, "Třída threadu = ")
ZL_KEPT_TEXT(NoThreadLine, "Třída threadu NEBYLA inicializována !!!")
ZL_KEPT_TEXT(NoMessageQueue, "Nelze vytvořit frontu zpráv ovladače: proces nemá volný deskriptor")
ZL_KEPT_TEXT(NewLoginLevelLine, "Nová úroveň přihlášení = ")
ZL_KEPT_TEXT(AboutPurpose, "Komunikační ovladač pro Halvex 3.x/2000/5.x")
ZL_KEPT_TEXT(AboutLibrary, "Knihovna WIN32DLL (testováno ve W98/NT/2000/XP)")
ZL_KEPT_TEXT(AboutVersion, "Verze ovladače: 1.101 - 2007/08/20")
ZL_KEPT_TEXT(Credit, "Ovladač linky ZL2 přes bránu TCP/IP")

#undef ZL_KEPT_TEXT

}  // namespace zl::text
