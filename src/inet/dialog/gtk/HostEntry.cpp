// The window host module's one export.
#include "inet/dialog/WindowHostAbi.h"
#include "inet/dialog/gtk/GtkThread.h"

extern "C" __attribute__((visibility("default"))) int QuarWindowHostRun(
    const QuarDialogModel* model, void* parent) {
    if (!model || !model->dialog) {
        return -1;
    }
    // Nothing may escape into the library's C boundary.
    try {
        return inet::GtkThread::Instance().ShowDialog(*model, parent);
    } catch (...) {
        return -1;
    }
}
