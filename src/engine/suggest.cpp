#include "engine/suggest.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <tuple>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "engine/pe_image.h"
#include "engine/signature.h"
#include "engine/values.h"
#include "engine/x86_code.h"

namespace quillfen {

namespace {

using Image = std::span<const std::uint8_t>;

// A run of kSuggestAnchor bytes that occurs more often than this in an edition
// anchors no count: its occurrences are not kept.
constexpr std::size_t kFrequent = std::size_t{1} << 12;

// Marks of the bytes around a place, beside the byte values 0 to 255.
constexpr std::int16_t kWild = -1;     // any byte may stand there
constexpr std::int16_t kOutside = -2;  // past the start or the end of some edition

// The width at x and the height at y, each `size` bytes, in one edition.
struct Place {
  std::int32_t size;
  std::int64_t x;  // a value alone (axis): where it lies, and y the same
  std::int64_t y;
  Evidence evidence;
  PlaceAxes axis = PlaceAxes::kBoth;
};

bool Holds(Image image, std::int64_t position, std::int32_t size, std::int32_t value) {
  return position + size <= static_cast<std::int64_t>(image.size()) &&
         ReadValueAt(image, position, size) == value;
}

// Every place of the edition, by width position. A pair that reads as 4-byte
// values is not also given as 2-byte values. Position 0 is never located, so
// no value there counts.
std::vector<Place> FindPlaces(Image image, std::int32_t width, std::int32_t height) {
  std::vector<Place> places;
  const auto n = static_cast<std::int64_t>(image.size());
  const bool short_values = width >= 0 && width <= 0xFFFF && height >= 0 && height <= 0xFFFF;
  const auto low = static_cast<std::uint8_t>(width);
  const auto next = static_cast<std::uint8_t>(width >> 8);
  for (std::int64_t x = 1; x + 2 <= n; ++x) {
    if (image[x] != low || image[x + 1] != next) continue;
    for (const std::int32_t size : {4, 2}) {
      if ((size == 2 && !short_values) || !Holds(image, x, size, width)) continue;
      for (std::int64_t y = std::max<std::int64_t>(1, x - kSuggestNear); y <= x + kSuggestNear;
           ++y) {
        if (std::abs(y - x) < size || !Holds(image, y, size, height)) continue;
        if (size == 2 && std::abs(y - x) >= 4 && Holds(image, x, 4, width) &&
            Holds(image, y, 4, height)) {
          continue;
        }
        places.push_back({size, x, y, {}});
      }
    }
  }
  return places;
}

PlaceKind KindOf(ValueSource source) {
  switch (source) {
    case ValueSource::kImmediate:
      return PlaceKind::kImmediates;
    case ValueSource::kLoaded:
      return PlaceKind::kLoadedData;
    case ValueSource::kData:
      break;
  }
  return PlaceKind::kData;
}

ValueEvidence EvidenceOf(const CodeValue& v) {
  return {v.instruction, v.text};
}

// The evidence of one value, or of a pair: the stronger call of the two, and
// whether either is a fallback.
Evidence EvidenceOf(const PeImage& image, const CodeValue& w, const CodeValue& h) {
  Evidence e;
  // Loaded data: the pair counts as loaded when either value is.
  e.kind = std::min(KindOf(w.source), KindOf(h.source));
  if (const PeSection* section = image.SectionAt(static_cast<std::uint64_t>(w.at))) {
    e.section = section->name;
  }
  e.width = EvidenceOf(w);
  e.height = EvidenceOf(h);
  const CodeValue& called = !w.call.empty() && (w.direct || h.call.empty() || !h.direct) ? w : h;
  e.call = called.call;
  e.direct = called.direct;
  e.call_at = called.call_at;
  e.table = w.table || h.table;
  const CodeValue& fallback = w.fallback ? w : h;
  e.fallback = fallback.fallback;
  e.tested_call = fallback.tested_call;
  return e;
}

// The places of an executable: each width with the nearest height of the same
// kind and size, within kSuggestNear bytes (immediates: of the same function).
// Then each width and height the code sets or loads that has no partner, as a
// place of its own axis.
std::vector<Place> FindCodePlaces(const PeImage& image, const CodeScan& scan) {
  std::vector<Place> places;
  const std::vector<CodeValue>& values = scan.values;
  std::vector<bool> paired(values.size(), false);
  for (std::size_t i = 0; i < values.size(); ++i) {
    const CodeValue& w = values[i];
    if (!w.width) continue;
    const auto same_kind = [&](const CodeValue& h) {
      const bool code = w.source == ValueSource::kImmediate;
      return !h.width && h.size == w.size && (h.source == ValueSource::kImmediate) == code &&
             (!code || h.function == w.function) && std::abs(h.at - w.at) <= kSuggestNear &&
             std::abs(h.at - w.at) >= w.size;
    };
    const CodeValue* best = nullptr;
    for (std::size_t j = i; j-- > 0 && values[j].at >= w.at - kSuggestNear;) {
      if (same_kind(values[j])) {
        best = &values[j];
        break;
      }
    }
    for (std::size_t j = i + 1; j < values.size() && values[j].at <= w.at + kSuggestNear; ++j) {
      if (same_kind(values[j])) {
        if (!best || values[j].at - w.at < w.at - best->at) best = &values[j];
        break;
      }
    }
    if (!best) continue;
    const CodeValue& h = *best;
    paired[i] = true;
    paired[static_cast<std::size_t>(best - values.data())] = true;
    places.push_back({w.size, w.at, h.at, EvidenceOf(image, w, h)});
  }
  for (Place& p : places) p.evidence.alike = places.size();
  // Values alone: only what code sets or loads, never a table's entry.
  std::size_t alone[2] = {0, 0};
  const std::size_t pairs = places.size();
  for (std::size_t i = 0; i < values.size(); ++i) {
    const CodeValue& v = values[i];
    if (paired[i] || v.source == ValueSource::kData || v.table) continue;
    Place p{v.size, v.at, v.at, EvidenceOf(image, v, v),
            v.width ? PlaceAxes::kWidth : PlaceAxes::kHeight};
    (v.width ? p.evidence.height : p.evidence.width) = {};
    ++alone[v.width ? 0 : 1];
    places.push_back(std::move(p));
  }
  for (std::size_t i = pairs; i < places.size(); ++i) {
    places[i].evidence.alike = std::max(alone[0], alone[1]);
  }
  return places;
}

// Best first: how strongly the evidence says the place sets the window.
int EvidenceRank(const Evidence& e) {
  int rank = e.call.empty() ? 2 : e.direct ? 0 : 1;
  if (e.kind == PlaceKind::kData || e.table || e.fallback) rank = std::max(rank, 3);
  return rank * 4 + static_cast<int>(e.kind);
}

// One place followed through the editions: the width's position in each, and
// the bytes around it from lo to hi (relative to the width) as a signature
// would take them.
struct Target {
  std::int32_t size = 4;
  PlaceAxes axis = PlaceAxes::kBoth;
  std::int64_t d = 0;  // the height's position relative to the width
  std::vector<std::int64_t> x;
  std::int64_t lo = 0;
  std::int64_t hi = 0;
  std::vector<std::int16_t> bytes;  // by offset - lo: a byte, kWild or kOutside
  std::vector<std::int32_t> grams;  // by offset - lo: the anchor run starting there, or -1

