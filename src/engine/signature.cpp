#include "engine/signature.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cstdint>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/byte_frequency.h"
#include "engine/cpu_features.h"
#include "engine/pieces.h"
#include "engine/signature_internal.h"
#include "engine/signature_scan.h"

namespace quillfen {

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

// The plan of the block scans (signature_scan.h) starts from how often each
// byte occurs in x86-64 executables (byte_frequency.h), which costs nothing to
// look up. Where the image is large enough for the scan to outweigh it, the
// table's choice is checked on a sample: runs of 64 candidates spread over the
// image, one run per kPlanSampleEvery candidates, at most kPlanMaxRuns.
constexpr std::int64_t kPlanRun = 64;
constexpr std::int64_t kPlanSampleEvery = std::int64_t{64} << 10;
constexpr std::int64_t kPlanMinRuns = 4;
constexpr std::int64_t kPlanMaxRuns = 32;
// At most this many fixed places, the rarest by the table, are weighed as
// filter places on the sample, so that a long signature costs no more to plan
// than a short one.
constexpr std::size_t kPlanWeighed = 8;
// Filter places are added, at least two where there are two, until at most 1 in
// this many candidates is expected to hold them all: a block of 32 whose filter
// passes costs a mispredicted branch and a second look, some 20 times the
// vector compare of one more place.
constexpr std::size_t kPlanLeast = 2;
constexpr double kPlanEnough = 1.0 / 2048;
// A place within this distance of a place of the same byte already taken is
// likely to hold it when that one does (runs of zeros, of padding, of 0xCC).
constexpr std::size_t kPlanNear = 8;

double TableShare(std::uint16_t count) {
  return static_cast<double>(count) / 65536.0;
}

// The share of candidates expected to hold the place once they hold the places
// taken: the byte's share in executables, or where a taken place nearby wants
// the same byte, the share of that byte's occurrences that repeat it.
double ExpectedShare(const Place& place, const std::vector<Place>& taken) {
  for (const Place& other : taken) {
    const std::size_t distance =
        other.index > place.index ? other.index - place.index : place.index - other.index;
    if (other.byte == place.byte && distance <= kPlanNear) {
      return TableShare(kByteRepeat[place.byte]);
    }
  }
  return TableShare(kByteFrequency[place.byte]);
}

// Bit i: candidate start + i (of 64) holds the byte at place `index`.
std::uint64_t RunHolds(const std::uint8_t* row, std::uint8_t byte) {
#if defined(__SSE2__)
  const __m128i want = _mm_set1_epi8(static_cast<char>(byte));
  std::uint64_t bits = 0;
  for (int k = 0; k < 4; ++k) {
    const __m128i at = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 16 * k));
    bits |= std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(at, want)))}
            << (16 * k);
  }
  return bits;
#else
  std::uint64_t bits = 0;
  for (int i = 0; i < 64; ++i) bits |= static_cast<std::uint64_t>(row[i] == byte) << i;
  return bits;
#endif
}

