// eventlog_append_events --data-dir DIR --count N
// Appends N events "CONCURRENT" to the event log of DIR, the message of event j being
// "writer <QUAR_WRITER_INDEX> event <j>". Exit status 1 when any event was not written.
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "eventlog/EventRecord.h"
#include "eventlog/LogFiles.h"
#include "platform/Env.h"

int main(int argc, char** argv) {
    std::string dataDirectory;
    long count = -1;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--data-dir") == 0) {
            dataDirectory = argv[i + 1];
        } else if (std::strcmp(argv[i], "--count") == 0) {
            count = std::strtol(argv[i + 1], nullptr, 10);
        }
    }
    if (dataDirectory.empty() || count < 0) {
        std::cerr << "usage: eventlog_append_events --data-dir DIR --count N\n";
        return 2;
    }
    const char* writer = std::getenv("QUAR_WRITER_INDEX");
    EventRecord event;
    event.user = "NBX_admin";
    event.clientAddress = "127.0.0.1";
    int failures = 0;
    for (long j = 0; j < count; ++j) {
        event.message =
            std::string("writer ") + (writer ? writer : "0") + " event " + std::to_string(j);
        if (!AppendEvent(event, "CONCURRENT", dataDirectory, Env::Default()).written) {
            ++failures;
        }
    }
    if (failures > 0) {
        std::cerr << "eventlog_append_events: " << failures << " events not written\n";
        return 1;
    }
    return 0;
}
