#pragma once

#include "FolderHandle.h"

// Opens a folder by its absolute path one part at a time, each part through the folder
// held before it, so that nothing on the way is ever resolved twice. A link on the way
// is followed only where no ordinary user could have aimed it elsewhere:
//
// - the folder holding it can be changed by root alone (root's and writable by no group
//   and no others, or sticky and the link root's), or
// - the link belongs to the one user who controls the folder holding it (that user's
//   folder, writable by no group and no others, or sticky), and it leads only through
//   folders of that user or of root to a folder of that user.
//
// A link anyone else controls, or one that leads a user into somebody else's folder, is
// refused with a reason naming the link and its owner. At most 40 links are followed,
// as the kernel does. Folders missing on the way can be made; one made inside a folder of
// the user whose link led there becomes that user's, as it would be had they made it.
class PathWalk final
{
public:
    static FolderHandle open (const juce::File& folder, bool createMissing, juce::String& whyNot);

private:
    PathWalk() = delete;
};
