// How the library's modal dialogs end.
#pragma once

namespace inet {

// Dialog results, as the dialog's push buttons end it (their control ids).
enum : int { DialogOk = 1, DialogCancel = 2 };

}  // namespace inet
