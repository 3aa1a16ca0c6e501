#include "exchange/ChannelMap.h"

namespace zl {

StationView ConfiguredStations(const DriverInstance &di) {
  return StationView{di.StationCount, &di, [](const void *source, int n) -> const StationConfig * {
                       return static_cast<const DriverInstance *>(source)->ConfigAt(n);
                     }};
}

uint8_t *StatusFlagOf(Station &st, ChannelKind kind) {
  switch (kind) {
    case ChannelKind::FlagBusy:
      return &st.Busy;
    case ChannelKind::FlagFault:
      return &st.Fault;
    case ChannelKind::FlagNewBinaryInputs:
      return &st.NewBinaryInputs;
    case ChannelKind::FlagNewAnalogInputs:
      return &st.NewAnalogInputs;
    case ChannelKind::FlagNewCounters:
      return &st.NewCounters;
    case ChannelKind::FlagNewMemory:
      return &st.NewMemory;
    case ChannelKind::FlagControlError:
      return &st.ControlError;
    case ChannelKind::FlagConnecting:
      return &st.ConnectRequested;
    case ChannelKind::FlagConnected:
      return &st.Online;
    case ChannelKind::FlagActiveMessage:
      return &st.ActiveMessage;
    default:
      return nullptr;
  }
}

}  // namespace zl
