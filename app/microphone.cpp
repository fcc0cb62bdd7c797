#include "app/microphone.h"

#include "app/reading_dialog.h"
#include "app/wait_cursor.h"
#include "document/document.h"
#include "reception/live/capture_thread.h"

namespace zendrik {

int ReadFromMicrophone(Document& data, zendrik::CaptureThread* capture, QWidget* owner) {
    zendrik::ReadingDialog dialog(owner);
    dialog.SetCapture(capture);
    dialog.SetWatchModel(data.Settings().watchModel);
    if (dialog.DoModal() != QDialog::Accepted) return 0;
    WaitCursor wait;
    // Without a capture there is no transfer: the hand-over only releases the samples.
    return data.TakeLiveTransfer(dialog.TakeTransfer());
}

}  // namespace zendrik
