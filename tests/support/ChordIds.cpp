#include "tests/support/ChordIds.h"

#include "stroke/ChordShapes.h"

std::vector<int> ChordIds(int root, int kind)
{
    unsigned char notes[StringCount];
    const int count = StrokeNotes(static_cast<unsigned int>(root), static_cast<unsigned int>(kind), notes);
    std::vector<int> ids;
    for (int i = 0; i < count; ++i)
        ids.push_back(notes[i] - 40);
    return ids;
}