// Orders the fixed places for the block scans and returns how many lead as
// filter places (1 to 4). Each round takes the place that the fewest
// candidates are expected to hold together with the places taken before, so
// that bytes which come together in the data (the zeros of a zero run) are not
// taken for independent filters: by the table, or on a large image by the
// sample. The other places follow, the rarest by the table first, so that a
// block's second look ends early. Only the speed depends on the plan, never a
// result.
std::size_t PlanBlockScan(const std::uint8_t* image, std::int64_t last,
                          std::vector<Place>& places) {
  // Rarest first by the table; ties keep signature order.
  std::stable_sort(places.begin(), places.end(), [](const Place& a, const Place& b) {
    return kByteFrequency[a.byte] < kByteFrequency[b.byte];
  });
  const std::size_t most = std::min(places.size(), kMaxFilter);
  const std::int64_t candidates = last + 1;
  const std::int64_t runs = std::min(candidates / kPlanSampleEvery, kPlanMaxRuns);
  std::vector<Place> taken;
  taken.reserve(most);
  std::vector<bool> used(places.size(), false);

  if (runs < kPlanMinRuns || candidates < kPlanRun) {
    double share = 1.0;
    while (taken.size() < most && (taken.size() < kPlanLeast || share > kPlanEnough)) {
      std::size_t best = places.size();
      double best_share = 2.0;
      for (std::size_t k = 0; k < places.size(); ++k) {
        if (used[k]) continue;
        const double own = ExpectedShare(places[k], taken);
        if (own < best_share) {
          best = k;
          best_share = own;
        }
      }
      used[best] = true;
      taken.push_back(places[best]);
      share *= best_share;
    }
  } else {
    // holds[w * runs + r], bit i: candidate i of run r holds weighed place w.
    const std::size_t weighed = std::min(places.size(), kPlanWeighed);
    const auto run_count = static_cast<std::size_t>(runs);
    std::vector<std::uint64_t> holds(weighed * run_count);
    for (std::size_t r = 0; r < run_count; ++r) {
      const std::int64_t start = (candidates - kPlanRun) * static_cast<std::int64_t>(r) / runs;
      for (std::size_t w = 0; w < weighed; ++w) {
        holds[w * run_count + r] = RunHolds(image + start + places[w].index, places[w].byte);
      }
    }
    std::vector<std::uint64_t> passing(run_count, ~std::uint64_t{0});
    const std::int64_t sampled = runs * kPlanRun;
    std::int64_t passes = sampled;
    while (taken.size() < std::min(weighed, kMaxFilter) &&
           (taken.size() < kPlanLeast ||
            static_cast<double>(passes) > kPlanEnough * static_cast<double>(sampled))) {
      std::size_t best = weighed;
      std::int64_t best_passes = 0;
      for (std::size_t w = 0; w < weighed; ++w) {
        if (used[w]) continue;
        std::int64_t count = 0;
        for (std::size_t r = 0; r < run_count; ++r) {
          count += std::popcount(passing[r] & holds[w * run_count + r]);
        }
        if (best == weighed || count < best_passes) {
          best = w;
          best_passes = count;
        }
      }
      for (std::size_t r = 0; r < run_count; ++r) passing[r] &= holds[best * run_count + r];
      passes = best_passes;
      used[best] = true;
      taken.push_back(places[best]);
    }
  }
  const std::size_t filter = taken.size();
  for (std::size_t k = 0; k < places.size(); ++k) {
    if (!used[k]) taken.push_back(places[k]);
  }
  places = std::move(taken);
  return filter;
}

// Below this size auto scans candidate by candidate: the whole scan costs
// little more than weighing a plan.
constexpr std::int64_t kSmallImage = 4 * 1024;

// From this size on, auto searches the image in pieces of kSharedPiece bytes
// on two threads where the processor has a second core: one thread reads
// memory at well below the memory's speed. Smaller images mostly fit the
// last-level cache, where one thread reads about as fast, and the second
// thread's start would cost more than it saves.
constexpr std::int64_t kSharedImage = std::int64_t{32} << 20;
constexpr std::size_t kSharedPiece = std::size_t{1} << 20;

// A search of the whole image by pieces of kSharedPiece, on two threads from
// kSharedImage on.
PieceSearch::Found SearchInPieces(std::span<const std::uint8_t> image,
                                  std::span<const std::uint8_t> sig,
                                  std::span<const std::uint8_t> sigwild, std::int32_t occur,
                                  bool count_all) {
  PieceSearch search(image, sig, sigwild, occur, kSharedPiece, count_all);
  WorkOnPieces(search.Pieces(), static_cast<std::int64_t>(image.size()) >= kSharedImage,
               [&](std::size_t k) {
                 search.Search(k);
                 return search.WantsMore();
               });
  return search.Finish();
}

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

