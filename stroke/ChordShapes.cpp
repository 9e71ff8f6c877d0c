#include "stroke/ChordShapes.h"

#include <algorithm>

namespace {

// One shape, strings 1 to 6; Muted marks a string that is not played.
constexpr signed char Muted = -1;
using Shape = signed char[StringCount];

constexpr unsigned int RootCount = 12;
constexpr unsigned int KindCount = 7;
constexpr unsigned int LowestRoot = 60;

constexpr signed char x = Muted;  // NOLINT(readability-identifier-naming): a tab marks a muted string x

// Rows: roots C (60) to B (71). Columns: the seven chord kinds.
// clang-format off
constexpr Shape Shapes[RootCount][KindCount] = {
    // Major            Minor               Seventh             Major seventh       Minor seventh       Minor-major 7th     Diminished 7th
    {{0, 1, 0, 2, 3, 0}, {3, 4, 5, 5, 3, 3}, {0, 1, 3, 2, 3, 0}, {0, 0, 0, 2, 3, 0}, {3, 4, 3, 5, 3, 3}, {3, 4, 4, 5, 3, 3}, {2, 1, 2, 1, x, x}},  // C
    {{4, 6, 6, 6, 4, 4}, {4, 5, 6, 6, 4, 4}, {4, 6, 4, 6, 4, 4}, {4, 6, 5, 6, 4, 4}, {4, 5, 4, 6, 4, 4}, {4, 5, 5, 6, 4, 4}, {3, 2, 3, 2, x, x}},  // C#
    {{2, 3, 2, 0, 0, x}, {1, 3, 2, 0, 0, x}, {2, 1, 2, 0, 0, x}, {2, 2, 2, 0, 0, x}, {1, 1, 2, 0, 0, x}, {1, 2, 2, 0, x, x}, {1, 0, 1, 0, x, x}},  // D
    {{6, 8, 8, 8, 6, 6}, {6, 7, 8, 8, 6, 6}, {6, 8, 6, 8, 6, 6}, {3, 3, 3, 1, 1, x}, {6, 7, 6, 8, 6, 6}, {4, 5, 5, 3, x, x}, {2, 1, 2, 1, x, x}},  // D#
    {{0, 0, 1, 2, 2, 0}, {0, 0, 0, 2, 2, 0}, {0, 0, 1, 0, 2, 0}, {0, 0, 1, 1, 2, 0}, {0, 0, 0, 0, 2, 0}, {0, 0, 0, 1, 2, 0}, {3, 2, 3, 2, x, x}},  // E
    {{1, 1, 2, 3, 3, 1}, {1, 1, 1, 3, 3, 1}, {1, 1, 2, 1, 3, 1}, {0, 1, 2, 3, 0, x}, {1, 1, 1, 1, 3, 1}, {1, 1, 1, 2, 3, 1}, {1, 0, 1, 0, x, x}},  // F
    {{2, 2, 3, 4, 4, 2}, {2, 2, 2, 4, 4, 2}, {2, 2, 3, 2, 4, 2}, {2, 2, 3, 3, 4, 2}, {2, 2, 2, 2, 4, 2}, {2, 2, 2, 3, 4, 2}, {2, 1, 2, 1, x, x}},  // F#
    {{3, 0, 0, 0, 2, 3}, {3, 3, 3, 5, 5, 3}, {1, 0, 0, 0, 2, 3}, {2, 0, 0, 0, 2, 3}, {3, 3, 3, 3, 5, 3}, {3, 3, 3, 4, 5, 3}, {3, 2, 3, 2, x, x}},  // G
    {{4, 4, 5, 6, 6, 4}, {4, 4, 4, 6, 6, 4}, {4, 4, 5, 4, 6, 4}, {4, 4, 5, 5, 6, 4}, {4, 4, 4, 4, 6, 4}, {4, 4, 4, 5, 6, 4}, {1, 0, 1, 0, x, x}},  // G#
    {{0, 2, 2, 2, 0, 0}, {0, 1, 2, 2, 0, 0}, {0, 2, 0, 2, 0, 0}, {0, 2, 1, 2, 0, 0}, {0, 1, 0, 2, 0, 0}, {0, 1, 1, 2, 0, 0}, {2, 1, 2, 1, 0, x}},  // A
    {{1, 3, 3, 3, 1, 1}, {1, 2, 3, 3, 1, 1}, {1, 3, 1, 3, 1, 1}, {1, 3, 2, 3, 1, 1}, {1, 2, 1, 3, 1, 1}, {1, 2, 2, 3, 1, 1}, {3, 2, 3, 2, x, x}},  // A#
    {{2, 4, 4, 4, 2, 2}, {2, 3, 4, 4, 2, 2}, {2, 0, 2, 1, 2, x}, {2, 4, 3, 4, 2, 2}, {2, 3, 2, 4, 2, 2}, {2, 3, 3, 4, 2, 2}, {1, 0, 1, 0, x, x}},  // B
};
// clang-format on

}  // namespace

int StrokeNotes(unsigned int root, unsigned int kind, unsigned char notes[StringCount])
{
    int frets[StringCount];
    int muted[StringCount];
    GetChordShape(root, kind, frets, muted);
    int count = 0;
    for (int i = StringCount - 1; i >= 0; --i) {
        if (std::find(muted, muted + StringCount, i + 1) == muted + StringCount)
            notes[count++] = static_cast<unsigned char>(OpenStringNotes[i] + static_cast<unsigned char>(frets[i]));
    }
    return count;
}

void GetChordShape(unsigned int root, unsigned int kind, int frets[StringCount], int muted[StringCount])
{
    for (int i = 0; i < StringCount; ++i) {
        frets[i] = 0;
        muted[i] = 0;
    }
    const unsigned int row = root - LowestRoot;
    if (row >= RootCount)
        return;
    if (kind >= KindCount)
        kind = Major;

    int mutedCount = 0;
    for (int i = 0; i < StringCount; ++i) {
        const signed char fret = Shapes[row][kind][i];
        if (fret == Muted)
            muted[mutedCount++] = i + 1;
        else
            frets[i] = fret;
    }
}
