#pragma once
// The editor's hints, shown one at a time in random order: every tip once per round, then a new
// round. Process-wide, main thread only.

#include <functional>
#include <string>
#include <vector>

class TipList {
public:
    // Reads the tip texts from the text table (after it is loaded) and starts a round.
    static void Build();
    // Appends every tip index, in order, to the tips not yet shown.
    static void RefillBag();
    // Shows one tip not yet shown this round in the message box (dialog 1, acknowledge button).
    // Does nothing before Build.
    static void ShowRandom();
    static void Destroy();

    // rand()-like values (0 .. RAND_MAX); without one the C library's rand.
    using RandomSource = std::function<int()>;
    static void SetRandomSource(RandomSource source);

    static const std::vector<std::string>& Tips();
    // The indices not yet shown in this round.
    static const std::vector<int>& Bag();
};
