// The parameter file as a host's Init meets it: arbitrary bytes written to a
// file, then Init and Done through the C functions on one driver made once.
// A file that loads starts the thread and the client, and Done takes them
// down again; one that does not answers false with a NUL-terminated message
// of at most 80 characters in the host's 256-byte buffer. Either way the
// driver must be ready for the next Init.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "FuzzDriver.h"
#include "zlnetdrv.h"

namespace {

void *g_handle = nullptr;
std::string g_file;
std::string g_log;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  zl::fuzz::UsePrivateDriveC();
  const std::string drive = std::getenv("ZLNETDRV_DRIVE_C");
  g_file = drive + "/FUZZ.PAR";
  g_log = drive + "/ZLNETDRV.LOG";
  // The host's thread is this one: it made the driver and pumps its loop
  // whenever Done waits for the communication thread.
  g_handle = MakeDriver();
  if (g_handle == nullptr) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  {
    std::ofstream out(g_file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(data), static_cast<std::streamsize>(size));
  }
  char text[256];
  std::memset(text, 'x', sizeof text);
  std::memcpy(text, "FUZZ", 5);
  const uint8_t ok = Init(g_handle, 255, g_file.c_str(), 0, text, 1);
  ZL_FUZZ_CHECK(ok <= 1);
  if (ok) {
    HostValue connected{ZL_TYPE_DOUBLE, {}};
    GetInput(g_handle, 488, &connected);
    PumpMessages(g_handle, 0);
  } else {
    const std::size_t length = strnlen(text, sizeof text);
    ZL_FUZZ_CHECK(length > 0 && length <= 80);
  }
  Done(g_handle);
  // Done leaves a line in the log each time, and "$DIAGS" more: keep the
  // folder small however long the run.
  ::unlink(g_log.c_str());
  return 0;
}
