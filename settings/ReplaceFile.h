// Replacing a small file so that a crash, a kill or a full disk at any
// moment leaves either the old content or the new, never a cut one.
#pragma once

#include <string>
#include <string_view>

namespace zorvik {

// Writes bytes to a new file beside path (same folder, made with mkstemp),
// flushes it to the disk, gives it the mode of the file it replaces (0644
// for a new one) and renames it over path. On any failure the new file is
// removed, path is left as it was and false is returned. A link at path is
// replaced, not written through. Never throws.
bool ReplaceFileAtomically(const std::string& path, std::string_view bytes);

// Writes all of bytes to fd, again after an interrupted or partial write;
// false on any error.
bool WriteAll(int fd, std::string_view bytes);

} // namespace zorvik
