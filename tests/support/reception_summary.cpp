#include "support/reception_summary.h"

#include <cstdio>

namespace zendrik::testing_streams {

namespace {

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    char two[4];
    for (std::uint8_t b : bytes) {
        std::snprintf(two, sizeof two, "%02x", b);
        text += two;
    }
    return text;
}

}  // namespace

std::string ReceptionSummary(const zendrik::SecondReception& reception) {
    std::string text = (reception.accepted ? "accepted " : "refused ") + Hex(reception.bytes) + "\n" +
                       zendrik::FormatReceptionReport(reception.report);
    for (const zendrik::ReceivedTransfer& transfer : reception.transfers) {
        text += "transfer at " + std::to_string(transfer.firstSample) + ".." + std::to_string(transfer.endSample) +
                ": " + Hex(transfer.bytes) + "\n" + zendrik::FormatReceptionReport(transfer.report);
    }
    return text;
}

}  // namespace zendrik::testing_streams
