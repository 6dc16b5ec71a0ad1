// Fuzz target: every way FindSignature walks the candidates against the plain
// scan (the AVX2 block scan where the processor has AVX2). The input holds the signature, its flags, offset and occurrence number,
// then the image, which may be repeated to reach the sizes where the search
// samples the image.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/signature.h"
#include "engine/signature_internal.h"
#include "fuzz/plain_scan.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 7) return 0;
  const std::size_t n = data[0] % 41;
  const std::size_t repeat = data[1] % 4 == 0 ? 1 + data[1] : 1;  // up to 253 copies
  std::int32_t offset;
  std::memcpy(&offset, data + 2, 4);
  const std::int32_t occur = static_cast<std::int8_t>(data[6]);
  data += 7;
  size -= 7;
  if (size < 2 * n) return 0;
  const std::vector<std::uint8_t> sig(data, data + n);
  std::vector<std::uint8_t> wild(data + n, data + 2 * n);
  for (auto& flag : wild) flag = flag < 160 ? 0 : flag;  // mostly fixed places
  std::vector<std::uint8_t> image;
  for (std::size_t k = 0; k < repeat; ++k) image.insert(image.end(), data + 2 * n, data + size);

  using quillfen::signature_internal::FindSignatureUsing;
  using quillfen::signature_internal::Strategy;
  const std::int32_t expected = quillfen::reference::PlainScan(image, sig, wild, offset, occur);
  for (const Strategy strategy :
       {Strategy::kAuto, Strategy::kEveryCandidate, Strategy::kSse2Blocks, Strategy::kAvx2Blocks,
        Strategy::kAvx512Blocks}) {
    if (!quillfen::signature_internal::Runs(strategy)) continue;
    if (FindSignatureUsing(strategy, image, sig, wild, offset, occur) != expected) std::abort();
  }
  return 0;
}
