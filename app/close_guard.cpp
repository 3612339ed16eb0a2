// Every way of closing the updater asks first while the flash is being programmed.
#include "ask_question.h"
#include "updater_dlg.h"

namespace {

const char kCloseWarning[] =
    "WARNING: You should not close the application while the firmware is updating. Doing so may "
    "leave the Kavix in an unoperational state. Are you sure you wish to close the application?";

}  // namespace

bool CUpdaterDlg::ConfirmClose() {
    // Only a Yes closes: a box that could not be shown keeps the window open.
    return !updateRun.IsUpdating() || ::AskQuestion("%s", kCloseWarning) == IDYES;
}

void CUpdaterDlg::ReleaseRun() {
    // A preparation question may still be open (it has no owner): its answer must not start a
    // worker for a closed window, so the run is abandoned and the question answered No.
    updateRun.Abandon();
    DismissOpenQuestions();
}

void CUpdaterDlg::OnOK() {
    if (ConfirmClose()) {
        ReleaseRun();
        CDialog::OnOK();
    }
}

void CUpdaterDlg::OnCancel() {
    if (ConfirmClose()) {
        ReleaseRun();
        CDialog::OnCancel();
    }
}

void CUpdaterDlg::OnClose() {
    // The dialog's default for WM_CLOSE is the Cancel command, which asks once more in OnCancel.
    if (ConfirmClose()) {
        CDialog::OnClose();
    }
}

BOOL CUpdaterDlg::OnQueryEndSession() {
    if (updateRun.IsUpdating()) {
        return FALSE;
    }
    return CDialog::OnQueryEndSession();
}
