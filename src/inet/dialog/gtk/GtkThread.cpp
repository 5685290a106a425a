// The toolkit's thread: starts GTK once, then runs its main loop, where the dialogs live.
#include "inet/dialog/gtk/GtkThread.h"

#include <gtk/gtk.h>

#include <future>

#include "inet/dialog/gtk/GtkDialogWindow.h"

namespace inet {
namespace {

// A dialog asked for by a caller, handed to the toolkit's thread.
struct DialogRequest {
    const QuarDialogModel* model;
    void* parent;
    std::promise<int> result;
};

gboolean OpenRequested(gpointer data) {
    auto* request = static_cast<DialogRequest*>(data);
    GtkDialogWindow::Open(*request->model, request->parent,
                          [request](int result) { request->result.set_value(result); });
    return G_SOURCE_REMOVE;
}

}  // namespace

GtkThread& GtkThread::Instance() {
    // The toolkit is process-wide state by nature; so is the thread that owns it.
    static GtkThread thread;
    return thread;
}

GtkThread::GtkThread() {
    thread_ = std::thread([this] { Run(); });
    std::unique_lock<std::mutex> lock(mutex_);
    started_.wait(lock, [this] { return ready_; });
}

GtkThread::~GtkThread() {
    if (loop_) {
        g_main_loop_quit(loop_);
    }
    thread_.join();
    if (loop_) {
        g_main_loop_unref(loop_);
    }
}

void GtkThread::Run() {
    // The client's locale is its own business.
    gtk_disable_setlocale();
    bool usable = gtk_init_check(nullptr, nullptr);
    GMainLoop* loop = usable ? g_main_loop_new(nullptr, FALSE) : nullptr;
    if (loop) {
        GtkDialogWindow::InstallStyle();
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        loop_ = loop;
        ready_ = true;
    }
    started_.notify_all();
    if (loop) {
        g_main_loop_run(loop);
    }
}

int GtkThread::ShowDialog(const QuarDialogModel& model, void* parent) {
    if (!loop_) {
        return -1;
    }
    DialogRequest request{&model, parent, {}};
    std::future<int> result = request.result.get_future();
    // Always queued, never run on the calling thread.
    g_idle_add(OpenRequested, &request);
    return result.get();
}

}  // namespace inet
