#include "core/RequestIndex.h"

namespace zl {

namespace {

bool ComparesData(int32_t kind) {
  return kind == kWriteQq || kind == kReadQq;
}

}  // namespace

bool RequestIndex::Equal(const QueuedRequest &a, const QueuedRequest &b) {
  return a.Station == b.Station && a.Kind == b.Kind && a.Index == b.Index &&
         a.Definition == b.Definition && (!ComparesData(a.Kind) || a.Data == b.Data);
}

RequestIndex::Key RequestIndex::KeyOf(const QueuedRequest &r) {
  Key k{r.Station, r.Kind, r.Index, r.Definition, Str255()};
  if (ComparesData(r.Kind)) k.Data = r.Data;
  return k;
}

std::size_t RequestIndex::KeyHash::operator()(const Key &k) const {
  // FNV-1a over the fields and the data bytes.
  uint64_t h = 14695981039346656037ull;
  auto mix = [&h](uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) {
      h ^= (v >> (8 * i)) & 0xFF;
      h *= 1099511628211ull;
    }
  };
  mix(k.Station, 1);
  mix(static_cast<uint32_t>(k.Kind), 4);
  mix(static_cast<uint16_t>(k.Index), 2);
  mix(reinterpret_cast<uintptr_t>(k.Definition), sizeof(uintptr_t));
  for (uint8_t b : k.Data.view()) mix(b, 1);
  return static_cast<std::size_t>(h);
}

template <typename Fn>
void RequestIndex::ForEachDescriptor(const QueuedRequest &r, Fn fn) {
  if (r.Kind != kReadQq) return;
  const std::size_t n = r.Data.size();
  for (std::size_t i = 0; i + 3 <= n; i += 3)
    fn(StationDescriptor(r.Station, DescriptorKey(r.Data[i], r.Data[i + 1], r.Data[i + 2])));
}

void RequestIndex::Add(const QueuedRequest &r) {
  ++size_;
  ++equal_[KeyOf(r)];
  ForEachDescriptor(r, [this](uint32_t d) { ++descriptors_[d]; });
}

void RequestIndex::Subtract(const QueuedRequest &r) {
  if (size_ > 0) --size_;
  auto it = equal_.find(KeyOf(r));
  if (it != equal_.end() && --it->second == 0) equal_.erase(it);
  ForEachDescriptor(r, [this](uint32_t d) {
    auto dt = descriptors_.find(d);
    if (dt != descriptors_.end() && --dt->second == 0) descriptors_.erase(dt);
  });
}

void RequestIndex::Reset() {
  equal_.clear();
  descriptors_.clear();
  size_ = 0;
}

void RequestIndex::SyncWith(const std::list<QueuedRequest> &list) {
  if (list.size() == size_) return;
  Reset();
  for (const QueuedRequest &r : list) Add(r);
}

uint32_t RequestIndex::EqualCount(const QueuedRequest &r) const {
  auto it = equal_.find(KeyOf(r));
  return it == equal_.end() ? 0 : it->second;
}

}  // namespace zl
