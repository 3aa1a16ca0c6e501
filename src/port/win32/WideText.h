// Windows-1250 texts of the driver to and from the wide texts of Windows'
// own calls, and to the process's ANSI code page for the C runtime's calls.
#ifndef ZL_PORT_WIN32_WIDETEXT_H
#define ZL_PORT_WIN32_WIDETEXT_H

#include <string>
#include <string_view>

namespace zl {

std::wstring WideFromCp1250(std::string_view cp1250);
// Characters Windows-1250 lacks become '?'.
std::string Cp1250FromWide(std::wstring_view wide);
// The same text in the ANSI code page (what fopen and the A calls expect);
// characters that code page lacks become '?'.
std::string AnsiFromCp1250(std::string_view cp1250);

}  // namespace zl

#endif  // ZL_PORT_WIN32_WIDETEXT_H