  std::int16_t At(std::int64_t offset) const {
    return bytes[static_cast<std::size_t>(offset - lo)];
  }
  std::int32_t GramAt(std::int64_t offset) const {
    return grams[static_cast<std::size_t>(offset - lo)];
  }
  // The values' span relative to the width.
  std::int64_t ValuesFrom() const { return std::min<std::int64_t>(0, d); }
  std::int64_t ValuesTo() const { return std::max<std::int64_t>(size, d + size); }
};

// How many of the bytes around two width positions agree.
std::size_t Agreement(Image a, std::int64_t xa, Image b, std::int64_t xb, std::int64_t lo,
                      std::int64_t hi) {
  std::size_t same = 0;
  for (std::int64_t r = lo; r < hi; ++r) {
    const std::int64_t pa = xa + r, pb = xb + r;
    if (pa >= 0 && pb >= 0 && pa < static_cast<std::int64_t>(a.size()) &&
        pb < static_cast<std::int64_t>(b.size()) && a[pa] == b[pb]) {
      ++same;
    }
  }
  return same;
}

std::uint32_t GramKey(const std::int16_t* bytes) {
  std::uint32_t key = 0;
  for (int i = 0; i < kSuggestAnchor; ++i) key |= static_cast<std::uint32_t>(bytes[i]) << (8 * i);
  return key;
}

// The occurrences of every anchor run the targets hold, in every edition.
class Anchors {
 public:
  // Gives the run at bytes an id; -1 when some byte is not a fixed one.
  std::int32_t Add(const std::int16_t* bytes) {
    for (int i = 0; i < kSuggestAnchor; ++i) {
      if (bytes[i] < 0) return -1;
    }
    const std::uint32_t key = GramKey(bytes);
    const auto [at, added] = ids_.try_emplace(key, static_cast<std::int32_t>(ids_.size()));
    if (added) filter_[Hash(key) >> 6] |= std::uint64_t{1} << (Hash(key) & 63);
    return at->second;
  }

