#include "app/microphone.h"

#include "reception/sonic_link_data.h"

int ReadFromMicrophone(CSonicLinkData& data, QWidget* /*owner*/) {
    // Without live capture there is nothing to read from.
    if (!data.m_pRecorder) return 0;
    return 0;
}
