// The request table of a program: names matched exactly and case-sensitively, in table order.
#pragma once

#include <string>

using RequestHandler = void (*)();

struct RequestEntry {
    const char* name;  // null in the row that ends the table
    RequestHandler handler;
};

// The first row whose name equals `name`, or null. `*walked` receives the number of named rows
// looked at (all of them when nothing matched).
const RequestEntry* FindRequest(const RequestEntry* table, const std::string& name, int* walked);