  // Collects the occurrences in every edition, one pass over each.
  void Collect(const std::vector<Image>& editions) {
    lists_.assign(editions.size(), std::vector<std::vector<std::uint32_t>>(ids_.size()));
    frequent_.assign(ids_.size(), false);
    for (std::size_t e = 0; e < editions.size(); ++e) {
      const Image image = editions[e];
      auto& lists = lists_[e];
      const std::int64_t last = static_cast<std::int64_t>(image.size()) - kSuggestAnchor;
      for (std::int64_t p = 0; p <= last; ++p) {
        std::uint32_t key;
        std::memcpy(&key, image.data() + p, sizeof key);
        const std::uint32_t h = Hash(key);
        if ((filter_[h >> 6] >> (h & 63) & 1) == 0) continue;
        const auto found = ids_.find(key);
        if (found == ids_.end() || frequent_[found->second]) continue;
        auto& list = lists[found->second];
        if (list.size() == kFrequent) {
          frequent_[found->second] = true;
          std::vector<std::uint32_t>().swap(list);
          continue;
        }
        list.push_back(static_cast<std::uint32_t>(p));
      }
    }
  }

  bool Usable(std::int32_t id) const { return id >= 0 && !frequent_[id]; }
  // The occurrences over all editions: the work of building lists from the run.
  std::size_t Weight(std::int32_t id) const {
    std::size_t weight = 0;
    for (const auto& lists : lists_) weight += lists[id].size();
    return weight;
  }
  const std::vector<std::uint32_t>& In(std::size_t edition, std::int32_t id) const {
    return lists_[edition][id];
  }

 private:
  static constexpr std::uint32_t kFilterBits = 20;
  static std::uint32_t Hash(std::uint32_t key) { return (key * 2654435761u) >> (32 - kFilterBits); }

  std::unordered_map<std::uint32_t, std::int32_t> ids_;
  std::vector<std::uint64_t> filter_ = std::vector<std::uint64_t>((1u << kFilterBits) / 64);
  std::vector<std::vector<std::vector<std::uint32_t>>> lists_;  // edition, id: positions
  std::vector<bool> frequent_;
};

// A window of offsets [a, b) relative to the width, and how it locates.
struct Window {
  std::int64_t a = 0;
  std::int64_t b = 0;
  std::int32_t occur = 0;  // 0: none found
  bool unique = false;
};

// Best first: once in every edition, the smallest occurrence, the shortest,
// the nearest to the values, before them rather than after.
auto Rank(const Window& w, const Target& t) {
  const std::int64_t gap = w.a >= t.ValuesTo()     ? w.a - t.ValuesTo()
                           : w.b <= t.ValuesFrom() ? t.ValuesFrom() - w.b
                                                   : 0;
  return std::make_tuple(!w.unique, w.occur, w.b - w.a, gap, w.a >= t.ValuesTo(), std::abs(w.a));
}

// Grows signatures around one target. The competitors of a window are the
// other width positions at which its fixed bytes match in an edition; a byte
// of the target's own values matches what patching may write there.
class Grower {
 public:
  Grower(const Target& target, const std::vector<Image>& editions, const Anchors& anchors)
      : t_(target), editions_(editions), anchors_(anchors), competitors_(editions.size()) {}

  Window Best() {
    Window best;
    // A window holds the fixed bytes of any window of the same end that starts
    // later, so it is unique when that one is: the shortest unique window from
    // a start ends no earlier than the one from the start before, and windows
    // that ended before it need no count. `from` is the first end left to count.
    std::int64_t from = t_.lo;
    for (std::int64_t a = t_.lo; a < t_.hi; ++a) {
      if (t_.At(a) < 0) continue;
      std::int64_t limit = std::min(t_.hi, a + kSuggestMaxLength);
      if (best.unique) limit = std::min(limit, a + (best.b - best.a));
      from = std::max(from, a + 1);
      std::size_t weight = SIZE_MAX;
      std::int32_t anchor = -1;
      std::int64_t anchor_at = 0;
      bool built = false;
      Window fallback;
      std::int64_t b = a + 1;
      for (; b <= limit; ++b) {
        const std::int64_t r = b - 1;
        if (t_.At(r) == kOutside) break;
        const std::int64_t g = r - (kSuggestAnchor - 1);
        const std::int32_t id = g >= a ? t_.GramAt(g) : -1;
        bool rebuild = !built;
        if (anchors_.Usable(id) && anchors_.Weight(id) < weight) {
          weight = anchors_.Weight(id);
          anchor = id;
          anchor_at = g;
          rebuild = true;
        }
        if (anchor < 0 || b < from) continue;
        if (rebuild) {
          Build(a, b, anchor, anchor_at);
          built = true;
        } else if (t_.At(r) >= 0) {
          Narrow(r);
        }
        std::int32_t occur = 0;
        if (Evaluate(b, occur)) {
          const Window found{a, b, 1, true};
          if (!best.unique || Rank(found, t_) < Rank(best, t_)) best = found;
          break;
        }
        if (occur > 0 && fallback.occur == 0) fallback = {a, b, occur, false};
      }
      from = std::max(from, b);
      if (!best.unique && fallback.occur > 0 &&
          (best.occur == 0 || Rank(fallback, t_) < Rank(best, t_))) {
        best = fallback;
      }
    }
    return best;
  }

