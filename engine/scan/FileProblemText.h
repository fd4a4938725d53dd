#pragma once

#include <string>
#include <string_view>

#include "ScanSeam.h"

namespace tallowby {

// How a file problem is told after the file's name: "cannot open: " and the
// reason for a file that could not be opened, "read error: " and the reason
// for one whose reading failed part-way, "skipped: " and the reason for a
// page of the program's own, the reason alone for a missing one.
// The reason is taken as given: escaping control bytes is the caller's.
inline std::string FileProblemText(FileProblem problem, std::string_view reason) {
    std::string text;
    switch (problem) {
        case FileProblem::Missing:
            break;
        case FileProblem::Unreadable:
            text = "cannot open: ";
            break;
        case FileProblem::ReadFailed:
            text = "read error: ";
            break;
        case FileProblem::OwnPage:
            text = "skipped: ";
            break;
    }
    text += reason;
    return text;
}

}  // namespace tallowby
