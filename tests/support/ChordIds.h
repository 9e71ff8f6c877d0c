#pragma once
// The sound ids a stroke of a chord starts, lowest string first, muted
// strings left out: each string's note less the lowest note, 40.

#include <vector>

std::vector<int> ChordIds(int root, int kind);
