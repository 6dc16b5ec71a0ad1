#pragma once

#include <cstddef>
#include <functional>

namespace quillfen {

// Calls work(k) for k from 0 to count - 1 in ascending order, until a call
// returns false (no later piece is wanted). The calling thread does the first
// piece alone; then, with `share` and where the processor has a second core,
// one more thread takes pieces beside it, each thread taking the next piece
// left when it is done with its last. A thread that reads memory alone leaves
// much of the memory's speed unused, so two threads read a large file in about
// half the time; work that ends in the first piece never pays for a thread.
// Returns once every call has returned; an exception from a call is thrown
// here, once the pieces already taken are done.
void WorkOnPieces(std::size_t count, bool share, const std::function<bool(std::size_t)>& work);

}  // namespace quillfen
