// A sample-memory transfer as a host runs it: its own 16862-byte sample
// buffer handed to the driver, the transfer started through the driver's
// sample channels, its progress taken from the buffer's rows-received field,
// and the ".CUC" file written at the end. Used by samples and by the demo.
#ifndef ZL_ZLPOLL_SAMPLES_H
#define ZL_ZLPOLL_SAMPLES_H

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "zlnetdrv.h"
#include "zlpoll/Commands.h"

namespace zl::poll {

// The host's sample buffer: exactly the 16862 bytes BufferInfo announces,
// aligned for its 32-bit fields.
class SampleBuffer {
 public:
  SampleBuffer();
  uint8_t *Block();
  uint32_t RowsReceived() const;  // offset 8
  uint32_t Status() const;        // offset 24: 1 started, 2 complete

 private:
  static constexpr std::size_t kWords = (ZL_SAMPLE_BUFFER_SIZE + 3) / 4;
  std::unique_ptr<uint32_t[]> words_;
};

struct SampleTransfer {
  Outcome Result;
  uint32_t Rows = 0;  // rows received
  std::string File;   // the sample file written
};

// Connects the station, transfers its sample block (1..3, alt: the
// alternative request kinds) and writes the file. onRows is called with the
// rows received each time the count moves. The buffer must have been handed
// to the driver.
SampleTransfer RunSampleTransfer(Context &ctx, SampleBuffer &buffer, int station, int block,
                                 bool alt, const std::function<void(uint32_t)> &onRows);

}  // namespace zl::poll

#endif  // ZL_ZLPOLL_SAMPLES_H
