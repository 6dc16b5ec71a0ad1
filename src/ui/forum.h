#pragma once

namespace quillfen {

// The forum link under the window: the address it opens and the host name it shows.
inline constexpr const char* kForumAddress = "https://forum.example.org/";
inline constexpr const char* kForumHost = "forum.example.org";

}  // namespace quillfen
