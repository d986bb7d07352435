// Where the program's data (help pages, the shutter sound, translations) is
// found: beside the program first, as a build tree and a copied folder keep
// it, then in the data folder of an installed copy, <prefix>/share/zorvik,
// reached from the program's own folder (<prefix>/bin) so that a tree
// installed under DESTDIR or moved elsewhere finds its data too.
#pragma once

#include <string>

namespace zorvik {

// The data folder for programFolder (with or without its trailing "/"),
// ending in "/": programFolder/../share/zorvik/ with ".." resolved by name.
std::string DataFolder(const std::string& programFolder);

// relativePath beside the program when it exists there, else in the data
// folder when it exists there, else beside the program (where a missing
// file is looked for and reported).
std::string DataFile(const std::string& programFolder, const std::string& relativePath);

// An installed copy: its help is not beside the program but in the data
// folder. Such a copy never writes beside itself.
bool IsInstalledCopy(const std::string& programFolder);

} // namespace zorvik
