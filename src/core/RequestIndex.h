// Counts over one request queue that answer the two questions the host's
// thread asks on every call, without walking the queue:
//   - how many waiting requests equal a new one under the duplicate rule
//     (same Station, Kind, Index and Definition; for kinds 15 and 16 the same
//     Data too);
//   - whether a QQ read (kind 16) of a station holding a given 3-byte object
//     descriptor is waiting. A request's descriptors start at Data bytes 0,
//     3, 6, ... while a whole descriptor fits.
// RequestQueues keeps it in step with its list under its own mutex. A list
// changed behind its back is noticed by its size and the counts are rebuilt
// from it.
#ifndef ZL_CORE_REQUESTINDEX_H
#define ZL_CORE_REQUESTINDEX_H

#include <cstddef>
#include <cstdint>
#include <list>
#include <unordered_map>

#include "core/QueuedRequest.h"

namespace zl {

// A QQ object descriptor as one number: byte 0 in bits 23..16.
inline uint32_t DescriptorKey(uint8_t a1, uint8_t a2, uint8_t a3) {
  return uint32_t{a1} << 16 | uint32_t{a2} << 8 | a3;
}

class RequestIndex {
 public:
  void Add(const QueuedRequest &r);
  void Subtract(const QueuedRequest &r);
  void Reset();
  // Makes the counts those of list when the number of requests they cover
  // differs from the list's.
  void SyncWith(const std::list<QueuedRequest> &list);

  // Requests counted that are equal to r under the duplicate rule.
  uint32_t EqualCount(const QueuedRequest &r) const;
  // True when a counted kind-16 request of the station holds the descriptor.
  bool DescriptorPending(uint8_t station, uint32_t descriptor) const {
    return descriptors_.count(StationDescriptor(station, descriptor)) != 0;
  }
  std::size_t Size() const { return size_; }

  // Whether a and b are equal under the duplicate rule.
  static bool Equal(const QueuedRequest &a, const QueuedRequest &b);

 private:
  struct Key {
    uint8_t Station;
    int32_t Kind;
    int16_t Index;
    const MemoryBlock *Definition;
    Str255 Data;  // empty unless the kind compares its data
    bool operator==(const Key &o) const = default;
  };
  struct KeyHash {
    std::size_t operator()(const Key &k) const;
  };
  static Key KeyOf(const QueuedRequest &r);
  // The station in bits 31..24 above the descriptor.
  static uint32_t StationDescriptor(uint8_t station, uint32_t descriptor) {
    return uint32_t{station} << 24 | descriptor;
  }
  template <typename Fn>
  static void ForEachDescriptor(const QueuedRequest &r, Fn fn);

  std::unordered_map<Key, uint32_t, KeyHash> equal_;
  std::unordered_map<uint32_t, uint32_t> descriptors_;  // by StationDescriptor
  std::size_t size_ = 0;
};

}  // namespace zl

#endif  // ZL_CORE_REQUESTINDEX_H
