// The files beneath folders, for reading whole libraries: every folder's
// entries sorted by name, folders descended into where they stand,
// symbolic links followed, and no folder entered twice (a link back to a
// folder being walked is reported, not followed).
#pragma once

#include <functional>
#include <string>
#include <vector>

// Appends to files every file beneath folder, as folder joined with the
// relative path. Problems (a folder that cannot be read, a link loop) go to
// report, one message each; the walk goes on past them. Returns false when
// some folder could not be read.
bool WalkFolder(const std::string& folder, std::vector<std::string>& files,
                const std::function<void(const std::string&)>& report);