// The widest block scan this processor runs.
Strategy WidestBlocks() {
  return CpuHasAvx512Bw() ? Strategy::kAvx512Blocks
         : CpuHasAvx2()   ? Strategy::kAvx2Blocks
                          : Strategy::kSse2Blocks;
}

std::int64_t RunBlocks(const Scan& scan, Strategy strategy) {
  switch (strategy) {
    case Strategy::kAvx512Blocks:
      return ScanAvx512(scan);
    case Strategy::kAvx2Blocks:
      return ScanAvx2(scan);
    default:
      return ScanSse2(scan);
  }
}

}  // namespace

bool Runs(Strategy strategy) {
  switch (strategy) {
    case Strategy::kAvx512Blocks:
      return CpuHasAvx512Bw();
    case Strategy::kAvx2Blocks:
      return CpuHasAvx2();
    default:
      return true;
  }
}

std::int32_t FindSignatureUsing(Strategy strategy, std::span<const std::uint8_t> image,
                                std::span<const std::uint8_t> sig,
                                std::span<const std::uint8_t> sigwild, std::int32_t offset,
                                std::int32_t occur, std::size_t turn) {
  const auto size = static_cast<std::int64_t>(image.size());
  const auto n = static_cast<std::int64_t>(sig.size());
  const std::int64_t last = size - n - 1;
  if (last < 0 || occur <= 0) return 0;

  std::vector<Place> places = FixedPlaces(sig, sigwild);
  if (places.empty()) {
    // Every candidate is an occurrence.
    return last + 1 >= occur ? ResultAt(occur - 1, offset) : 0;
  }
  if (strategy == Strategy::kAuto && size >= kSharedImage) {
    return SearchInPieces(image, sig, sigwild, occur, false).At(offset);
  }
  if (strategy == Strategy::kAuto) {
    strategy = size < kSmallImage ? Strategy::kEveryCandidate : WidestBlocks();
  } else if (!Runs(strategy)) {
    strategy = Strategy::kSse2Blocks;
  }

  std::int64_t start = -1;
  if (strategy == Strategy::kEveryCandidate) {
    start = EveryCandidate(image.data(), last, places, occur);
  } else {
    BlockPlan plan = PlanBlocks(image.data(), last, std::move(places));
    std::rotate(plan.places.begin(),
                plan.places.begin() + static_cast<std::ptrdiff_t>(turn % plan.places.size()),
                plan.places.end());
    start = RunBlocks(plan.ScanOf(image.data(), size, last, occur, nullptr), strategy);
  }
  return start < 0 ? 0 : ResultAt(start, offset);
}

}  // namespace signature_internal

struct PieceSearch::State {
  signature_internal::BlockPlan blocks;
  std::vector<Piece> pieces;
  std::atomic<std::size_t> holding{SIZE_MAX};
};

PieceSearch::PieceSearch(std::span<const std::uint8_t> image, std::span<const std::uint8_t> sig,
                         std::span<const std::uint8_t> sigwild, std::int32_t occur,
                         std::size_t piece, bool count_all)
    : image_(image),
      length_(static_cast<std::int64_t>(sig.size())),
      end_(static_cast<std::int64_t>(image.size()) - static_cast<std::int64_t>(sig.size())),
      occur_(occur),
      piece_(static_cast<std::int64_t>(std::max<std::size_t>(piece, 1))),
      count_all_(count_all) {
  whole_.occurrences = count_all ? 0 : -1;
  if (end_ <= 0 || (occur <= 0 && !count_all)) return;  // no candidates, or nothing asked for
  std::vector<signature_internal::Place> places = signature_internal::FixedPlaces(sig, sigwild);
  if (places.empty()) {
    // Every candidate is an occurrence.
    if (occur > 0 && end_ >= occur) whole_.start = occur - 1;
    if (count_all) whole_.occurrences = end_;
    return;
  }
  pieces_ = static_cast<std::size_t>((end_ + piece_ - 1) / piece_);
  state_ = std::make_unique<State>();
  state_->blocks = signature_internal::PlanBlocks(image.data(), end_ - 1, std::move(places));
  state_->pieces.resize(pieces_);
}