 private:
  // Whether the fixed byte at offset r matches for width position p of edition
  // e, now or once the target's values are patched to any of 0 to 65535.
  bool Matches(std::size_t e, std::int64_t p, std::int64_t r) const {
    const std::int64_t q = p + r;
    const Image image = editions_[e];
    if (q < 0 || q >= static_cast<std::int64_t>(image.size())) return false;
    if (image[q] == t_.At(r)) return true;
    for (const std::int64_t value : {t_.x[e], y_[e]}) {
      if (q >= value && q < value + t_.size) return q - value < 2 || t_.At(r) == 0;
    }
    return false;
  }

  bool MatchesWindow(std::size_t e, std::int64_t p, std::int64_t a, std::int64_t b) const {
    for (std::int64_t r = a; r < b; ++r) {
      if (t_.At(r) >= 0 && !Matches(e, p, r)) return false;
    }
    return true;
  }

  // The competitors of [a, b): the occurrences of the anchor run at offset g,
  // and every width position near enough to the target for its window to reach
  // the target's values.
  void Build(std::int64_t a, std::int64_t b, std::int32_t id, std::int64_t g) {
    const std::int64_t reach = t_.hi - t_.lo;
    for (std::size_t e = 0; e < editions_.size(); ++e) {
      std::vector<std::int64_t>& list = competitors_[e];
      list.clear();
      const std::int64_t x = t_.x[e];
      for (const std::uint32_t at : anchors_.In(e, id)) {
        const std::int64_t p = static_cast<std::int64_t>(at) - g;
        if (std::abs(p - x) <= reach || p + a < 0) continue;
        if (MatchesWindow(e, p, a, b)) list.push_back(p);
      }
      for (std::int64_t p = std::max<std::int64_t>(-a, x - reach); p <= x + reach; ++p) {
        if (p != x && MatchesWindow(e, p, a, b)) list.push_back(p);
      }
    }
  }

  void Narrow(std::int64_t r) {
    for (std::size_t e = 0; e < editions_.size(); ++e) {
      std::vector<std::int64_t>& list = competitors_[e];
      list.erase(std::remove_if(list.begin(), list.end(),
                                [&](std::int64_t p) { return !Matches(e, p, r); }),
                 list.end());
    }
  }

  // Whether the window ending at b occurs once in every edition; otherwise occur is the
  // target's occurrence when it is the same in every edition, else 0.
  bool Evaluate(std::int64_t b, std::int32_t& occur) const {
    bool unique = true;
    occur = 0;
    for (std::size_t e = 0; e < editions_.size(); ++e) {
      // An occurrence must be followed by one more byte of the file.
      const auto last = static_cast<std::int64_t>(editions_[e].size()) - 1 - b;
      std::int32_t count = 1, index = 1;
      for (const std::int64_t p : competitors_[e]) {
        if (p > last) continue;
        ++count;
        if (p < t_.x[e]) ++index;
      }
      unique = unique && count == 1;
      if (e == 0) occur = index;
      if (index != occur) occur = -1;
    }
    if (occur < 0) occur = 0;
    return unique;
  }

