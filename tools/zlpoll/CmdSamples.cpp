// samples: a station's sample memory into the driver's sample table, shown
// through the host's own sample buffer, then written as the ".CUC" file.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>

#include "port/DrivePath.h"
#include "util/Encodings.h"
#include "zlpoll/Commands.h"
#include "zlpoll/DriverLib.h"
#include "zlpoll/Options.h"
#include "zlpoll/ParamFile.h"
#include "zlpoll/Samples.h"
#include "zlpoll/Screen.h"

namespace zl::poll {

namespace {

// Driver channels of the sample transfer.
constexpr uint16_t kChSampleStation = 60000, kChSampleBlock = 60001, kChSampleRow = 60002,
                   kChStartTransfer = 60003, kChRowBytes = 60004, kChSampleBusy = 60018,
                   kChWriteFile = 60021, kChFileWritten = 60022, kChAltKinds = 60292;

constexpr std::size_t kRowsReceived = 8, kTransferStatus = 24;
constexpr uint32_t kRows = 528, kComplete = 2;

// The driver's thread updates the buffer's progress fields while a transfer
// runs, each as one atomic word; the host reads them the same way.
uint32_t BufferField(const uint8_t *block, std::size_t offset) {
  return __atomic_load_n(reinterpret_cast<const uint32_t *>(block + offset), __ATOMIC_ACQUIRE);
}

}  // namespace

SampleBuffer::SampleBuffer() : words_(std::make_unique<uint32_t[]>(kWords)) {}

uint8_t *SampleBuffer::Block() {
  return reinterpret_cast<uint8_t *>(words_.get());
}

uint32_t SampleBuffer::RowsReceived() const {
  return BufferField(reinterpret_cast<const uint8_t *>(words_.get()), kRowsReceived);
}

uint32_t SampleBuffer::Status() const {
  return BufferField(reinterpret_cast<const uint8_t *>(words_.get()), kTransferStatus);
}

SampleTransfer RunSampleTransfer(Context &ctx, SampleBuffer &buffer, int station, int block,
                                 bool alt, const std::function<void(uint32_t)> &onRows) {
  SampleTransfer t;
  DriverSession &d = ctx.Driver;
  t.Result = ctx.Poll.Connect(station);
  if (!t.Result.Ok()) return t;
  uint32_t shown = UINT32_MAX;
  auto progress = [&] {
    const uint32_t rows = buffer.RowsReceived();
    if (rows == shown) return false;
    shown = rows;
    if (onRows) onRows(rows);
    return true;
  };
  t.Result = ctx.Poll.Exchange(
      station, {}, false,
      [&] {
        d.Put(kChSampleStation, ZL_TYPE_U8, static_cast<uint64_t>(station));
        d.Put(kChSampleBlock, ZL_TYPE_U8, static_cast<uint64_t>(block));
        d.PutBool(kChAltKinds, alt);
        d.PutBool(kChStartTransfer, true);
      },
      progress);
  // The last block may still wait in the driver's store behind an active
  // message when the queues are empty: the transfer is complete when the
  // buffer says so.
  if (t.Result.Ok()) {
    auto complete = [&] {
      progress();
      return buffer.Status() == kComplete;
    };
    if (ctx.Loop.PumpUntil(complete, After(ctx.Poll.TimeoutSeconds())) ==
        EventLoop::Wait::Interrupted)
      t.Result = {kExitInterrupted, "interrupted"};
  }
  progress();
  t.Rows = buffer.RowsReceived();
  if (!t.Result.Ok()) return t;
  if (buffer.Status() != kComplete || t.Rows != kRows || d.GetBool(kChSampleBusy) != 0) {
    t.Result = {kExitNoAnswer, "the sample transfer stopped at row " + std::to_string(t.Rows) +
                                   " of 528; read it again"};
    return t;
  }
  // The file: its name comes from the time stamp of row 1 (row 2 when the
  // station has QQ variables), its folder is CUC_PATH.
  d.PutBool(kChWriteFile, true);
  const StationConfig &st = *ctx.File.At(station);
  const std::string folder = MapDrivePath(ctx.File.Global().CucPath.view());
  if (d.GetBool(kChFileWritten) != 1) {
    t.Result = {kExitInit, "the driver could not write the sample file into CUC_PATH (" + folder +
                               "): check that the folder exists and can be written"};
    return t;
  }
  d.Put(kChSampleRow, ZL_TYPE_U16, st.QqVariables.empty() ? 1 : 2);
  uint8_t stamp[3];
  for (int k = 0; k < 3; ++k)
    stamp[k] = d.Get(static_cast<uint16_t>(kChRowBytes + k), ZL_TYPE_U8).value[0];
  const std::string name =
      SampleFileName(st.Address, static_cast<uint8_t>(block), stamp[0], stamp[1], stamp[2]);
  t.File = MapDrivePath(ctx.File.Global().CucPath.str() + name);
  return t;
}

bool PlanSamples(const Options &opt, const ParamFile &file, Job &job, std::string &error) {
  if (opt.Args.size() != 1) {
    error = "samples needs one station: samples STATION --block B [--alt] [--out DIR]";
    return false;
  }
  int station = 0;
  if (!ParseStation(opt.Args[0], file, station, error)) return false;
  if (opt.Block == 0) {
    error = "samples needs --block B: the sample block 1, 2 or 3";
    return false;
  }
  job = [station](Context &ctx) {
    const bool bar = ::isatty(STDOUT_FILENO) && !ctx.Opt.Json;
    uint32_t lastStep = 0;
    SampleBuffer buffer;
    if (!ctx.Driver.SetSampleBuffer(buffer.Block())) {
      PrintError(
          "the driver refused the sample buffer (BufferInfo); is it another driver version?");
      return kExitInit;
    }
    const SampleTransfer t =
        RunSampleTransfer(ctx, buffer, station, ctx.Opt.Block, ctx.Opt.Alt, [&](uint32_t rows) {
          if (ctx.Opt.Json) return;
          if (bar) {
            std::fputs(("\r" + ProgressBar(rows, kRows, 40)).c_str(), stdout);
            std::fflush(stdout);
          } else if (rows / 66 != lastStep || rows == kRows) {  // every eighth, for logs
            lastStep = rows / 66;
            PrintLine(ProgressBar(rows, kRows, 40));
          }
        });
    if (bar) PrintLine("");
    if (t.Result.Exit == kExitInterrupted) return t.Result.Exit;
    std::string copy;
    Outcome r = t.Result;
    std::error_code ec;
    const auto size = r.Ok() ? std::filesystem::file_size(t.File, ec) : 0;
    if (r.Ok() && !ctx.Opt.OutDir.empty()) {
      std::filesystem::create_directories(ctx.Opt.OutDir, ec);
      copy = (std::filesystem::path(ctx.Opt.OutDir) / std::filesystem::path(t.File).filename())
                 .string();
      std::filesystem::copy_file(t.File, copy, std::filesystem::copy_options::overwrite_existing,
                                 ec);
      if (ec) r = {kExitUsage, "cannot copy the sample file to " + copy + ": " + ec.message()};
    }
    if (ctx.Opt.Json) {
      Json o = {{"station", station}, {"block", ctx.Opt.Block}, {"rows", t.Rows},
                {"ok", r.Ok()},       {"file", t.File},         {"bytes", size}};
      if (!copy.empty()) o["copy"] = copy;
      if (!r.Ok()) o["error"] = r.Message;
      PrintJson(o);
    } else if (r.Ok()) {
      PrintLine("sample file " + t.File + " (" + std::to_string(size) + " bytes)");
      if (!copy.empty()) PrintLine("copied to " + copy);
    }
    if (!r.Ok()) PrintError(r.Message);
    return r.Exit;
  };
  return true;
}

}  // namespace zl::poll
