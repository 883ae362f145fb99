// MapDumps: the zone's per-vertex level-of-detail values and heights as text.
//
//   DumpD2Map(terrain);            // to standard output
//   DumpHMap(terrain, file);
//
// 257 lines, line k holding the vertices with y index k in increasing x: each value as
// at least four upper-case hexadecimal digits (a negative D2 as its eight-digit 32-bit
// two's complement) and one blank, then a line end. The output is flushed after every
// value; a failed write or flush raises EWriteError and ends the dump there.
#pragma once

#include <cstdio>

#include "zone/Zone.h"

namespace orv {

void DumpD2Map(const TTerrain& terrain, std::FILE* out = stdout);
void DumpHMap(const TTerrain& terrain, std::FILE* out = stdout);

}  // namespace orv