  const Target& t_;
  const std::vector<Image>& editions_;
  const Anchors& anchors_;
  std::vector<std::int64_t> y_ = [this] {
    std::vector<std::int64_t> y;
    for (const std::int64_t x : t_.x) y.push_back(x + t_.d);
    return y;
  }();
  std::vector<std::vector<std::int64_t>> competitors_;  // per edition: width positions
};

// Where each edition stores the values, and the first cause that holds of why
// nothing is suggested.
void Explain(const std::vector<Image>& editions, const std::vector<std::optional<PeImage>>& images,
             const std::vector<CodeScan>& scans, std::int32_t width, std::int32_t height,
             const std::vector<std::vector<Place>>& places,
             const std::vector<std::size_t>& filtered, std::size_t targets, SuggestResult& result) {
  for (std::size_t e = 0; e < editions.size(); ++e) {
    const Image image = editions[e];
    const std::optional<PeImage>& pe = images[e];
    EditionCounts c;
    c.filtered = filtered[e];
    std::unordered_set<std::int64_t> read;  // positions the scan read as values
    for (const CodeValue& v : scans[e].values) read.insert(v.at);
    for (std::int64_t p = 1; p + 2 <= static_cast<std::int64_t>(image.size()); ++p) {
      for (const bool is_width : {true, false}) {
        const std::int32_t value = is_width ? width : height;
        if (image[p] != static_cast<std::uint8_t>(value)) continue;
        const std::int32_t size = Holds(image, p, 4, value)                      ? 4
                                  : value <= 0xFFFF && Holds(image, p, 2, value) ? 2
                                                                                 : 0;
        if (size == 0) continue;
        ++(is_width ? c.widths : c.heights);
        if (!pe) continue;
        if (read.contains(p)) {
          (is_width ? c.width_read : c.height_read) = true;
          continue;
        }
        const PeSection* section = pe->SectionAt(static_cast<std::uint64_t>(p));
        if (!section ||
            pe->Refused(static_cast<std::uint64_t>(p), static_cast<std::uint64_t>(size))) {
          ++c.unread;
        } else {
          ++c.in_instructions;
        }
      }
    }
    if (!pe) {
      c.width_read = c.widths > 0;
      c.height_read = c.heights > 0;
    }
    result.counts.push_back(c);
  }
  const auto where = [&](const auto& holds) {
    result.why_editions.clear();
    for (std::size_t e = 0; e < editions.size(); ++e) {
      if (holds(result.counts[e], e)) result.why_editions.push_back(e);
    }
    return !result.why_editions.empty();
  };
  if (where([](const EditionCounts& c, std::size_t) { return c.widths == 0 || c.heights == 0; })) {
    result.why = NoCandidate::kNowhere;
  } else if (where([](const EditionCounts& c, std::size_t) {
               return !c.width_read || !c.height_read;
             })) {
    result.why = NoCandidate::kNeverProposed;
  } else if (where([&](const EditionCounts& c, std::size_t e) {
               return places[e].empty() && c.filtered == 0;
             })) {
    result.why = NoCandidate::kApart;
  } else if (where([&](const EditionCounts&, std::size_t e) { return places[e].empty(); })) {
    result.why = NoCandidate::kFiltered;
  } else if (targets == 0) {
    where([](const EditionCounts&, std::size_t) { return true; });
    result.why = NoCandidate::kSomeEditions;
  } else {
    where([](const EditionCounts&, std::size_t) { return true; });
    result.why = NoCandidate::kNotUnique;
  }
}

// Each edition's places of the two values, its code read where it is an
// executable, less those the options filter out.
struct EditionPlaces {
  std::vector<std::vector<Place>> places;
  std::vector<CodeScan> scans;
  std::vector<std::optional<PeImage>> images;
  std::vector<std::size_t> filtered;  // how many the options took away
};

EditionPlaces ReadEditionPlaces(const std::vector<Image>& editions, std::int32_t width,
                                std::int32_t height, const SuggestOptions& options,
                                const SuggestProgress& progress) {
  EditionPlaces read;
  read.scans.resize(editions.size());
  std::size_t total = 0, before = 0;
  for (const Image image : editions) total += image.size();
  for (std::size_t e = 0; e < editions.size(); ++e) {
    const Image image = editions[e];
    std::vector<Place> found;
    read.images.push_back(ReadPeImage(image));
    if (const std::optional<PeImage>& pe = read.images.back()) {
      CodeProgress decoded;
      if (progress) {
        decoded = [&](std::size_t done) {
          progress(SuggestStage::kDecoding, before + done, total);
        };
      }
      read.scans[e] = ScanCode(image, *pe, width, height, decoded);
      found = FindCodePlaces(*pe, read.scans[e]);
    } else {
      found = FindPlaces(image, width, height);
    }
    read.filtered.push_back(std::erase_if(found, [&](const Place& p) {
      return (options.size != 0 && p.size != options.size) ||
             (!options.section.empty() && p.evidence.section != options.section);
    }));
    read.places.push_back(std::move(found));
    before += image.size();
  }
  return read;
}

// The places of the first edition followed into the others, as targets whose
// signatures can grow, with the evidence of each; every place that some
// edition lacks goes to `dropped`.
struct Targets {
  std::vector<Target> targets;
  std::vector<Evidence> evidence;
  Anchors anchors;
};

// What tells look-alike places apart: their size, the distance between the
// values, the kind of evidence and the axes.
auto LookAlike(const Place& p) {
  return std::make_tuple(p.size, p.y - p.x, p.evidence.kind, p.axis);
}
using LookAlikeKey = decltype(LookAlike(Place{}));

// Where the first edition's place `first` lies in each edition, -1 where it is
// not: among the places of the same kind, the one of the same rank when there
// are as many and its surroundings mostly agree (look-alike places keep their
// order between editions), else the one whose surroundings agree the most.
std::vector<std::int64_t> FollowPlace(
    const std::vector<Image>& editions,
    const std::vector<std::map<LookAlikeKey, std::vector<std::int64_t>>>& kinds, const Place& first,
    std::int64_t lo, std::int64_t hi) {
  std::vector<std::int64_t> x{first.x};
  const std::vector<std::int64_t>& alike = kinds[0].at(LookAlike(first));
  const std::size_t rank =
      static_cast<std::size_t>(std::find(alike.begin(), alike.end(), first.x) - alike.begin());
  for (std::size_t e = 1; e < editions.size(); ++e) {
    const auto others = kinds[e].find(LookAlike(first));
    if (others == kinds[e].end()) {
      x.push_back(-1);
      continue;
    }
    const auto agreement = [&](std::int64_t at) {
      return Agreement(editions[0], first.x, editions[e], at, lo, hi);
    };
    const std::vector<std::int64_t>& xs = others->second;
    if (xs.size() == alike.size() && agreement(xs[rank]) * 2 >= static_cast<std::size_t>(hi - lo)) {
      x.push_back(xs[rank]);
      continue;
    }
    std::size_t best = 0;
    for (const std::int64_t at : xs) {
      const std::size_t same = agreement(at);
      if (x.size() == e || same > best) {
        x.resize(e);
        x.push_back(at);
        best = same;
      }
    }
  }
  return x;
}

// The target's bytes from lo to hi as a signature takes them: a byte every
// edition holds there, a wildcard for the values, bytes that differ and bytes
// the code scan marks as moving, and kOutside past a file's end.
void TakeBytes(Target& t, const std::vector<Image>& editions, const std::vector<CodeScan>& scans,
               Anchors& anchors) {
  for (std::int64_t r = t.lo; r < t.hi; ++r) {
    const bool value = (r >= 0 && r < t.size) || (r >= t.d && r < t.d + t.size);
    std::int16_t byte = 0;
    for (std::size_t e = 0; e < editions.size() && byte != kOutside; ++e) {
      const std::int64_t q = t.x[e] + r;
      // A window's last byte must be followed by one more byte of the file.
      if (q < 0 || q > static_cast<std::int64_t>(editions[e].size()) - 2) {
        byte = kOutside;
      } else if (value || editions[e][q] != editions[0][t.x[0] + r] || scans[e].Moving(q)) {
        byte = kWild;
      } else if (e == 0) {
        byte = editions[0][q];
      }
    }
    t.bytes.push_back(byte);
  }
  for (std::int64_t r = t.lo; r < t.hi; ++r) {
    const bool fits = r + kSuggestAnchor <= t.hi;
    t.grams.push_back(fits ? anchors.Add(&t.bytes[static_cast<std::size_t>(r - t.lo)]) : -1);
  }
}

Targets FollowPlaces(const std::vector<Image>& editions, const EditionPlaces& read,
                     std::vector<DroppedPlace>& dropped) {
  Targets found;
  const std::vector<std::vector<Place>>& places = read.places;
  std::vector<std::map<LookAlikeKey, std::vector<std::int64_t>>> kinds(editions.size());
  std::vector<std::vector<bool>> followed(editions.size());
  for (std::size_t e = 0; e < editions.size(); ++e) {
    followed[e].assign(places[e].size(), false);
    for (const Place& p : places[e]) kinds[e][LookAlike(p)].push_back(p.x);
  }
  for (const Place& first : places[0]) {
    Target t;
    t.size = first.size;
    t.axis = first.axis;
    t.d = first.y - first.x;
    t.lo = t.ValuesFrom() - kSuggestMaxLength;
    t.hi = t.ValuesTo() + kSuggestMaxLength;
    t.x = FollowPlace(editions, kinds, first, t.lo, t.hi);
    for (std::size_t e = 0; e < editions.size(); ++e) {
      if (t.x[e] < 0) continue;
      for (std::size_t i = 0; i < places[e].size(); ++i) {
        if (places[e][i].x == t.x[e] && LookAlike(places[e][i]) == LookAlike(first))
          followed[e][i] = true;
      }
    }
    if (std::find(t.x.begin(), t.x.end(), -1) != t.x.end()) {
      dropped.push_back({first.evidence.kind, first.axis, first.size, t.x});
      continue;
    }
    TakeBytes(t, editions, read.scans, found.anchors);
    found.targets.push_back(std::move(t));
    found.evidence.push_back(first.evidence);
  }
  // Places of the other editions the first does not hold.
  for (std::size_t e = 1; e < editions.size(); ++e) {
    for (std::size_t i = 0; i < places[e].size(); ++i) {
      if (followed[e][i]) continue;
      DroppedPlace d{places[e][i].evidence.kind, places[e][i].axis, places[e][i].size,
                     std::vector<std::int64_t>(editions.size(), -1)};
      d.xpos[e] = places[e][i].x;
      dropped.push_back(std::move(d));
    }
  }
  found.anchors.Collect(editions);
  return found;
}

// A suggestion ranked: by its evidence, a pair before two values alone, then
// by how its window locates.
using Order = std::tuple<int, bool, decltype(Rank(Window{}, Target{}))>;
using Ranked = std::pair<Order, Suggestion>;

// Grows the targets' signatures and keeps those confirmed in every edition.
class Growing {
 public:
  Growing(const std::vector<Image>& editions, const Targets& targets, std::int32_t width,
          std::int32_t height, const SuggestOptions& options, const SuggestProgress& progress)
      : editions_(editions),
        targets_(targets),
        width_(width),
        height_(height),
        options_(options),
        progress_(progress) {
    for (const Image image : editions) patched_.emplace_back(image.begin(), image.end());
  }

