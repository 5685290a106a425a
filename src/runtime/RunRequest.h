// The catch-all around start-up and the request, and the dispatch of a request name through the
// program's request table.
#pragma once

#include <functional>
#include <string>

#include "runtime/CgiApplication.h"
#include "runtime/Reply.h"
#include "runtime/RequestTable.h"

// The reply of `body`; an archive, tokenizer, file or any other exception gives the reply of
// application.Fatal with its error text (at most kMaxErrorText characters), errno and strerror.
Reply RunGuarded(CgiApplication& application, const std::function<Reply()>& body);

// The reply of the handler that `table` names for `name`. An unknown name gives the reply of
// Fatal with "Unknown request %s (%d)" and the number of rows looked at.
template <class Application>
Reply RunRequest(Application& app, const RequestTable<Application>& table,
                 const std::string& name) {
    if (name.empty() && table.emptyName != nullptr) {
        return table.emptyName(app);
    }
    int walked = 0;
    const RequestEntry<Application>* row = FindRequest(table.rows, name, &walked);
    if (row == nullptr) {
        return app.Fatal("Unknown request %s (%d)", name.c_str(), walked);
    }
    return row->handler(app);
}

// One request of a program with a request table: start-up, then the request the program
// names, inside one catch-all; the reply is given before it returns.
template <class Application>
void RunProgram(Application& app, int argc, char** argv, const RequestTable<Application>& table) {
    app.Run(argc, argv, [&](const std::string& name) { return RunRequest(app, table, name); });
}
