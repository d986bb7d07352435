// The folder for the program's temporary files. Their names are fixed, so
// the folder must be one that only the current user can write: in a folder
// everyone can write, another user could put a link at such a name and have
// the program write through it.
#pragma once

#include <string>

namespace zorvik {

// $TMPDIR when set and not empty, else "/tmp", ending in "/".
std::string SystemTempFolder();

// "<base>/zorvik-<uid>/": created with mode 0700 when missing; an existing
// entry is used only when it is a directory (not a link to one) owned by the
// current user, and one that group or others can write is first set to
// 0700. When that name is taken by something unsafe, a new folder
// "<base>/zorvik-<uid>-XXXXXX/" is made (mode 0700, random name). The base
// itself must be a directory owned by the current user or root that only
// its owner can write, or one with the sticky bit (as /tmp). Empty when no
// private folder can be had there. Never throws.
std::string UserTempFolderIn(const std::string& base);

// "$XDG_RUNTIME_DIR/zorvik/" when XDG_RUNTIME_DIR names a usable base and
// that folder is (or can be made) private as above; else
// UserTempFolderIn(SystemTempFolder()); when that fails too, the system's
// temporary folder itself. Always ends in "/"; empty only when out of memory.
// Never throws.
std::string UserTempFolder();

} // namespace zorvik
