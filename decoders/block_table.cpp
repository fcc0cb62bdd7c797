#include "decoders/block_table.h"

#include "decoders/text_append.h"
#include "reception/stream_check.h"

namespace zendrik {

bool ScanCheckedTransfer(const ReceivedBytes& bytes, StreamLayout layout, Transfer& transfer,
                         BlockScan& scan) {
    transfer.layout = layout;
    if (!HasStreamHead(bytes)) {
        transfer.checkMessages = {"invalid Data Header"};
        return false;
    }
    transfer.streamHead = true;
    scan = ScanBlocks(bytes, layout);
    if (scan.failed) {
        transfer.checkMessages = FaultLines(scan);
        return false;
    }
    return true;
}

std::vector<std::string> FaultLines(const BlockScan& scan) {
    std::vector<std::string> lines;
    for (const ScanFault& fault : scan.faults) {
        switch (fault.kind) {
            case ScanFault::TooManyBlocks:
                lines.push_back(Concat("Internal Buffer too small (", fault.number, " Blocks)!"));
                break;
            case ScanFault::Checksum:
                lines.push_back(Concat("CRC Error Block ", fault.number, ": BlockCRC: ",
                                       Hex4(fault.stored), ", expected: ", Hex4(fault.computed)));
                break;
            case ScanFault::Length:
                lines.emplace_back("Length Check failed!");
                break;
        }
    }
    return lines;
}

}  // namespace zendrik
