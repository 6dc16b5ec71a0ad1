#pragma once

#include <cstdint>
#include <memory>
#include <span>

namespace quillfen {

// Finds occurrence `occur` (counting from 1, overlapping occurrences counted) of
// the signature in the image and returns its start plus offset, or 0 when it
// does not exist. A non-zero wildcard flag accepts any byte at that place. The
// candidates are 0 to size - n - 1: an occurrence must be followed by one byte.
// Only the first sig.size() flags are read; missing flags count as 0.
std::int32_t FindSignature(std::span<const std::uint8_t> image, std::span<const std::uint8_t> sig,
                           std::span<const std::uint8_t> sigwild, std::int32_t offset,
                           std::int32_t occur);

// How many occurrences FindSignature can choose from: the candidates (0 to
// size - n - 1) where the signature matches, overlapping ones counted.
std::int64_t CountSignature(std::span<const std::uint8_t> image, std::span<const std::uint8_t> sig,
                            std::span<const std::uint8_t> sigwild);

// FindSignature run over an image piece by piece, in order, so that other work
// on the same bytes (a checksum) can run on each piece while it is in the
// processor's cache. The k-th occurrence is counted across pieces, and an
// occurrence that starts in one piece and ends in the next is found in the
// piece where it starts: the search reads up to sig.size() bytes past a
// piece's end. The image must stay readable and unchanged while it searches.
class SignatureSearch {
 public:
  // With `count_all`, the search goes on past the occurrence to the end of the
  // image and counts every occurrence, as CountSignature does.
  SignatureSearch(std::span<const std::uint8_t> image, std::span<const std::uint8_t> sig,
                  std::span<const std::uint8_t> sigwild, std::int32_t occur,
                  bool count_all = false);
  ~SignatureSearch();
  SignatureSearch(SignatureSearch&&) noexcept;
  SignatureSearch& operator=(SignatureSearch&&) noexcept;

  // Searches the candidates that start before `end` and were not searched yet.
  void ScanTo(std::int64_t end);
  // Whether the occurrence was found (and, counting all, every candidate
  // searched) or every candidate was searched.
  bool Finished() const { return next_ >= end_; }
  // Once finished: what FindSignature returns for the offset.
  std::int32_t Result(std::int32_t offset) const;
  // Once finished: where the occurrence starts, or -1.
  std::int64_t Start() const { return start_; }
  // Once finished, counting all: what CountSignature returns.
  std::int64_t Occurrences() const { return found_; }

 private:
  struct Plan;  // how the block scan reads the signature's fixed bytes

  std::span<const std::uint8_t> image_;
  std::int64_t length_;  // of the signature
  std::int64_t end_;     // one past the last candidate: size - n
  std::int64_t occur_;
  std::int64_t next_ = 0;   // the first candidate not searched yet
  std::int64_t found_ = 0;  // occurrences before it
  std::int64_t start_ = -1;
  bool count_all_ = false;
  std::unique_ptr<Plan> plan_;
};

}  // namespace quillfen
