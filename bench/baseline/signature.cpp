// The signature search as it was before the frequency-table plan and the
// AVX-512 scan, kept unchanged under quillfen::baseline so that the benchmarks
// can time it beside the current one in the same run. Not part of the product.
#include "baseline/signature.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/cpu_features.h"
#include "baseline/signature_scan.h"

namespace quillfen::baseline {

namespace signature_internal {

namespace {

// The start of an occurrence plus the offset. A sum that a signed 32-bit
// position cannot hold gives 0, not located, rather than a wrapped position
// somewhere else in the file.
std::int32_t ResultAt(std::int64_t start, std::int32_t offset) {
  const std::int64_t sum = start + offset;
  return sum > INT32_MAX || sum < INT32_MIN ? 0 : static_cast<std::int32_t>(sum);
}

// The signature's fixed places, in signature order.
std::vector<Place> FixedPlaces(std::span<const std::uint8_t> sig,
                               std::span<const std::uint8_t> sigwild) {
  std::vector<Place> places;
  for (std::size_t j = 0; j < sig.size(); ++j) {
    // A missing flag counts as 0, so a short flag array cannot be read past its end.
    const std::uint8_t wild = j < sigwild.size() ? sigwild[j] : 0;
    if (wild == 0) places.push_back({j, sig[j]});
  }
  return places;
}

bool MatchesAt(const std::uint8_t* candidate, const std::vector<Place>& places) {
  return MatchesAt(candidate, places.data(), places.size());
}

// Checks every candidate from 0 to last in ascending order.
std::int64_t EveryCandidate(const std::uint8_t* image, std::int64_t last,
                            const std::vector<Place>& places, std::int32_t occur) {
  std::int32_t count = 0;
  const Place first = places.front();
  for (std::int64_t p = 0; p <= last; ++p) {
    if (image[p + static_cast<std::int64_t>(first.index)] != first.byte) continue;
    if (MatchesAt(image + p, places) && ++count == occur) return p;
  }
  return -1;
}

// The plan of the block scans (signature_scan.h) is weighed on a sample of
// candidates: runs of 64 candidates in a row, one sampled candidate in every
// 256, at least one run and at most 256 (16384 candidates).
constexpr std::int64_t kPlanRun = 64;
constexpr std::int64_t kPlanEvery = 256;
constexpr std::int64_t kPlanMaxRuns = 256;
// At most this many fixed places, spread over the signature, are weighed as
// filter places, so that a long signature costs no more to plan than a short one.
constexpr std::size_t kPlanWeighed = 16;
// Filter places are added, at least two where there are two, until at most 1 in
// this many sampled candidates holds them all: a block of 32 whose filter passes
// costs a mispredicted branch and a second look, some 20 times the vector
// compare of one more place.
constexpr std::size_t kPlanLeast = 2;
constexpr std::int64_t kPlanEnough = 2048;

// Orders the fixed places for the block scans and returns how many lead as
// filter places (1 to 4). Each round takes the weighed place that the fewest
// sampled candidates hold together with the places taken before, so that bytes
// which come together in the data (the zeros of a zero run, an opcode and its
// usual operand) are not taken for independent filters. The other places follow,
// those whose byte is rarest in the sample first, so that a block's second look
// ends early. Only the speed depends on the plan, never a result.
std::size_t PlanBlockScan(const std::uint8_t* image, std::int64_t last, std::vector<Place>& places) {
  const std::int64_t candidates = last + 1;
  const std::int64_t run = std::min(kPlanRun, candidates);
  const std::int64_t runs = std::clamp<std::int64_t>(candidates / (kPlanRun * kPlanEvery), 1,
                                                     kPlanMaxRuns);
  const std::int64_t sampled = runs * run;
  std::vector<std::int64_t> starts(static_cast<std::size_t>(runs));
  for (std::int64_t r = 0; r < runs; ++r) {
    starts[static_cast<std::size_t>(r)] = (candidates - run) * r / runs;
  }

  // holds[w * runs + r], bit i: sampled candidate starts[r] + i holds weighed place w.
  const std::size_t weighed = std::min(places.size(), kPlanWeighed);
  std::vector<std::size_t> weighed_place(weighed);
  std::vector<std::uint64_t> holds(weighed * static_cast<std::size_t>(runs));
  for (std::size_t w = 0; w < weighed; ++w) {
    weighed_place[w] = w * places.size() / weighed;
    const Place place = places[weighed_place[w]];
    for (std::int64_t r = 0; r < runs; ++r) {
      const std::uint8_t* row = image + starts[static_cast<std::size_t>(r)] + place.index;
      std::uint64_t bits = 0;
      for (std::int64_t i = 0; i < run; ++i) {
        bits |= static_cast<std::uint64_t>(row[i] == place.byte) << i;
      }
      holds[w * static_cast<std::size_t>(runs) + static_cast<std::size_t>(r)] = bits;
    }
  }

  std::vector<std::uint64_t> passing(static_cast<std::size_t>(runs), ~std::uint64_t{0});
  std::int64_t passes = sampled;
  std::vector<std::size_t> filter;  // weighed indices, in the order taken
  std::vector<bool> taken(weighed, false);
  while (filter.size() < std::min(weighed, kMaxFilter) &&
         (filter.size() < kPlanLeast || passes * kPlanEnough > sampled)) {
    std::size_t best = weighed;
    std::int64_t best_passes = 0;
    for (std::size_t w = 0; w < weighed; ++w) {
      if (taken[w]) continue;
      std::int64_t count = 0;
      for (std::size_t r = 0; r < passing.size(); ++r) {
        count += std::popcount(passing[r] & holds[w * passing.size() + r]);
      }
      if (best == weighed || count < best_passes) {
        best = w;
        best_passes = count;
      }
    }
    for (std::size_t r = 0; r < passing.size(); ++r) passing[r] &= holds[best * passing.size() + r];
    passes = best_passes;
    taken[best] = true;
    filter.push_back(best);
  }

  std::array<std::uint32_t, 256> seen{};
  for (const std::int64_t start : starts) {
    for (std::int64_t i = 0; i < run; ++i) ++seen[image[start + i]];
  }
  std::vector<bool> leads(places.size(), false);
  std::vector<Place> ordered;
  ordered.reserve(places.size());
  for (const std::size_t w : filter) {
    ordered.push_back(places[weighed_place[w]]);
    leads[weighed_place[w]] = true;
  }
  for (std::size_t i = 0; i < places.size(); ++i) {
    if (!leads[i]) ordered.push_back(places[i]);
  }
  std::stable_sort(ordered.begin() + static_cast<std::ptrdiff_t>(filter.size()), ordered.end(),
                   [&](const Place& a, const Place& b) { return seen[a.byte] < seen[b.byte]; });
  places = std::move(ordered);
  return filter.size();
}

// Below this size auto scans candidate by candidate: the whole scan costs
// little more than weighing a plan.
constexpr std::int64_t kSmallImage = 4 * 1024;

}  // namespace

// What the block scans take besides the image: the fixed places in the planned
// order and, for a signature whose fixed places all hold one byte, its segments.
struct BlockPlan {
  std::vector<Place> places;
  std::size_t filter = 1;
  bool one_byte = false;
  std::size_t low = 0;
  std::size_t high = 0;
  std::vector<Segment> segments;
  int levels = 0;

