#pragma once

#include <cstddef>
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

// FindSignature over an image cut into pieces of candidates, which may be
// searched in any order and two at once on two threads, so that other work on
// the same bytes (a checksum) can run on each piece while it is in the
// processor's cache. Piece k holds the candidates k * piece to
// (k + 1) * piece - 1; an occurrence belongs to the piece where it starts, and
// the search of a piece reads up to sig.size() bytes past its last candidate.
// The k-th occurrence is counted across pieces when the search is finished.
// The image must stay readable and unchanged until then.
class PieceSearch {
 public:
  // With `count_all`, every piece is searched to its end and every occurrence
  // counted, as CountSignature does.
  PieceSearch(std::span<const std::uint8_t> image, std::span<const std::uint8_t> sig,
              std::span<const std::uint8_t> sigwild, std::int32_t occur, std::size_t piece,
              bool count_all = false);
  ~PieceSearch();
  PieceSearch(PieceSearch&&) noexcept;
  PieceSearch& operator=(PieceSearch&&) noexcept;

  // How many pieces the candidates fill; Search of any other piece does nothing.
  std::size_t Pieces() const { return pieces_; }
  // Searches piece k, unless an earlier piece is known to hold the occurrence
  // (and the search does not count all). Two threads may search two pieces at
  // once; each piece is searched once.
  void Search(std::size_t k);
  // Whether a later piece than those searched could still be needed: counting
  // all, or no piece known yet to hold the occurrence.
  bool WantsMore() const;

  struct Found {
    std::int64_t start = -1;        // where the occurrence starts, or -1
    std::int64_t occurrences = -1;  // counting all: what CountSignature returns
    // What FindSignature returns for the offset.
    std::int32_t At(std::int32_t offset) const;
  };
  // Once every piece is searched or passed over: the occurrence, counted
  // across the pieces in order. May search one piece again, for the occurrence
  // that follows those of the pieces before it.
  Found Finish() const;

 private:
  struct Piece {
    std::int64_t start = -1;  // where the piece's own occurrence `occur` starts
    std::int64_t count = 0;   // occurrences of the piece, up to that one unless counting all
  };
  // The plan of the block scan and what the pieces found.
  struct State;
  // Piece k's candidates, for occurrence `occur` of them (none with 0),
  // counting all when asked.
  Piece Scan(std::size_t k, std::int64_t occur, bool count_all) const;

  std::span<const std::uint8_t> image_;
  std::int64_t length_;  // of the signature
  std::int64_t end_;     // one past the last candidate: size - n
  std::int64_t occur_;
  std::int64_t piece_;
  bool count_all_ = false;
  std::size_t pieces_ = 0;
  Found whole_;  // where no piece needs searching: no candidate, or every one an occurrence
  std::unique_ptr<State> state_;
};

}  // namespace quillfen
