#include "engine/one_pass.h"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>

#include "engine/crc32.h"
#include "engine/one_pass_internal.h"
#include "engine/signature.h"

namespace quillfen {

namespace {

// Files from this size on are checksummed on a second thread while the
// calling one searches: both are bound by the processor, so the pass then
// costs about as much as the slower of the two alone. Smaller files are done
// before a thread would have started.
constexpr std::size_t kSecondThreadFrom = std::size_t{4} << 20;

// How far, in pieces, the checksum may run ahead of the searches: the two
// read each piece while it is in the shared cache, so a file larger than the
// caches comes from memory once, not once for each.
constexpr std::size_t kLeadPieces = 4;

// The checksum of the bytes, piece by piece, never more than kLeadPieces
// ahead of `searched` (the bytes the searches are done with).
std::uint32_t Crc32Behind(std::span<const std::uint8_t> bytes, std::size_t piece,
                          const std::atomic<std::size_t>& searched) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t done = 0; done < bytes.size();) {
    const std::size_t size = std::min(piece, bytes.size() - done);
    while (done + size > searched.load(std::memory_order_acquire) + kLeadPieces * piece) {
      std::this_thread::yield();
    }
    crc = UpdateCrc32(crc, bytes.subspan(done, size));
    done += size;
  }
  return crc;
}

}  // namespace

namespace one_pass_internal {

PassResult ChecksumAndFindInPieces(std::span<const std::uint8_t> bytes,
                                   std::span<const SignatureQuery> queries, std::size_t piece) {
  piece = std::max<std::size_t>(piece, 1);
  std::vector<SignatureSearch> searches;
  searches.reserve(queries.size());
  for (const SignatureQuery& query : queries) {
    searches.emplace_back(bytes, query.sig, query.sigwild, query.occur, query.count_all);
  }
  std::uint32_t crc = 0xFFFFFFFFu;
  std::atomic<std::size_t> searched{0};
  std::thread checksum;
  if (bytes.size() >= kSecondThreadFrom && !queries.empty() &&
      std::thread::hardware_concurrency() > 1) {
    try {
      checksum = std::thread(
          [&crc, &searched, bytes, piece] { crc = Crc32Behind(bytes, piece, searched); });
    } catch (const std::system_error&) {
      // No thread to be had: the checksum is made here, piece by piece.
    }
  }
  const bool alone = !checksum.joinable();
  for (std::size_t done = 0; done < bytes.size();) {
    const std::size_t size = std::min(piece, bytes.size() - done);
    // The searches read up to a signature's length past the piece: the start
    // of the next piece, which the next round reads anyway.
    if (alone) crc = UpdateCrc32(crc, bytes.subspan(done, size));
    done += size;
    for (SignatureSearch& search : searches) search.ScanTo(static_cast<std::int64_t>(done));
    // Once every search is done, the checksum runs free to the end.
    const bool finished = std::all_of(searches.begin(), searches.end(),
                                      [](const SignatureSearch& s) { return s.Finished(); });
    searched.store(finished ? bytes.size() : done, std::memory_order_release);
    if (finished && !alone) break;
  }
  if (!alone) checksum.join();
  PassResult result;
  result.crc = static_cast<std::int32_t>(~crc);
  result.found.reserve(queries.size());
  for (std::size_t k = 0; k < queries.size(); ++k) {
    const SignatureSearch& search = searches[k];
    result.found.push_back({search.Result(queries[k].xoffset), search.Result(queries[k].yoffset),
                            search.Start(), queries[k].count_all ? search.Occurrences() : -1});
  }
  return result;
}

}  // namespace one_pass_internal

PassResult ChecksumAndFind(std::span<const std::uint8_t> bytes,
                           std::span<const SignatureQuery> queries) {
  return one_pass_internal::ChecksumAndFindInPieces(bytes, queries, one_pass_internal::kPassPiece);
}

}  // namespace quillfen
