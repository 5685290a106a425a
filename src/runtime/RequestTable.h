// The request table of a program: names matched exactly and case-sensitively, in table order,
// each naming the handler that answers it. A handler receives the program's application object
// and returns the reply, which the caller gives.
#pragma once

#include <string>

#include "runtime/Reply.h"

template <class Application>
struct RequestEntry {
    const char* name;  // null in the row that ends the table
    Reply (*handler)(Application& app);
};

template <class Application>
struct RequestTable {
    const RequestEntry<Application>* rows;
    // Answers an empty request name without looking at the rows; null: an empty name is looked
    // up like any other.
    Reply (*emptyName)(Application& app);
};

// The first row whose name equals `name`, or null. `*walked` receives the number of named rows
// looked at (all of them when nothing matched).
template <class Application>
const RequestEntry<Application>* FindRequest(const RequestEntry<Application>* rows,
                                             const std::string& name, int* walked) {
    int looked = 0;
    for (const RequestEntry<Application>* row = rows; row->name != nullptr; ++row) {
        ++looked;
        if (name == row->name) {
            *walked = looked;
            return row;
        }
    }
    *walked = looked;
    return nullptr;
}
