// Appending one line to a file shared by many processes, so that the line is whole or absent.
#pragma once

#include <string>

enum class AppendOutcome {
    kWritten,     // the whole line is at the end of the file
    kNotWritten,  // nothing of the line is in the file
    kTorn,        // a piece of the line is in the file and could not be taken out
};

// Appends `line` with one write() so that concurrent appenders cannot cut into it, creating the
// file with `mode` (less the umask) when it is missing. With noFollow a symbolic link planted
// under the file's name is not followed. Room for the line is claimed first, so that a full disk
// refuses it; a write cut short all the same is taken back.
AppendOutcome AppendWholeLine(const std::string& path, const std::string& line, bool noFollow,
                              int mode);
