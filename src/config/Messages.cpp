#include "config/Messages.h"

#include "util/Text.h"

namespace zl::msg {

#define ZL_CP1250_TEXT(name, utf8)                     \
  const std::string &name() {                          \
    static const std::string &text = KeptCp1250(utf8); \
    return text;                                       \
  }

ZL_CP1250_TEXT(MissingGroup, "Chybí definice skupiny ")
ZL_CP1250_TEXT(MissingEnd, "Chybí END na konci skupiny ")
ZL_CP1250_TEXT(BadVariable, "Chybná definice proměnné ")
ZL_CP1250_TEXT(TooManyStations, "Prekrocen maximalni pocet stanic")
ZL_CP1250_TEXT(BadMemoryList, "Chybny soubor definici MEM IN/OUT")
ZL_CP1250_TEXT(BadCounterList, "Chybny soubor definici MEMOUT")
ZL_CP1250_TEXT(BadAnalogLimits, "Chybna definice ANALOG_LIMITS")
ZL_CP1250_TEXT(BadQqDirection, "Proměnná ZAVRO-2 - chybná definice směru (READ/WRITE/BIDIR)")
ZL_CP1250_TEXT(BadQqType,
               "Proměnná ZAVRO-2 - chybná definice typu\r"
               "(BYTE,WORD,INTEGER,CARDINAL,LONGINT,REAL,STRING)")
ZL_CP1250_TEXT(BadMemoryBlock, "Chyba definice v sekci MEMORY_BLOCK")
ZL_CP1250_TEXT(UnreadableFile, "Nelze načíst parametrický soubor ")
ZL_CP1250_TEXT(BareLineFeeds,
               "Parametrický soubor má konce řádků LF bez CR: text v uvozovkách "
               "si bere i následující řádek")

#undef ZL_CP1250_TEXT

}  // namespace zl::msg
