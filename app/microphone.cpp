#include "app/microphone.h"

#include "app/reading_dialog.h"
#include "app/wait_cursor.h"
#include "document/sonic_link_data.h"
#include "reception/live/capture_thread.h"

int ReadFromMicrophone(CSonicLinkData& data, zendrik::CaptureThread* capture, QWidget* owner) {
    zendrik::ReadingDialog dialog(owner);
    dialog.SetCapture(capture);
    dialog.SetWatchModel(data.m_nWatchModel);
    if (dialog.DoModal() != QDialog::Accepted) return 0;
    CWaitCursor wait;
    // Without a capture there is no transfer: the hand-over only releases the samples.
    return HandOverLiveBytes(data, dialog.TakeTransfer());
}
