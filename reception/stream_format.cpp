#include "reception/stream_format.h"

#include "reception/block_scan.h"

namespace zendrik {

const StreamFormat* MatchStreamHead(const ReceivedBytes& bytes, StreamFormats formats) {
    if (bytes.GetSize() <= 10 || bytes[5] != 0x55) return nullptr;
    const StreamFormat* best = nullptr;
    for (const StreamFormat& format : formats) {
        const HeadMarker& marker = format.marker;
        if (marker.count == 0 || marker.count > marker.bytes.size()) continue;
        bool matches = true;
        for (std::size_t i = 0; i < marker.count && matches; ++i) {
            // At() reads bytes not yet received as 0, which no marker byte should stand for.
            matches = bytes.At(marker.bytes[i].position) == marker.bytes[i].value;
        }
        // A Coach head carries the S410's model byte too; its longer marker is the better match.
        if (matches && (!best || marker.count > best->marker.count)) best = &format;
    }
    return best;
}

BlockScan StreamFormat::Scan(const ReceivedBytes& bytes) const {
    return ScanBlocks(bytes, layout);
}

int BitsPerSecond(BitTiming timing, int sampleRate) {
    if (timing.period <= 0) return 0;
    return (sampleRate + timing.period / 2) / timing.period;
}

}  // namespace zendrik
