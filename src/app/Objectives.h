#pragma once
// The tutorial tracker as list boxes see it, until the tutorial itself is built: with no tracker
// (gObjectives null) or no objectives, every list-box press is allowed and the pager is never blocked.
// Header-only on purpose, so the GUI library does not link against the application.

#include <cstddef>
#include <string>

class Objectives {
public:
    virtual ~Objectives() = default;

    // Whether a list box may act on a press of item (page, item) of its list `list` on screen.
    bool AllowsListBoxAction(int list, int page, int item, const std::string& screen) const
    {
        (void)list;
        (void)page;
        (void)item;
        (void)screen;
        return true;
    }
    // Every objective completed (also true with none): list pagers work only then.
    bool IsComplete() const { return completedCount >= objectiveCount; }

    std::size_t completedCount = 0;
    std::size_t objectiveCount = 0;
};

// The application's tracker; null until the application sets it.
inline Objectives* gObjectives = nullptr;