  // The confirmed signatures of the targets given, the strongest evidence first.
  std::vector<Ranked> Grow(std::vector<std::size_t> order) {
    const std::vector<Evidence>& evidence = targets_.evidence;
    std::vector<Ranked> found;
    std::size_t once_in_tier = 0;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
      return EvidenceRank(evidence[a]) < EvidenceRank(evidence[b]);
    });
    for (std::size_t n = 0; n < order.size(); ++n) {
      const std::size_t i = order[n];
      if (progress_) progress_(SuggestStage::kGrowing, grown_++, targets_.targets.size());
      // Once `top` are found, a weaker rank of evidence cannot reach the list,
      // nor can more places of the same rank once `top` of them occur once.
      const int tier = EvidenceRank(evidence[i]);
      if (n > 0 && tier != EvidenceRank(evidence[order[n - 1]])) once_in_tier = 0;
      if (found.size() >= options_.top && (once_in_tier >= options_.top || n == 0 ||
                                           tier != EvidenceRank(evidence[order[n - 1]]))) {
        break;
      }
      const Target& t = targets_.targets[i];
      const Window w = Grower(t, editions_, targets_.anchors).Best();
      if (w.occur == 0) continue;
      std::optional<Suggestion> s = Confirmed(t, w, evidence[i]);
      if (!s) continue;
      if (w.unique) ++once_in_tier;
      found.emplace_back(Order{EvidenceRank(s->evidence), false, Rank(w, t)}, std::move(*s));
    }
    return found;
  }

