#include "engine/one_pass.h"

#include <algorithm>
#include <vector>

#include "engine/crc32.h"
#include "engine/one_pass_internal.h"
#include "engine/pieces.h"
#include "engine/signature.h"

namespace quillfen {

namespace one_pass_internal {

PassResult ChecksumAndFindInPieces(std::span<const std::uint8_t> bytes,
                                   std::span<const SignatureQuery> queries, std::size_t piece,
                                   bool share) {
  piece = std::max<std::size_t>(piece, 1);
  std::vector<PieceSearch> searches;
  searches.reserve(queries.size());
  for (const SignatureQuery& query : queries) {
    searches.emplace_back(bytes, query.sig, query.sigwild, query.occur, piece, query.count_all);
  }
  // Each piece is checksummed first, which brings it into the cache of the
  // thread that took it, then searched there by every query that may still
  // need it. The pieces' own registers are joined in order at the end.
  const std::size_t count = (bytes.size() + piece - 1) / piece;
  std::vector<std::uint32_t> registers(count);
  WorkOnPieces(count, share, [&](std::size_t k) {
    registers[k] =
        UpdateCrc32(0u, bytes.subspan(k * piece, std::min(piece, bytes.size() - k * piece)));
    for (PieceSearch& search : searches) search.Search(k);
    return true;  // the checksum takes every piece
  });
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t k = 0; k < count; ++k) {
    crc = JoinCrc32(crc, registers[k], std::min(piece, bytes.size() - k * piece));
  }
  PassResult result;
  result.crc = static_cast<std::int32_t>(~crc);
  result.found.reserve(queries.size());
  for (std::size_t k = 0; k < queries.size(); ++k) {
    const PieceSearch::Found found = searches[k].Finish();
    result.found.push_back({found.At(queries[k].xoffset), found.At(queries[k].yoffset), found.start,
                            queries[k].count_all ? found.occurrences : -1});
  }
  return result;
}

}  // namespace one_pass_internal

PassResult ChecksumAndFind(std::span<const std::uint8_t> bytes,
                           std::span<const SignatureQuery> queries) {
  return one_pass_internal::ChecksumAndFindInPieces(bytes, queries, one_pass_internal::kPassPiece,
                                                    bytes.size() >= one_pass_internal::kSharedFrom);
}

}  // namespace quillfen
