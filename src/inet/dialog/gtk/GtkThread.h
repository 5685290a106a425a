// The one thread of the process that runs the toolkit. The toolkit is single-threaded, so every
// window of the host is built, driven and destroyed here, while each caller waits for its own
// dialog to end. Dialogs of different callers are open side by side on this thread.
//
// A client that drives GTK 3 or the default GLib main loop on a thread of its own is not
// supported: the toolkit would then be used from two threads.
#pragma once

#include <glib.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "inet/dialog/WindowHostAbi.h"

namespace inet {

class GtkThread {
  public:
    // The process's toolkit thread, started on first use and stopped when the host is unloaded
    // (at process exit).
    static GtkThread& Instance();

    // Shows `model` owned by `parent` and waits for the result; -1 when the toolkit could not
    // start (no usable display).
    int ShowDialog(const QuarDialogModel& model, void* parent);

    GtkThread(const GtkThread&) = delete;
    GtkThread& operator=(const GtkThread&) = delete;

  private:
    GtkThread();
    ~GtkThread();
    void Run();

    std::mutex mutex_;
    std::condition_variable started_;
    bool ready_ = false;
    GMainLoop* loop_ = nullptr;  // null when the toolkit could not start
    std::thread thread_;
};

}  // namespace inet