 private:
  // The window's signature, where it locates the values in every edition, as
  // they are and with other values written in, as after patching.
  std::optional<Suggestion> Confirmed(const Target& t, const Window& w, const Evidence& evidence) {
    Suggestion s;
    s.evidence = evidence;
    s.size = t.size;
    s.occur = w.occur;
    s.xoffset = static_cast<std::int32_t>(-w.a);
    s.yoffset = static_cast<std::int32_t>(t.d - w.a);
    for (std::int64_t r = w.a; r < w.b; ++r) {
      const std::int16_t byte = t.At(r);
      s.sig.push_back(byte >= 0 ? static_cast<std::uint8_t>(byte) : 0);
      s.sigwild.push_back(byte >= 0 ? 0 : 1);
    }
    // A value alone is read as the width or the height it is.
    const std::int32_t x_value = t.axis == PlaceAxes::kHeight ? height_ : width_;
    const std::int32_t y_value = t.axis == PlaceAxes::kWidth ? width_ : height_;
    for (std::size_t e = 0; e < editions_.size(); ++e) {
      const Image image = editions_[e];
      const auto x = static_cast<std::int32_t>(t.x[e]);
      const auto y = static_cast<std::int32_t>(t.x[e] + t.d);
      s.xpos.push_back(x);
      s.ypos.push_back(y);
      s.count.push_back(CountSignature(image, s.sig, s.sigwild));
      const auto located = [&](Image bytes) {
        return FindSignature(bytes, s.sig, s.sigwild, s.xoffset, s.occur) == x;
      };
      if (!located(image) || FindSignature(image, s.sig, s.sigwild, s.yoffset, s.occur) != y ||
          ReadValueAt(image, x, s.size) != x_value || ReadValueAt(image, y, s.size) != y_value ||
          (w.unique && s.count[e] != 1)) {
        return std::nullopt;
      }
      Bytes& copy = patched_[e];
      const std::int32_t other = (width_ ^ 0xFFFF) & 0xFFFF;
      StoreValue(copy.data() + x, other, s.size);
      StoreValue(copy.data() + y, other, s.size);
      const bool still = located(copy);
      std::copy(image.begin() + x, image.begin() + x + s.size, copy.begin() + x);
      std::copy(image.begin() + y, image.begin() + y + s.size, copy.begin() + y);
      if (!still) return std::nullopt;
    }
    return s;
  }

