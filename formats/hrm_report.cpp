#include "formats/hrm_report.h"

#include "formats/family_reports.h"

namespace zendrik {

namespace {

// The check messages as the lines they were written as.
std::string MessageLines(const Transfer& transfer) {
    std::string lines;
    for (const std::string& message : transfer.checkMessages) lines.append(message).append("\r\n");
    return lines;
}

void RenderChecked(const Transfer& t, const ValueFormat& format, ReportTexts& texts) {
    if (!t.valid) {
        // A transfer that failed its checks shows what they found, and nothing else.
        texts.hrm = MessageLines(t);
        if (!t.streamHead) {
            texts.hrm.insert(0, "\r\n");
        } else {
            texts.csv = texts.hrm;
        }
        return;
    }
    if (!t.exercise) return;
    if (t.layout == StreamLayout::CoachBlocks) {
        WriteCoachReport(*t.exercise, format, texts.hrm, texts.csv);
    } else {
        WriteS410Report(*t.exercise, format, texts.hrm, texts.csv);
    }
}

void RenderRs200(const Transfer& t, const ValueFormat& format, ReportTexts& texts) {
    if (!t.valid) return;
    // The blocks carry no checksum, so a report is written whatever the checks of the head said,
    // and their messages open it.
    texts.hrm = MessageLines(t);
    const RsTexts rs{texts.hrm, texts.hrmCompat, texts.csv};
    WriteRsTextHead(rs);
    if (!t.exercise) return;
    if (t.exercise->family == WatchFamily::Cs200) {
        WriteCs200Report(*t.exercise, format, rs);
    } else {
        WriteRs200Report(*t.exercise, format, rs);
    }
}

}  // namespace

ReportTexts RenderReport(const Transfer& transfer, const ValueFormat& format) {
    ReportTexts texts;
    if (!transfer.layout) {
        // No decoder ran: a message such as an unknown model code is all there is to show.
        texts.hrm = MessageLines(transfer);
        texts.csv = texts.hrm;
        return texts;
    }
    switch (*transfer.layout) {
        case StreamLayout::S410Blocks:
        case StreamLayout::CoachBlocks:
            RenderChecked(transfer, format, texts);
            break;
        case StreamLayout::RS200Blocks:
            RenderRs200(transfer, format, texts);
            break;
    }
    return texts;
}

}  // namespace zendrik
