// Reading a transfer from the microphone into the reception object.
#pragma once

class CSonicLinkData;
class QWidget;

// Runs the reading dialog and, when it ends with a complete transfer, hands the bytes over and
// decodes them with the object's watch model. 1 when bytes were handed over and decoded.
int ReadFromMicrophone(CSonicLinkData& data, QWidget* owner);
