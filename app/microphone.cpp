#include "app/microphone.h"

#include "app/reading_dialog.h"
#include "app/wait_cursor.h"
#include "reception/live/record_sound.h"
#include "document/sonic_link_data.h"

int ReadFromMicrophone(CSonicLinkData& data, CRecordSound* recorder, QWidget* owner) {
    CReadingDialog dialog(owner);
    dialog.m_pRecorder = recorder;
    dialog.m_nWatchModel = data.m_nWatchModel;
    if (dialog.DoModal() != QDialog::Accepted) return 0;
    CWaitCursor wait;
    if (!recorder) {
        data.m_pSamples.reset();
        data.m_nSamples = 0;
        return 0;
    }
    return HandOverLiveBytes(data, recorder->Decoder()->Decoder());
}
