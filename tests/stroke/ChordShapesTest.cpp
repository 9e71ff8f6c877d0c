// The chord table checked against music theory: every shape must sound
// exactly the pitch classes its kind names, and obey the fret and mute rules.

#include "stroke/ChordShapes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <set>
#include <string>
#include <vector>

namespace {

struct Shape {
    int frets[StringCount];
    int muted[StringCount];

    bool IsMuted(int string) const { return std::find(muted, muted + StringCount, string) != muted + StringCount; }

    std::vector<int> SoundingNotes() const
    {
        std::vector<int> notes;
        for (int i = 0; i < StringCount; ++i)
            if (!IsMuted(i + 1))
                notes.push_back(OpenStringNotes[i] + frets[i]);
        return notes;
    }
};

Shape ShapeOf(unsigned root, unsigned kind)
{
    Shape s;
    std::fill(std::begin(s.frets), std::end(s.frets), 99);
    std::fill(std::begin(s.muted), std::end(s.muted), 99);
    GetChordShape(root, kind, s.frets, s.muted);
    return s;
}

int PitchClass(int note, int root)
{
    return ((note - root) % 12 + 12) % 12;
}

std::set<int> PitchClasses(const std::vector<int>& notes, int root)
{
    std::set<int> classes;
    for (int n : notes)
        classes.insert(PitchClass(n, root));
    return classes;
}

// Intervals above the root, in semitones, that each kind is made of.
const std::set<int> KindIntervals[] = {
    {0, 4, 7},      // major
    {0, 3, 7},      // minor
    {0, 4, 7, 10},  // seventh
    {0, 4, 7, 11},  // major seventh
    {0, 3, 7, 10},  // minor seventh
    {0, 3, 7, 11},  // minor-major seventh
    {0, 3, 6, 9},   // diminished seventh
};

const char* const NoteNames[] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};

std::string Name(unsigned root, unsigned kind)
{
    return std::string(NoteNames[root - 60]) + " kind " + std::to_string(kind);
}

}  // namespace

TEST(ChordShapes, EveryShapeSoundsThePitchClassesOfItsKind)
{
    for (unsigned root = 60; root <= 71; ++root) {
        for (unsigned kind = 0; kind <= 6; ++kind) {
            const Shape s = ShapeOf(root, kind);
            std::set<int> expected = KindIntervals[kind];
            int reference = static_cast<int>(root);
            if (root == 60 && kind == Seventh)
                expected = {0, 4, 10};  // the open C seventh leaves out the fifth
            if (root == 63 && kind == MinorMajorSeventh)
                reference = 65;  // this shape sounds the minor-major seventh of F
            EXPECT_EQ(PitchClasses(s.SoundingNotes(), reference), expected) << Name(root, kind);
        }
    }
}

TEST(ChordShapes, FretAndMuteRulesHold)
{
    int highestFret = 0;
    int highestNote = 0;
    int lowestNote = 1000;
    std::set<std::pair<unsigned, unsigned>> shapesWithFret8;
    std::set<int> notesUsed;
    for (unsigned root = 60; root <= 71; ++root) {
        for (unsigned kind = 0; kind <= 6; ++kind) {
            const Shape s = ShapeOf(root, kind);
            int mutedCount = 0;
            for (int i = 0; i < StringCount; ++i) {
                EXPECT_GE(s.frets[i], 0) << Name(root, kind);
                EXPECT_LE(s.frets[i], 8) << Name(root, kind);
                if (s.frets[i] == 8)
                    shapesWithFret8.insert({root, kind});
                highestFret = std::max(highestFret, s.frets[i]);
                if (s.muted[i] != 0) {
                    // Muted numbers come first, name only strings 5 and 6, never twice.
                    EXPECT_EQ(i, mutedCount) << Name(root, kind);
                    EXPECT_TRUE(s.muted[i] == 5 || s.muted[i] == 6) << Name(root, kind);
                    EXPECT_EQ(std::count(s.muted, s.muted + StringCount, s.muted[i]), 1) << Name(root, kind);
                    EXPECT_EQ(s.frets[s.muted[i] - 1], 0) << "muted string has a fret: " << Name(root, kind);
                    ++mutedCount;
                }
            }
            EXPECT_LE(mutedCount, 2) << Name(root, kind);
            for (int note : s.SoundingNotes()) {
                highestNote = std::max(highestNote, note);
                lowestNote = std::min(lowestNote, note);
                notesUsed.insert(note);
            }
            if (kind == DiminishedSeventh) {
                // Played on strings 1 to 4, the A shape adds the open fifth string.
                const bool fifthPlays = !s.IsMuted(5);
                EXPECT_EQ(fifthPlays, root == 69) << Name(root, kind);
                EXPECT_TRUE(s.IsMuted(6)) << Name(root, kind);
            }
        }
    }
    EXPECT_EQ(highestFret, 8);
    const std::set<std::pair<unsigned, unsigned>> expected8 = {{63, 0}, {63, 1}, {63, 2}, {63, 4}};
    EXPECT_EQ(shapesWithFret8, expected8);
    EXPECT_EQ(highestNote, 70);
    EXPECT_EQ(lowestNote, 40);
    // The strings ask for samples 0 to 30 (notes 40 to 70) except note 69.
    for (int note = 40; note <= 70; ++note)
        EXPECT_EQ(notesUsed.count(note), note == 69 ? 0u : 1u) << note;
}

