#include "port/win32/WideText.h"

#include <windows.h>

namespace zl {
namespace {

constexpr UINT kCp1250 = 1250;

std::wstring Widen(UINT codePage, std::string_view text) {
  if (text.empty()) return std::wstring();
  int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(n > 0 ? static_cast<std::size_t>(n) : 0, L'\0');
  if (n > 0) {
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  }
  return wide;
}

std::string Narrow(UINT codePage, std::wstring_view wide) {
  if (wide.empty()) return std::string();
  int n = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                              "?", nullptr);
  std::string text(n > 0 ? static_cast<std::size_t>(n) : 0, '\0');
  if (n > 0) {
    WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), text.data(), n,
                        "?", nullptr);
  }
  return text;
}

}  // namespace

std::wstring WideFromCp1250(std::string_view cp1250) {
  return Widen(kCp1250, cp1250);
}

std::string Cp1250FromWide(std::wstring_view wide) {
  return Narrow(kCp1250, wide);
}

std::string AnsiFromCp1250(std::string_view cp1250) {
  if (GetACP() == kCp1250) return std::string(cp1250);
  return Narrow(CP_ACP, Widen(kCp1250, cp1250));
}

}  // namespace zl
