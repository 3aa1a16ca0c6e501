// Feeds arbitrary bytes to the parameter file loader as a whole file: the
// reader must neither crash, nor hang, nor break its records' invariants.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "driver/ParameterLoad.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  // "$DIAGS" switches the debug log on: let its lines go nowhere.
  setenv("ZLNETDRV_DRIVE_C", "/nonexistent/zlnetdrv-fuzz", 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  zl::DriverInstance di;
  zl::InitZavro(di);
  bool ok = zl::LoadParameterText(di, std::string_view(reinterpret_cast<const char *>(data), size));
  if (ok) zl::ResetStations(di);
  if (std::memchr(di.ErrorText, 0, 81) == nullptr) __builtin_trap();
  if (ok && (di.StationCount < 1 || di.StationCount > zl::kMaxStations)) __builtin_trap();
  if (!ok && !di.ErrorText[0]) __builtin_trap();
  std::string_view cuc = di.Global.CucPath.view();
  if (cuc.empty() || cuc.back() != '\\') __builtin_trap();
  for (int n = 1; n <= zl::kMaxStations; ++n) {
    const zl::Station &st = *di.StationAt(n);
    if (st.NumBinarIn > zl::kMaxBinaryIn || st.NumAnalogIn > zl::kMaxAnalogIn ||
        st.NumCounterIn > zl::kMaxCounters || st.NumMemoryIn > zl::kMaxMemoryIn ||
        st.NumMemoryOut > zl::kMaxMemoryOut)
      __builtin_trap();
    for (const zl::MemoryBlock &b : st.MemoryBlocks)
      if (b.ItemTypes.size() != b.ItemDirections.size() || b.Size == 0) __builtin_trap();
  }
  return 0;
}
