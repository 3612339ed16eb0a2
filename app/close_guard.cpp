#include "close_guard.h"

#include <windows.h>

#include "question_box.h"

namespace {

const char kCloseWarning[] =
    "WARNING: You should not close the application while the firmware is updating. Doing so may "
    "leave the Kavix in an unoperational state. Are you sure you wish to close the application?";

}  // namespace

bool CloseGuard::MayClose() const {
    return !run.IsUpdating() || ShowQuestion(kCloseWarning) == IDYES;
}

void CloseGuard::Release() {
    // A preparation question may still be open (it has no owner): its answer must not start a
    // worker for a closed window, so the run is abandoned and the question answered No.
    run.Abandon();
    DismissOpenQuestions();
}
