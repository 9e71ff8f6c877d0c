#pragma once
// The chord shape table: a root note and a chord kind give the fret of each of
// the six strings and the strings that stay silent. 84 fixed guitar shapes,
// twelve roots (60 C to 71 B) times seven kinds.

// Kinds of chord, as the modifier keys choose them.
enum ChordKind : unsigned int {
    Major = 0,
    Minor = 1,
    Seventh = 2,
    MajorSeventh = 3,
    MinorSeventh = 4,
    MinorMajorSeventh = 5,
    DiminishedSeventh = 6,
};

constexpr int StringCount = 6;

// Open-string notes (MIDI), string 1 (highest) to string 6 (lowest).
constexpr int OpenStringNotes[StringCount] = {64, 59, 55, 50, 45, 40};

// Writes all six entries of both arrays. frets[i] is the fret pressed on
// string i + 1 (0 is open); muted starts with the numbers (1 to 6) of the
// strings that are not played, every other entry is 0. A root outside 60 to 71
// leaves both arrays all zero (six open strings); a kind above 6 is a major chord.
void GetChordShape(unsigned int root, unsigned int kind, int frets[StringCount], int muted[StringCount]);

// The notes a stroke of the chord sounds, lowest string first, muted strings
// left out; how many there are.
int StrokeNotes(unsigned int root, unsigned int kind, unsigned char notes[StringCount]);
