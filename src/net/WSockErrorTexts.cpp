#include "net/WSockErrorTexts.h"

#include <map>

#include "util/Text.h"

namespace zl {
namespace {

struct ErrorText {
  int code;
  const char *utf8;
};

constexpr ErrorText kTexts[] = {
    {10004, "Přerušeno volání systémem"},
    {10009, "Chybné číslo souboru"},
    {10013, "Přístup zakázán"},
    {10014, "Chybná adresa"},
    {10022, "Neplatný argument"},
    {10024, "Příliš mnoho otevřených souborů"},
    {10035, "Operace vyžaduje blokové (asynchronní) spojení"},
    {10036, "Operace nyní probíhá"},
    {10037, "Operace je již zařazena"},
    {10038, "Operace Socketu pro Non-socket"},
    {10039, "Vyžadována cílová adresa"},
    {10040, "Zpráva je příliš dlouhá"},
    {10041, "Chybný protokol pro socket"},
    {10042, "Protokol je nedostupný"},
    {10043, "Protokol není podporován"},
    {10044, "Typ socketu není podporován"},
    {10045, "Operace není na socketu podporována"},
    {10046, "Protokol třídy není podporován"},
    {10047, "Adresa třídy není podporována protokolem třídy"},
    {10048, "Adresa je již používána"},
    {10049, "Nelze převést požadovanou adresu"},
    {10050, "Síťové spojení spadlo"},
    {10051, "Síť nelze procházet"},
    {10052, "Síť byla při resetu shozena"},
    {10053, "Spojení bylo programově přerušeno"},
    {10054, "Spojení bylo resetováno (peer)"},
    {10055, "Nedostupná velikost vyrovnávací paměti"},
    {10056, "Socket je již spojen"},
    {10057, "Socket není spojen"},
    {10058, "Nelze vysílat data po ukončení spojení se socketem"},
    {10059, "Příliš mnoho odkazů: nelze spojovat"},
    {10060, "Překročen čas při navázání spojení"},
    {10061, "Spojení zamítnuto"},
    {10062, "Příliš mnoho úrovní symbolických odkazů"},
    {10063, "Název souboru je příliš dlouhý"},
    {10064, "Host je vypnut"},
    {10065, "Cesta k hostu neexistuje"},
    {10066, "Adresář není prázdný"},
    {10067, "Příliš mnoho procesů"},
    {10068, "Příliš mnoho uživatelů"},
    {10069, "Překročena přidělená velikost na disku"},
    {10070, "Neplatný (prošlý) ukazatel NFS souboru"},
    {10071, "Příliš mnoho úrovní vzdálené cesty"},
    {10091, "Síť sub-systému nelze použít"},
    {10092, "WinSock.DLL neumí podporovat tuto aplikaci"},
    {10093, "WinSock není zinicializován"},
    {11001, "Host nebyl nalezen"},
    {11002, "Host bez autorizace nebyl nalezen"},
    {11003, "Chyba při zotavení spojení"},
    {11004, "Nejsou data požadovaného typu"},
};

}  // namespace

const std::string &WSockErrorText(int code) {
  // Converted once; read-only afterwards, so both threads may look up.
  // Kept for the life of the process, as every text the thread may use.
  static const std::map<int, std::string> &texts = *[] {
    auto *m = new std::map<int, std::string>;
    for (const ErrorText &t : kTexts) m->emplace(t.code, Cp1250(t.utf8));
    return m;
  }();
  static const std::string &unspecified = KeptCp1250("Nespecifikovaná chyba Winsocku");
  auto it = texts.find(code);
  return it == texts.end() ? unspecified : it->second;
}

}  // namespace zl
