// The report texts come from the decoded Transfer alone: what the document shows is what
// RenderReport makes of the decoder's Transfer, and a new value format renders the Transfer again
// to what decoding afresh under that format gives.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "decoders/transfer_decoders.h"
#include "formats/hrm_report.h"
#include "document/document.h"
#include "support/open_document.h"
#include "support/coach_stream_builder.h"
#include "support/golden.h"
#include "support/rs200_stream_builder.h"
#include "support/s410_stream_builder.h"

using namespace zendrik;

namespace {

using namespace testing_streams;

constexpr DateValue kToday{2024, 6, 15};

struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    int model;
    bool valid;
};

std::vector<Case> Transfers() {
    S410Values run;
    run.hr = {100, 110, 125, 0, 131};
    run.laps = {{{0, 1, 5, 3}, 120, 110, 130, 0}, {{0, 2, 30, 0}, 125, 118, 140, 0}};
    run.earlier.assign(5, Summary{});
    S410Values ride = run;
    ride.s510 = true;
    ride.flags = 0x35;  // speed, cadence, cycling
    ride.speed = {10, 12, 14, 16, 18};
    ride.cadence = {80, 82, 84, 86, 88};
    for (int i = 0; i < 70; ++i) ride.hr.push_back(90 + i);  // a series over two blocks
    ride.speed.resize(ride.hr.size(), 20);
    ride.cadence.resize(ride.hr.size(), 90);
    S410Values odd = run;
    odd.current.length = {0, 105, 80, 12};  // a BCD byte past 99, tenths past 9
    odd.laps = {{{0, 63, 59, 15}, 120, 110, 130, 0}};
    Stream broken = BuildS410Stream(run);
    BreakChecksum(broken, 1);

    CoachValues coach;
    coach.hr = {110, 115, 118, 121, 125};
    coach.laps = {{{0, 3, 0, 5}, 128, 117, 131, 0}};
    Stream brokenCoach = BuildCoachStream(coach);
    BreakCoachChecksum(brokenCoach, 2);

    RunValues rs200;
    rs200.laps = {{{0, 4, 31, 2}, false, 150, 145, 160, 2710, 2800, 100},
                  {{0, 9, 2, 0}, true, 155, 150, 170, 2650, 2700, 180}};
    RunValues noFootPod = rs200;
    noFootPod.maxPace = 0;
    std::vector<std::uint8_t> damagedHead = BuildRs200Stream(rs200);
    SetRsStoredCrc(damagedHead, 0x1234);
    RideValues cs200;
    cs200.laps = {{{0, 20, 0, 1}, true, 140, 135, 255, 85, 80, 85}};

    return {
        {"S410", BuildS410Stream(run).bytes, 1, true},
        {"S510 ride", BuildS410Stream(ride).bytes, 3, true},
        {"S410 with times no clock shows", BuildS410Stream(odd).bytes, 1, true},
        {"S410 with a broken block", broken.bytes, 1, false},
        {"no stream head", std::vector<std::uint8_t>(40, 0x12), 1, false},
        {"Coach", BuildCoachStream(coach).bytes, 2, true},
        {"Coach with a broken block", brokenCoach.bytes, 2, false},
        {"RS200 run", BuildRs200Stream(rs200), 4, true},
        {"RS200 run without a foot pod", BuildRs200Stream(noFootPod), 4, true},
        {"RS200 run with a damaged head", damagedHead, 4, true},
        {"CS200 ride", BuildCs200Stream(cs200), 4, true},
        {"an S410 stream read as an RS200", BuildS410Stream(run).bytes, 4, false},
        {"a model code no decoder has", BuildS410Stream(run).bytes, 9, false},
    };
}

const ValueFormat kFormats[] = {
    {".", ":", ".", false},
    {",", "-", "/", true},
    {"", "", "", false},
};

std::string Texts(const zendrik::ReportTexts& t) {
    return t.hrm + "|" + t.hrmCompat + "|" + t.csv;
}

std::string Texts(const Document& data) {
    return data.Hrm() + "|" + data.HrmCompat() + "|" + data.Csv();
}

// A document that decoded the case's bytes under the format.
void DecodeUnder(Document& data, const Case& c, const ValueFormat& format) {
    data = Document(testing_streams::OnDay(kToday, c.model, format));
    data.DecodeBytes(ToReceived(c.bytes));
}

std::string DecodedUnder(const Case& c, const ValueFormat& format) {
    Document data;
    DecodeUnder(data, c, format);
    return Texts(data);
}

}  // namespace

TEST(RenderReport, TheDocumentShowsTheRenderedTransferUnderEveryValueFormat) {
    for (const Case& c : Transfers()) {
        for (const ValueFormat& format : kFormats) {
            for (const ValueFormat& next : kFormats) {
                Document data;
                DecodeUnder(data, c, format);
                const zendrik::Transfer transfer = data.DecodedTransfer();
                EXPECT_EQ(Texts(data), Texts(zendrik::RenderReport(transfer, format))) << c.name;
                EXPECT_EQ(transfer.valid, c.valid) << c.name;
                EXPECT_EQ(data.Valid() != 0, transfer.valid) << c.name;

                // Another value format renders the same transfer.
                data.SetValueFormat(next);
                EXPECT_EQ(Texts(data), DecodedUnder(c, next)) << c.name;
                EXPECT_EQ(Texts(data), Texts(zendrik::RenderReport(transfer, next))) << c.name;
            }
        }
    }
}

TEST(RenderReport, TheFreeDecodersGiveTheDocumentsTransfer) {
    const zendrik::DecodeContext context{kToday};
    for (const Case& c : Transfers()) {
        const ReceivedBytes bytes = ToReceived(c.bytes);
        zendrik::Transfer transfer;
        if (c.model == 1 || c.model == 3) transfer = zendrik::ReadS410Transfer(bytes, context);
        if (c.model == 2) transfer = zendrik::ReadCoachTransfer(bytes, context);
        if (c.model == 4) transfer = zendrik::ReadRs200Transfer(bytes, context);
        if (!transfer.layout) continue;
        EXPECT_EQ(Texts(zendrik::RenderReport(transfer, kFormats[1])), DecodedUnder(c, kFormats[1]))
            << c.name;
        // A transfer that failed its checks holds no exercise.
        EXPECT_TRUE(transfer.valid || !transfer.exercise.has_value()) << c.name;
    }
}

TEST(RenderReport, TimesShowAsTheWatchSentThem) {
    // The Exercise holds the duration the fields add up to, the texts the fields themselves.
    const Case odd = Transfers()[2];
    ASSERT_EQ(std::string(odd.name), "S410 with times no clock shows");
    const zendrik::Transfer transfer = zendrik::ReadS410Transfer(ToReceived(odd.bytes), {kToday});
    ASSERT_TRUE(transfer.exercise.has_value());
    EXPECT_EQ(transfer.exercise->duration, (105 * 60 + 80) * 10 + 12);
    EXPECT_EQ(transfer.exercise->laps.at(0).split, (63 * 60 + 59) * 10 + 15);
    const zendrik::ReportTexts texts = zendrik::RenderReport(transfer, kFormats[1]);
    EXPECT_EQ(golden::LineStartingWith(texts.hrm, "Length="), "Length=00:105:80.12\r\n");
    EXPECT_NE(texts.hrm.find("\r\n00:63:59.15\t120\t"), std::string::npos);
    EXPECT_EQ(golden::LineStartingWith(texts.csv, "Length"), "Length\t00-105-80\r\n");
}
