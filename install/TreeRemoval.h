#pragma once

#include "FolderHandle.h"

// Empties a held folder whatever its owner has built inside it: any depth, any width,
// links at every level. Names are read a batch at a time through each folder's own
// handle and every removal is made relative to it; a link is removed as a link, never
// followed. At most a few levels are held open at once: a folder deeper than that is
// moved up into the held top folder under a fresh name and emptied from there, so
// neither memory nor open handles nor the stack grow with the tree.
class TreeRemoval final
{
public:
    // deadline: a Time::getMillisecondCounterHiRes() value past which the work stops
    // (0: none).
    TreeRemoval (const FolderHandle& top, double deadline);

    // Whether the top folder was emptied completely.
    bool run();

    bool ranOutOfTime() const { return outOfTime; }

private:
    enum class Removed
    {
        yes,
        no
    };

    bool empty (const FolderHandle& folder, int depth);
    Removed removeEntry (const FolderHandle& folder, const char* name, int depth);
    bool moveUp (const FolderHandle& folder, const char* name);
    bool timeIsUp();

    const FolderHandle& top;
    const double deadline;
    int movedUp = 0;
    bool outOfTime = false;

    JUCE_DECLARE_NON_COPYABLE (TreeRemoval)
};
