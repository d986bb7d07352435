// Helpers shared by the fuzz targets.
#pragma once

#include "FuzzTargets.h"

#include <string>

namespace zorvik::fuzz {

// Aborts with the message when a contract does not hold.
void Require(bool holds, const char* what);

// The bits of data from byte first on, most significant first, as '0'/'1'.
std::string BytesToBits(FuzzInput data, size_t first);

// A folder of this process's own for the files the targets write; removed
// at exit.
const std::string& ScratchFolder();

} // namespace zorvik::fuzz
