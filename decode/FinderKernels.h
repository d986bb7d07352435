// The finder pattern's proportion, which every check of a group of runs
// derives its bounds from, and the finder searches' loops over every run of
// every line: the prefilters in front of the exact checks, and the walk to
// the groups they let through. Each loop has a plain twin, the simple loop
// whose results it must give; the tests hold the two to that.
#pragma once

#include <array>
#include <cstdint>

namespace zorvik {

// A line through a finder pattern's centre crosses dark, light, dark, light
// and dark runs of kFinderModules modules: a middle run of three between
// side runs of one, seven modules across.
inline constexpr int kFinderSide = 1, kFinderMiddle = 3;
inline constexpr std::array<int, 5> kFinderModules = {kFinderSide, kFinderSide, kFinderMiddle,
                                                      kFinderSide, kFinderSide};
inline constexpr int kFinderTotal = 4 * kFinderSide + kFinderMiddle;

// The prefilter: maybe[k] = 1 where the runs dark[k], light[k], dark[k + 1],
// light[k + 1], dark[k + 2] may be a finder's, else 0, for k < n. A group
// passes with a total t of at least kFinderTotal and each run r of w modules
// within 2 kFinderTotal r >= (2w - 1) t - 2 kFinderTotal and
// 2 kFinderTotal r <= (2w + 1) t + kFinderTotal: within half a module of
// w t / kFinderTotal, with room for the exact check's truncation and float
// rounding, so that no group the exact check accepts fails here. Runs are
// 0 to lineLength (at most 32767) and no group's total passes lineLength;
// neither is checked. Reads dark[0 .. n + 1] and light[0 .. n].
void MarkFinderGroups(const int16_t* dark, const int16_t* light, int n, int lineLength,
                      uint8_t* maybe);
void MarkFinderGroupsPlain(const int16_t* dark, const int16_t* light, int n, int lineLength,
                           uint8_t* maybe);

// The whole-picture search's prefilter: maybe[k] = 1 where run k + 2 is
// longer than runs k, k + 1, k + 3 and k + 4, else 0, for k < n, run j
// being starts[j + 1] - starts[j]: the windows of five runs whose middle
// one is the longest, as a finder's is however blurred. starts ascend
// (not checked); reads starts[0 .. n + 4]. The 32-bit form, for lines too
// long for 16-bit starts, is its own plain twin.
void MarkLongestMiddles(const int16_t* starts, int n, uint8_t* maybe);
void MarkLongestMiddles(const int* starts, int n, uint8_t* maybe);
void MarkLongestMiddlesPlain(const int16_t* starts, int n, uint8_t* maybe);

// MarkLongestMiddles for a search of finders least to most pixels across:
// also 0 where the window's five runs together are narrower or wider.
// Flags fewer windows where the search looks at few widths, at the cost of
// two more tests a window.
void MarkLongestMiddlesWithin(const int16_t* starts, int n, int least, int most, uint8_t* maybe);
void MarkLongestMiddlesWithin(const int* starts, int n, int least, int most, uint8_t* maybe);
void MarkLongestMiddlesWithinPlain(const int16_t* starts, int n, int least, int most,
                                   uint8_t* maybe);

// The first k from `from` to n - 1 with flags[k] != 0, else n. Reads flags
// eight at a time: they must be readable up to n + 7 (what lies past n is
// not used).
int NextFlagged(const uint8_t* flags, int from, int n);
int NextFlaggedPlain(const uint8_t* flags, int from, int n);

} // namespace zorvik
