#pragma once

#include <cstdint>

namespace quillfen {

// The byte both builds of the program lock, exclusively, on a game file for as
// long as they hold it: the Windows build with LockFileEx, the POSIX build
// with an open-file-description record lock (F_OFD_SETLK). Wine turns a
// LockFileEx into a POSIX record lock on the same offsets as long as they lie
// below 2^63, so the two see each other's lock, on Linux and under Wine or
// Proton alike. The byte lies far past the end of any file, so the lock never
// covers the file's data: Windows refuses reads and writes of locked bytes.
inline constexpr std::int64_t kHoldLockOffset = std::int64_t{1} << 62;
inline constexpr std::int64_t kHoldLockLength = 1;

}  // namespace quillfen
