#pragma once

namespace quillfen {

// An overload set of lambdas for std::visit: a visitor that lacks an
// alternative of the variant does not compile.
template <class... Words>
struct Overloaded : Words... {
  using Words::operator()...;
};
template <class... Words>
Overloaded(Words...) -> Overloaded<Words...>;

}  // namespace quillfen
