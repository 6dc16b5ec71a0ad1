#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace quillfen {

// One signature search of a pass, as FindSignature takes it, with the offsets of
// both values.
struct SignatureQuery {
  std::span<const std::uint8_t> sig;
  std::span<const std::uint8_t> sigwild;
  std::int32_t occur = 0;
  std::int32_t xoffset = 0;
  std::int32_t yoffset = 0;
  // Goes on to the end and counts every occurrence, as CountSignature does.
  bool count_all = false;
};

// What FindSignature returns for a query's signature, occurrence and offset.
struct QueryResult {
  std::int32_t xpos = 0;
  std::int32_t ypos = 0;
  std::int64_t start = -1;        // where the occurrence starts; -1 where it is not there
  std::int64_t occurrences = -1;  // with count_all: what CountSignature returns
};

struct PassResult {
  std::int32_t crc = 0;            // what Crc32Of returns for the bytes
  std::vector<QueryResult> found;  // one per query, in order
};

// The CRC-32 of the bytes and the results of the signature searches, in one
// pass over the bytes: each piece is checksummed and then searched by every
// query that may still need it while it is in the processor's cache, so a file
// that does not fit the caches is brought in from memory (or the disk) once.
// A large file's pieces are shared between two threads, where the processor
// has a second core. Gives exactly what Crc32Of and FindSignature give.
PassResult ChecksumAndFind(std::span<const std::uint8_t> bytes,
                           std::span<const SignatureQuery> queries);

}  // namespace quillfen
