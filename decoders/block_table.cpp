#include "decoders/block_table.h"

#include "decoders/text_append.h"

namespace zendrik {

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
