#include "exchange/SampleMemory.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "core/DriverInstance.h"
#include "core/RequestQueues.h"
#include "core/SampleBuffer.h"
#include "core/SampleState.h"
#include "port/DrivePath.h"
#include "port/File.h"
#include "util/Encodings.h"

namespace zl {

void ClearSampleTable(DriverInstance &di) {
  di.Sample.ClearTable();
}

uint8_t SampleRequestKind(uint8_t sampleBlock, uint8_t altKinds) {
  static constexpr uint8_t kinds[2][3] = {
      {kReadSamples1, kReadSamples2, kReadSamples3},
      {kReadSamplesAlt1, kReadSamplesAlt2, kReadSamplesAlt3},
  };
  const int block = sampleBlock >= 1 && sampleBlock <= 3 ? sampleBlock : 1;
  return kinds[altKinds != 0 ? 1 : 0][block - 1];
}

void StartSampleTransfer(DriverInstance &di) {
  SampleState &sample = di.Sample;
  uint8_t station, kind;
  {
    MutexLock lock(di.DataLock);  // StationCount
    MutexLock sampleLock(sample.Lock);
    if (sample.StationNumber == 0 || sample.StationNumber > di.StationCount) return;
    sample.TransferStation = sample.StationNumber;
    sample.Busy = 1;
    sample.TransferRunning = 1;
    sample.BlocksIn.reset();
    station = sample.TransferStation;
    kind = SampleRequestKind(sample.Block, sample.AltKinds);
  }
  for (int r = 0; r < kSampleBlocks; ++r) {
    const auto address = static_cast<uint16_t>(kSampleMemoryStart + kSampleBlockBytes * r);
    di.Queues.Enqueue(QueueId::Secondary, station, kind, static_cast<int16_t>(address));
  }
  MutexLock lock(sample.Lock);
  SampleBufferTransferStarted(sample);
}

void WriteSampleFile(DriverInstance &di) {
  SampleState &sample = di.Sample;
  std::string name, rows;
  {
    MutexLock lock(di.DataLock);  // the station's record
    MutexLock sampleLock(sample.Lock);
    const Station *st =
        sample.TransferStation <= di.StationCount ? di.StationAt(sample.TransferStation) : nullptr;
    if (!st || !sample.Table) {
      sample.FileWritten = 0;
      return;
    }
    const uint8_t *first = sample.Table[st->QqVariables.empty() ? 0 : 1].Bytes;
    name = SampleFileName(st->Address, sample.Block, first[0], first[1], first[2]);
    rows.reserve(std::size_t{kSampleRows} * kSampleFileRowBytes);
    for (int r = 0; r < kSampleRows; ++r) {
      const uint8_t *row = sample.Table[r].Bytes;
      rows.append(reinterpret_cast<const char *>(row), 7);  // time stamp and status
      for (int v = 1; v <= 8; ++v) rows.append(reinterpret_cast<const char *>(row + 4 * v + 4), 3);
    }
  }

  // The name is predictable: the file is replaced whole, never written
  // through a link planted under its name.
  const bool written = WriteFileAnew(MapDrivePath(di.Global.CucPath.str() + name), rows);
  MutexLock lock(sample.Lock);
  sample.FileWritten = written ? 1 : 0;
}

}  // namespace zl