  const std::vector<Image>& editions_;
  const Targets& targets_;
  const std::int32_t width_;
  const std::int32_t height_;
  const SuggestOptions& options_;
  const SuggestProgress& progress_;
  // Working copies of the editions, in which each suggestion is also located
  // with other values written in.
  std::vector<Bytes> patched_;
  std::size_t grown_ = 0;
};

// Each width alone with the height alone of the same kind and size of the best
// evidence, then the nearest in the first edition, as one suggestion of two
// signatures, ranked by the weaker of the two after pairs of the same evidence.
void PairLoneValues(std::vector<Ranked> widths, const std::vector<Ranked>& heights,
                    std::vector<Ranked>& found) {
  for (Ranked& lone : widths) {
    Suggestion& s = lone.second;
    const Ranked* partner = nullptr;
    for (const Ranked& h : heights) {
      const Suggestion& c = h.second;
      if (c.size != s.size || c.evidence.kind != s.evidence.kind) continue;
      const auto distance = [&](const Suggestion& o) { return std::abs(o.xpos[0] - s.xpos[0]); };
      if (!partner || h.first < partner->first ||
          (!(partner->first < h.first) && distance(c) < distance(partner->second))) {
        partner = &h;
      }
    }
    if (!partner) continue;
    const Suggestion& h = partner->second;
    s.ypos = h.xpos;
    s.yoffset = 0;
    s.apart = HeightSignature{h.sig, h.sigwild, h.occur, h.xoffset, h.count};
    Evidence& e = s.evidence;
    e.height = h.evidence.height;
    if (e.call.empty() || (!e.direct && h.evidence.direct && !h.evidence.call.empty())) {
      e.call = h.evidence.call;
      e.direct = h.evidence.direct;
      e.call_at = h.evidence.call_at;
    }
    e.kind = std::max(e.kind, h.evidence.kind);
    if (!e.fallback && h.evidence.fallback) {
      e.fallback = true;
      e.tested_call = h.evidence.tested_call;
    }
    const int rank = std::max(std::get<0>(lone.first), std::get<0>(partner->first));
    found.emplace_back(Order{rank, true, std::get<2>(lone.first)}, std::move(s));
  }
}

}  // namespace

SuggestResult SuggestSignatures(const std::vector<Image>& editions, std::int32_t width,
                                std::int32_t height, const SuggestOptions& options,
                                const SuggestProgress& progress) {
  SuggestResult result;
  const EditionPlaces read = ReadEditionPlaces(editions, width, height, options, progress);
  for (const std::vector<Place>& places : read.places) result.places.push_back(places.size());
  if (editions.empty()) return result;

  const Targets targets = FollowPlaces(editions, read, result.dropped);
  std::vector<std::size_t> pairs, widths, heights;
  for (std::size_t i = 0; i < targets.targets.size(); ++i) {
    const PlaceAxes axis = targets.targets[i].axis;
    (axis == PlaceAxes::kBoth ? pairs : axis == PlaceAxes::kWidth ? widths : heights).push_back(i);
  }
  Growing growing(editions, targets, width, height, options, progress);
  std::vector<Ranked> found = growing.Grow(pairs);
  if (!widths.empty() && !heights.empty()) {
    const std::vector<Ranked> lone_heights = growing.Grow(heights);
    PairLoneValues(growing.Grow(widths), lone_heights, found);
  }
  if (progress) progress(SuggestStage::kGrowing, targets.targets.size(), targets.targets.size());

  // Equal ranks keep the order of the places in the first edition.
  std::stable_sort(found.begin(), found.end(),
                   [](const Ranked& l, const Ranked& r) { return l.first < r.first; });
  if (found.size() > options.top) found.resize(options.top);
  for (auto& f : found) result.suggestions.push_back(std::move(f.second));
  if (result.suggestions.empty()) {
    Explain(editions, read.images, read.scans, width, height, read.places, read.filtered,
            targets.targets.size(), result);
  }
  return result;
}

}  // namespace quillfen
