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
// current user that group and others cannot write. A folder of ours found
// open to others is renamed aside ("zorvik-<uid>.open-XXXXXX", left as it
// is: emptying it could follow what others planted there) and replaced by a
// new one. When the name is taken by something unsafe, a new folder
// "<base>/zorvik-<uid>-XXXXXX/" is made (mode 0700, random name). The base
// itself must be a directory owned by the current user or root that only
// its owner can write, or one with the sticky bit (as /tmp). Empty when no
// private folder can be had there. Never throws.
std::string UserTempFolderIn(const std::string& base);

// "$XDG_RUNTIME_DIR/zorvik/" when XDG_RUNTIME_DIR names a usable base and
// that folder is (or can be made) private as above; else
// UserTempFolderIn(SystemTempFolder()). Ends in "/"; empty when no private
// folder can be had: then nothing may be written. Never throws.
std::string UserTempFolder();

// The folder of one running program inside a private per-user folder: made
// fresh ("run-XXXXXX", mode 0700) with a file "lock" locked (flock) for as
// long as this object lives, so that two programs never share a temporary
// name, and a folder left by a killed program is known by its free lock.
class RunFolder {
  public:
    // Removes the run folders in userFolder whose lock is free (those of
    // programs no longer running), then claims a new one. An empty
    // userFolder, or one where no folder can be made, gives an empty path().
    explicit RunFolder(const std::string& userFolder);
    // Removes the folder with everything in it (links are removed, never
    // followed).
    ~RunFolder();
    RunFolder(const RunFolder&) = delete;
    RunFolder& operator=(const RunFolder&) = delete;

    // Ends in "/"; empty when there is none.
    const std::string& path() const { return path_; }

  private:
    std::string path_;
    int lock_ = -1;
};

} // namespace zorvik