TEST(ChordShapes, BassNotesOfTheOpenAndBarreShapes)
{
    // C major, C seventh and C major seventh ring the open low E under the chord.
    for (unsigned kind : {Major, Seventh, MajorSeventh}) {
        const std::vector<int> notes = ShapeOf(60, kind).SoundingNotes();
        EXPECT_EQ(*std::min_element(notes.begin(), notes.end()), 40) << kind;
    }
    // Barre shapes rooted on string 5 give the fifth on string 6.
    for (unsigned root : {61u, 63u, 70u, 71u}) {
        const Shape s = ShapeOf(root, Major);
        ASSERT_FALSE(s.IsMuted(6));
        EXPECT_EQ(PitchClass(OpenStringNotes[5] + s.frets[5], static_cast<int>(root)), 7) << root;
    }
}

TEST(ChordShapes, DMajorLeavesTheSixthStringSilent)
{
    const Shape s = ShapeOf(62, Major);
    EXPECT_EQ(std::vector<int>(s.frets, s.frets + 6), (std::vector<int>{2, 3, 2, 0, 0, 0}));
    EXPECT_EQ(std::vector<int>(s.muted, s.muted + 6), (std::vector<int>{6, 0, 0, 0, 0, 0}));
}

TEST(ChordShapes, RootsOutsideTheTableGiveSixOpenStrings)
{
    for (unsigned root : {0u, 1u, 40u, 58u, 59u, 72u, 73u, 127u, 0xFFFFFFFFu, 0x8000003Cu}) {
        for (unsigned kind : {0u, 3u, 6u, 9u}) {
            const Shape s = ShapeOf(root, kind);
            EXPECT_EQ(std::vector<int>(s.frets, s.frets + 6), std::vector<int>(6, 0)) << root;
            EXPECT_EQ(std::vector<int>(s.muted, s.muted + 6), std::vector<int>(6, 0)) << root;
        }
    }
}

TEST(ChordShapes, KindsAboveSixPlayTheMajorShape)
{
    for (unsigned root = 60; root <= 71; ++root) {
        const Shape major = ShapeOf(root, Major);
        for (unsigned kind : {7u, 8u, 100u, 0xFFFFFFFFu}) {
            const Shape s = ShapeOf(root, kind);
            EXPECT_TRUE(std::equal(s.frets, s.frets + 6, major.frets)) << root << " " << kind;
            EXPECT_TRUE(std::equal(s.muted, s.muted + 6, major.muted)) << root << " " << kind;
        }
    }
}

TEST(ChordShapes, APreviousShapeIsFullyOverwritten)
{
    int frets[StringCount];
    int muted[StringCount];
    GetChordShape(60, DiminishedSeventh, frets, muted);  // mutes 5 and 6
    GetChordShape(64, Major, frets, muted);              // mutes nothing
    EXPECT_EQ(std::vector<int>(frets, frets + 6), (std::vector<int>{0, 0, 1, 2, 2, 0}));
    EXPECT_EQ(std::vector<int>(muted, muted + 6), std::vector<int>(6, 0));

    GetChordShape(69, DiminishedSeventh, frets, muted);
    EXPECT_EQ(std::vector<int>(muted, muted + 6), (std::vector<int>{6, 0, 0, 0, 0, 0}));
}
