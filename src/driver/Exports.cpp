// The host's entry points (include/zlnetdrv.h).
//
// The handle is the address of one process-wide variable that holds the
// driver's Driver. Every entry point that takes a handle checks it against
// that address and the variable against null, and checks its pointers, so a
// null or foreign handle or a null pointer makes it do nothing.
#include "zlnetdrv.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "driver/Driver.h"
#include "driver/Exports.h"
#include "driver/HostData.h"
#include "exchange/ChannelMapJson.h"
#include "util/Texts.h"

namespace zl {
namespace {

std::atomic<Driver *> g_driver{nullptr};

// Runs an entry point's body; a failure inside (memory, a thread that cannot
// be created) is never raised to the host: the call answers fallback.
template <class R, class F>
R Guarded(R fallback, F &&body) noexcept {
  try {
    return body();
  } catch (...) {
    return fallback;
  }
}

template <class F>
void Guarded(F &&body) noexcept {
  try {
    body();
  } catch (...) {
  }
}

// snprintf-like: copies what fits of text (cut at a UTF-8 character boundary)
// and a NUL into buffer; answers the length of the whole text.
int32_t CopyOut(const std::string &text, char *buffer, int32_t size) {
  if (size > 0) {
    std::size_t n = std::min(text.size(), static_cast<std::size_t>(size) - 1);
    while (n > 0 && n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
  }
  return static_cast<int32_t>(std::min<std::size_t>(text.size(), INT32_MAX));
}

}  // namespace

Driver *FormOfHandle(const void *handle) {
  if (handle != static_cast<const void *>(&g_driver)) return nullptr;
  return g_driver.load();
}

}  // namespace zl

using zl::Driver;
using zl::FormOfHandle;
using zl::Guarded;

extern "C" {

uint32_t Version(void) {
  return 0x30000;
}

uint8_t Check(uint32_t, char *text) {
  if (text) text[0] = '\0';
  return 1;
}

uint32_t GetDriverInfo(uint32_t, char *text) {
  if (!text) return 0;
  const std::string_view info = zl::kDriverInfo;
  std::memcpy(text, info.data(), info.size());
  text[info.size()] = '\0';
  return static_cast<uint32_t>(info.size());
}

void *MakeDriver(void) {
  return Guarded<void *>(nullptr, []() -> void * {
    // The language is the process's choice, read before the window gets its texts.
    zl::SetLanguage(zl::LanguageFromEnvironment());
    // One driver per library: a second MakeDriver replaces the first, which no
    // handle can reach any more, so it is stopped and freed here.
    Driver *previous = zl::g_driver.exchange(nullptr);
    delete previous;
    zl::g_driver.store(new Driver());
    return &zl::g_driver;
  });
}

void DisposeDriver(void *handle) {
  if (!FormOfHandle(handle)) return;
  Driver *form = zl::g_driver.exchange(nullptr);
  delete form;  // stops the thread first when Done was not called
}

int32_t DriverCallBack(void *handle, int32_t code) {
  Driver *form = FormOfHandle(handle);
  if (!form) return 0;
  Guarded([&] {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%03u", static_cast<unsigned>(code) & 0xFFu);
    form->Di.Debug("DriverCallBack", digits);
  });
  return code >= 0 && code <= 2 ? 0 : -1;
}

uint8_t Init(void *handle, int32_t charLimit, const char *fileName, uint32_t, char *text,
             int32_t loginLevel) {
  Driver *form = FormOfHandle(handle);
  if (!form || !fileName || !text) return 0;
  return Guarded<uint8_t>(
      0, [&]() -> uint8_t { return form->Init(charLimit, fileName, text, loginLevel) ? 1 : 0; });
}

uint8_t BufferInfo(void *handle, uint32_t number, uint8_t type, uint16_t size) {
  Driver *form = FormOfHandle(handle);
  if (!form) return 0;
  return Guarded<uint8_t>(
      0, [&]() -> uint8_t { return zl::HostBufferInfo(form->Di, number, type, size) ? 1 : 0; });
}

void SetBufferAddr(void *handle, uint32_t number, void *block) {
  Driver *form = FormOfHandle(handle);
  if (!form) return;
  Guarded([&] { zl::HostSetBufferAddr(form->Di, number, block); });
}

void InputRequest(void *handle, uint16_t channel) {
  if (Driver *form = FormOfHandle(handle))
    Guarded([&] { zl::HostInputRequest(form->Di, channel); });
}

void InputRequestCompleted(void *, uint16_t) {}

uint8_t InputFinalized(void *handle, uint32_t, int32_t *result) {
  if (!FormOfHandle(handle) || !result) return 0;
  *result = 0;
  return 1;
}

void GetInput(void *handle, uint16_t channel, HostValue *value) {
  Driver *form = FormOfHandle(handle);
  if (!form || !value) return;
  Guarded([&] { zl::HostGetInput(form->Di, channel, *value); });
}

void OutputRequest(void *handle, uint16_t channel, uint32_t type, uint64_t value) {
  Driver *form = FormOfHandle(handle);
  if (!form) return;
  Guarded([&] { zl::HostOutputRequest(form->Di, channel, type, value); });
}

void OutputRequestCompleted(void *, uint16_t) {}

uint8_t OutputFinalized(void *handle, uint32_t, int32_t *result) {
  if (!FormOfHandle(handle) || !result) return 0;
  *result = 0;
  return 1;
}

void DriverProc(void *handle, int32_t code, int32_t p1, int32_t p2) {
  if (Driver *form = FormOfHandle(handle)) Guarded([&] { form->DriverProc(code, p1, p2); });
}

void QueryProc(void *handle, int32_t code, int32_t param) {
  if (Driver *form = FormOfHandle(handle)) Guarded([&] { form->QueryProc(code, param); });
}

void Done(void *handle) {
  if (Driver *form = FormOfHandle(handle)) Guarded([&] { form->Done(); });
}

int32_t PumpMessages(void *handle, int32_t timeoutMs) {
  Driver *form = FormOfHandle(handle);
  if (!form) return 0;
  return Guarded<int32_t>(0, [&] { return static_cast<int32_t>(form->Loop.Pump(timeoutMs)); });
}

int32_t MessageFd(void *handle) {
  Driver *form = FormOfHandle(handle);
  return form ? form->Loop.Fd() : -1;
}

int32_t GetStatusWindow(void *handle, char *buffer, int32_t size) {
  Driver *form = FormOfHandle(handle);
  if (!form || (!buffer && size != 0)) return 0;
  return Guarded<int32_t>(0, [&] { return zl::CopyOut(form->StatusJson(), buffer, size); });
}

int32_t GetChannelMap(void *handle, char *buffer, int32_t size) {
  Driver *form = FormOfHandle(handle);
  if (!form || (!buffer && size != 0)) return 0;
  return Guarded<int32_t>(0,
                          [&] { return zl::CopyOut(zl::ChannelMapJson(form->Di), buffer, size); });
}

void ClickButton(void *handle, const char *name) {
  Driver *form = FormOfHandle(handle);
  if (!form || !name) return;
  Guarded([&] { form->Click(name); });
}

}  // extern "C"