PieceSearch::~PieceSearch() = default;
PieceSearch::PieceSearch(PieceSearch&&) noexcept = default;
PieceSearch& PieceSearch::operator=(PieceSearch&&) noexcept = default;

PieceSearch::Piece PieceSearch::Scan(std::size_t k, std::int64_t occur, bool count_all) const {
  const std::int64_t from = static_cast<std::int64_t>(k) * piece_;
  const std::int64_t to = std::min(from + piece_, end_);
  // The candidates from `from` to to - 1, with the bytes they and the byte
  // after them read. Once the occurrence is found (or when none is asked for),
  // a scan that counts all asks for one no image holds, and so counts to the end.
  const std::int64_t window_end = std::min(to + length_, static_cast<std::int64_t>(image_.size()));
  Piece piece;
  for (std::int64_t next = from; next < to;) {
    const bool seeking = piece.start < 0 && occur > 0;
    std::int64_t counted = 0;
    const std::int64_t at = signature_internal::RunBlocks(
        state_->blocks.ScanOf(image_.data() + next, window_end - next, to - 1 - next,
                              seeking ? occur - piece.count : INT64_MAX, &counted),
        signature_internal::WidestBlocks());
    if (at < 0) {
      piece.count += counted;
      break;
    }
    piece.start = next + at;
    piece.count = occur;
    if (!count_all) break;
    next = piece.start + 1;
  }
  return piece;
}

void PieceSearch::Search(std::size_t k) {
  if (k >= pieces_ || (!count_all_ && k > state_->holding.load(std::memory_order_relaxed))) return;
  const Piece piece = Scan(k, occur_, count_all_);
  state_->pieces[k] = piece;
  if (piece.start < 0) return;
  std::size_t holding = state_->holding.load(std::memory_order_relaxed);
  while (k < holding && !state_->holding.compare_exchange_weak(holding, k)) {
  }
}

std::int32_t PieceSearch::Found::At(std::int32_t offset) const {
  return start < 0 ? 0 : signature_internal::ResultAt(start, offset);
}

bool PieceSearch::WantsMore() const {
  return pieces_ != 0 &&
         (count_all_ || state_->holding.load(std::memory_order_relaxed) == SIZE_MAX);
}

PieceSearch::Found PieceSearch::Finish() const {
  if (pieces_ == 0) return whole_;
  Found found = whole_;
  std::int64_t before = 0;  // occurrences in the pieces before
  for (std::size_t k = 0; k < pieces_; ++k) {
    const Piece& piece = state_->pieces[k];
    if (found.start < 0 && occur_ > 0 && before + piece.count >= occur_) {
      // The occurrence asked for is the piece's own occurrence occur - before.
      found.start = before == 0 ? piece.start : Scan(k, occur_ - before, false).start;
      if (!count_all_) return found;
    }
    before += piece.count;
  }
  if (count_all_) found.occurrences = before;
  return found;
}

std::int64_t CountSignature(std::span<const std::uint8_t> image, std::span<const std::uint8_t> sig,
                            std::span<const std::uint8_t> sigwild) {
  // The block scans count every occurrence of a block at once, where jumping
  // from one place of the first fixed byte to the next stops at each of them:
  // in code, a common byte such as 0x8B or 0x00 every few bytes.
  return signature_internal::SearchInPieces(image, sig, sigwild, 0, true).occurrences;
}

std::int32_t FindSignature(std::span<const std::uint8_t> image, std::span<const std::uint8_t> sig,
                           std::span<const std::uint8_t> sigwild, std::int32_t offset,
                           std::int32_t occur) {
  return signature_internal::FindSignatureUsing(signature_internal::Strategy::kAuto, image, sig,
                                                sigwild, offset, occur);
}

}  // namespace quillfen
