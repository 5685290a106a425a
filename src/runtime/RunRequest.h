// The catch-all around start-up and the request, and the dispatch of a request name through the
// program's request table.
#pragma once

#include <functional>
#include <string>

#include "runtime/CgiApplication.h"
#include "runtime/RequestTable.h"

// Runs `body`; an archive, tokenizer, file or any other exception is reported through
// application.Fatal with its error text (at most 255 characters), errno and strerror.
void RunGuarded(CgiApplication& application, const std::function<void()>& body);

// Runs the handler that `table` names for `name` and ends the process. An unknown name ends in
// Fatal with "Unknown request %s (%d)" and the number of rows looked at.
template <class Application>
[[noreturn]] void RunRequest(Application& app, const RequestTable<Application>& table,
                             const std::string& name) {
    if (name.empty() && table.emptyName != nullptr) {
        table.emptyName(app);
    } else {
        int walked = 0;
        const RequestEntry<Application>* row = FindRequest(table.rows, name, &walked);
        if (row == nullptr) {
            app.Fatal("Unknown request %s (%d)", name.c_str(), walked);
        }
        row->handler(app);
    }
    CgiApplication::EndProcess();
}

// The entry point's body of a program with a request table: start-up, then the request the
// program names, inside one catch-all. Returns only when start-up fails.
template <class Application>
int RunProgram(Application& app, int argc, char** argv, const RequestTable<Application>& table) {
    return app.Run(argc, argv, [&](const std::string& name) { RunRequest(app, table, name); });
}
