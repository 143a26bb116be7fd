// Edit lists of QuickTime and MP4 files: the demuxer's handling of a list
// costs time and memory that grow with the product of its length and the
// track's samples, so a list longer than real files carry is not followed.
#pragma once

#include <string>

// Real files carry one or two edits a track (a start delay, the encoder's
// priming); a list of more than this many is taken for damage.
inline constexpr unsigned kMaxEditListEntries = 16;

// Whether the QuickTime or MP4 file at `path` has an edit list longer than
// kMaxEditListEntries, or metadata too large or too damaged to tell within
// a bounded read (both: its edit lists are not to be followed).
bool HasLongEditList(const std::string& path);
