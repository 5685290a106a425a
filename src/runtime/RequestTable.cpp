#include "runtime/RequestTable.h"

const RequestEntry* FindRequest(const RequestEntry* table, const std::string& name, int* walked) {
    int rows = 0;
    for (const RequestEntry* row = table; row->name != nullptr; ++row) {
        ++rows;
        if (name == row->name) {
            *walked = rows;
            return row;
        }
    }
    *walked = rows;
    return nullptr;
}
