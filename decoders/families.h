// The one table of watch families: everything that differs from one family to the next (names,
// how its stream head names it, block layout, bit timing, decoder, how a reading of it ends,
// which report forms it has, its place in the model list). Shared code reads the table instead
// of comparing model codes.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "decoders/transfer_decoders.h"
#include "reception/received_bytes.h"
#include "reception/stream_format.h"

namespace zendrik {

// Model codes as stored in the settings, in Document and in the reception threads: the
// families of the table below. The families that share a block layout share its decoder too
// (StreamLayout); which watch an exercise came from, S410 or S510, RS200 or CS200, only its data
// tells (WatchFamily, whose numbers the FIT and TCX files carry).
enum WatchModelCode : int {
    kModelS410 = 1,
    kModelCoach = 2,
    kModelS410S510 = 3,
    kModelRS200 = 4,
};

struct Family {
    int code;
    const char* displayName;  // in the model list and the reading dialog: "Polar S410/S510"
    const char* phrase;       // the family in words, with its article: "an S410/S510"
    StreamFormat stream;      // head marker, block layout and bit timings
    Transfer (*decode)(const ReceivedBytes& bytes, const DecodeContext& context);
    // The watch may not say when it has finished: the user ends the reading, which hands over
    // a complete transfer only; what has arrived of an incomplete one is not kept.
    bool userEndsReading;
    // Its decoder writes the Polar Compatible HRM text as well as the Enhanced one.
    bool compatibleText;
    // Place in the Properties dialog's model list, from 1; 0 for a family not offered there
    // (one that shares its name with another).
    int listPosition;
};

// Every family, in the order of their codes.
std::span<const Family> Families();

// The family of a code, or nullptr for a code outside the table.
const Family* FindFamily(int code);

// The family of a code; a code outside the table is received as the first family (the S410).
const Family& FamilyOrFirst(int code);

// The stream formats of all families, in table order, for the receivers.
StreamFormats FamilyStreamFormats();

// The family a stream head names, or nullptr.
const Family* FamilyOfStream(const ReceivedBytes& bytes);

// The family a stream head names when that family's decoder is not the one of `code` (an S410
// head under the S410/S510 code is read alike); nullptr when the head names none, or one that the
// code's decoder reads.
const Family* OtherFamilyOfStream(const ReceivedBytes& bytes, int code);

// The families the Properties dialog offers, in list order.
std::vector<const Family*> ListedFamilies();

// The codes of the table as the command line names them: "1, 2, 3 or 4".
std::string FamilyCodesText();

// Decodes a stream with the decoder of the family whose code is given (the model setting, or
// what DetectWatchModel found in the head). A code outside the table gives an invalid transfer
// whose one message says so; a stream whose head names another family (OtherFamilyOfStream)
// gives an invalid transfer without any message, which the shells explain.
Transfer Decode(const ReceivedBytes& bytes, int code, const DecodeContext& context);

// Display name of a model code: "" for a code outside the table.
const char* WatchModelName(int code);

// The model code a stream head names: 2 Coach, 3 S410/S510, 1 S410, 4 RS200/CS200, 0 none.
int DetectWatchModel(const ReceivedBytes& bytes);

// Bit timing of a model code at a capture rate (44100, or 22050 after a device fallback);
// codes outside the table use the S410 timing.
BitTiming BitTimingFor(int code, int sampleRate);

}  // namespace zendrik