  // The scan of candidates 0 to last of an image of `size` bytes.
  Scan ScanOf(const std::uint8_t* image, std::int64_t size, std::int64_t last, std::int64_t occur,
              std::int64_t* counted) const {
    return {image,    size, last, places.data(),   places.size(),   filter, occur,
            one_byte, low,  high, segments.data(), segments.size(), levels, counted};
  }
};

namespace {

// Plans the block scans of the fixed places (at least one) on a sample of the
// candidates 0 to last.
BlockPlan PlanBlocks(const std::uint8_t* image, std::int64_t last, std::vector<Place> places) {
  BlockPlan plan;
  // In signature order, before the plan reorders them.
  plan.low = places.front().index;
  plan.high = places.back().index;
  plan.one_byte = std::all_of(places.begin(), places.end(), [&](const Place& place) {
    return place.byte == places.front().byte;
  });
  if (plan.one_byte) {
    for (std::size_t k = 0; k < places.size();) {
      std::size_t length = 1;
      while (k + length < places.size() && places[k + length].index == places[k].index + length) {
        ++length;
      }
      const int level = std::bit_width(length) - 1;
      plan.segments.push_back(
          {places[k].index - plan.low, level, length - (std::size_t{1} << level)});
      plan.levels = std::max(plan.levels, level);
      k += length;
    }
  }
  plan.filter = PlanBlockScan(image, last, places);
  plan.places = std::move(places);
  return plan;
}

std::int64_t RunBlocks(const Scan& scan, bool avx2) {
  return avx2 && CpuHasAvx2() ? ScanAvx2(scan) : ScanSse2(scan);
}

}  // namespace

std::int32_t FindSignatureUsing(Strategy strategy, std::span<const std::uint8_t> image,
                                std::span<const std::uint8_t> sig,
                                std::span<const std::uint8_t> sigwild, std::int32_t offset,
                                std::int32_t occur) {
  const auto size = static_cast<std::int64_t>(image.size());
  const auto n = static_cast<std::int64_t>(sig.size());
  const std::int64_t last = size - n - 1;
  if (last < 0 || occur <= 0) return 0;

  std::vector<Place> places = FixedPlaces(sig, sigwild);
  if (places.empty()) {
    // Every candidate is an occurrence.
    return last + 1 >= occur ? ResultAt(occur - 1, offset) : 0;
  }
  if (strategy == Strategy::kAuto) {
    strategy = size < kSmallImage ? Strategy::kEveryCandidate
               : CpuHasAvx2()     ? Strategy::kAvx2Blocks
                                  : Strategy::kSse2Blocks;
  }

  std::int64_t start = -1;
  if (strategy == Strategy::kEveryCandidate) {
    start = EveryCandidate(image.data(), last, places, occur);
  } else {
    const BlockPlan plan = PlanBlocks(image.data(), last, std::move(places));
    start = RunBlocks(plan.ScanOf(image.data(), size, last, occur, nullptr),
                      strategy == Strategy::kAvx2Blocks);
  }
  return start < 0 ? 0 : ResultAt(start, offset);
}

}  // namespace signature_internal

SignatureSearch::SignatureSearch(std::span<const std::uint8_t> image,
                                 std::span<const std::uint8_t> sig,
                                 std::span<const std::uint8_t> sigwild, std::int32_t occur)
    : image_(image),
      length_(static_cast<std::int64_t>(sig.size())),
      end_(static_cast<std::int64_t>(image.size()) - static_cast<std::int64_t>(sig.size())),
      occur_(occur) {
  if (end_ <= 0 || occur <= 0) {
    next_ = end_;  // no candidates, or no occurrence asked for
    return;
  }
  std::vector<signature_internal::Place> places = signature_internal::FixedPlaces(sig, sigwild);
  if (places.empty()) {
    // Every candidate is an occurrence.
    if (end_ >= occur) start_ = occur - 1;
    next_ = end_;
    return;
  }
  plan_ = std::make_unique<signature_internal::BlockPlan>(
      signature_internal::PlanBlocks(image.data(), end_ - 1, std::move(places)));
}

SignatureSearch::~SignatureSearch() = default;
SignatureSearch::SignatureSearch(SignatureSearch&&) noexcept = default;
SignatureSearch& SignatureSearch::operator=(SignatureSearch&&) noexcept = default;

void SignatureSearch::ScanTo(std::int64_t end) {
  if (Finished() || end <= next_) return;
  const std::int64_t to = end < end_ ? end : end_;
  // The candidates next_ to to - 1, with the bytes they and the byte after
  // them read; the occurrence asked for is the one after those counted so far.
  const std::int64_t window_end = std::min(to + length_, static_cast<std::int64_t>(image_.size()));
  std::int64_t counted = 0;
  const std::int64_t start =
      signature_internal::RunBlocks(plan_->ScanOf(image_.data() + next_, window_end - next_,
                                                  to - 1 - next_, occur_ - found_, &counted),
                                    true);
  if (start >= 0) {
    start_ = next_ + start;
    next_ = end_;
    return;
  }
  found_ += counted;
  next_ = to;
}

std::int32_t SignatureSearch::Result(std::int32_t offset) const {
  return start_ < 0 ? 0 : signature_internal::ResultAt(start_, offset);
}

std::int64_t CountSignature(std::span<const std::uint8_t> image, std::span<const std::uint8_t> sig,
                            std::span<const std::uint8_t> sigwild) {
  using signature_internal::Place;
  const auto size = static_cast<std::int64_t>(image.size());
  const std::int64_t last = size - static_cast<std::int64_t>(sig.size()) - 1;
  if (last < 0) return 0;
  const std::vector<Place> places = signature_internal::FixedPlaces(sig, sigwild);
  if (places.empty()) return last + 1;
  // Every occurrence holds the first fixed byte at its place, so jumping with
  // memchr from one place of that byte to the next visits every occurrence.
  const auto shift = static_cast<std::int64_t>(places.front().index);
  const std::uint8_t* cursor = image.data() + shift;
  const std::uint8_t* const end = image.data() + last + shift + 1;
  std::int64_t count = 0;
  while (cursor < end) {
    const void* hit = std::memchr(cursor, places.front().byte, static_cast<std::size_t>(end - cursor));
    if (hit == nullptr) break;
    const auto* at = static_cast<const std::uint8_t*>(hit);
    if (signature_internal::MatchesAt(at - shift, places.data(), places.size())) ++count;
    cursor = at + 1;
  }
  return count;
}

std::int32_t FindSignature(std::span<const std::uint8_t> image, std::span<const std::uint8_t> sig,
                           std::span<const std::uint8_t> sigwild, std::int32_t offset,
                           std::int32_t occur) {
  return signature_internal::FindSignatureUsing(signature_internal::Strategy::kAuto, image, sig,
                                                sigwild, offset, occur);
}

}  // namespace quillfen
