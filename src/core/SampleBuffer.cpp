#include "core/SampleBuffer.h"

#include <cstdint>
#include <cstring>
#include <mutex>

namespace zl {

namespace {

// Writes x at offset of the block, unaligned, only when it lies inside the
// 16862 bytes the host provides.
template <class T>
void Store(uint8_t *block, std::size_t offset, T x) {
  if (offset + sizeof x <= kSampleBufferSize) std::memcpy(block + offset, &x, sizeof x);
}

// The progress fields change while the host reads them from its own thread:
// stored whole, as one atomic 32-bit store with release order, when the field
// is aligned (a host block from malloc always is); unaligned, byte-wise.
void StoreProgress(uint8_t *block, std::size_t offset, uint32_t x) {
  uint8_t *field = block + offset;
  if (reinterpret_cast<uintptr_t>(field) % alignof(uint32_t) == 0) {
    __atomic_store_n(reinterpret_cast<uint32_t *>(field), x, __ATOMIC_RELEASE);
  } else {
    Store<uint32_t>(block, offset, x);
  }
}

}  // namespace

bool SampleBufferAccepted(uint32_t number, uint8_t type, uint16_t size) {
  return number == kSampleBufferNumber && type == kSampleBufferType && size == kSampleBufferSize;
}

void InitSampleBuffer(SampleState &sample, void *block) {
  auto *b = static_cast<uint8_t *>(block);
  MutexLock lock(sample.Lock);
  sample.BufferAddress = b;
  if (!b) return;
  Store<uint16_t>(b, 0, 0);
  Store<uint16_t>(b, 2, 8);
  Store<uint32_t>(b, 4, kSampleRows);
  Store<uint32_t>(b, 8, 0);
  Store<uint32_t>(b, 12, 0);
  Store<uint32_t>(b, 16, 0);
  Store<uint16_t>(b, 20, 0);
  Store<uint16_t>(b, 22, 9);
  Store<uint32_t>(b, 24, kTransferNone);
  Store<uint16_t>(b, 28, 0);
  Store<float>(b, 30, 300.0f);
  for (std::size_t cell = 0; cell < std::size_t{kSampleRows} * 8; ++cell)
    Store<uint32_t>(b, kSampleBufferCells + 4 * cell, 0);
}

void SampleBufferTransferStarted(SampleState &sample) {
  if (!sample.BufferAddress) return;
  StoreProgress(sample.BufferAddress, kSampleBufferRowsReceived, 0);
  StoreProgress(sample.BufferAddress, kSampleBufferStatus, kTransferStarted);
}

void SampleBufferRowsStored(SampleState &sample, uint32_t lastRow) {
  if (!sample.BufferAddress) return;
  StoreProgress(sample.BufferAddress, kSampleBufferRowsReceived, lastRow);
  if (lastRow == kSampleRows)
    StoreProgress(sample.BufferAddress, kSampleBufferStatus, kTransferComplete);
}

}  // namespace zl
