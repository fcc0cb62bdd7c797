// Reading a transfer from the microphone into the reception object.
#pragma once

class QWidget;

namespace zendrik {

class Document;

class CaptureThread;

// Runs the reading dialog over the live capture (none where the program has no sound input)
// and, when it ends with a complete transfer, hands the bytes over and decodes them with the
// document's watch model. 1 when bytes were handed over and decoded.
int ReadFromMicrophone(Document& data, zendrik::CaptureThread* capture, QWidget* owner);

}  // namespace zendrik
