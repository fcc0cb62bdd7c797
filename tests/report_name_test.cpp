// The names reports are proposed and saved under.
#include <gtest/gtest.h>

#include "decoders/report_name.h"

using namespace zendrik;

using zendrik::ReportFileType;

TEST(ReportName, TheExerciseDateWithTheExtensionOfTheType) {
    const struct {
        std::string date;
        ReportFileType type;
        std::string name;
    } cases[] = {
        {"20060305", ReportFileType::Hrm, "20060305.hrm"},
        {"20060305", ReportFileType::Csv, "20060305.csv"},
        {"20060305", ReportFileType::Dump, "20060305.sld"},
        // No date, or one a damaged stream made up, must still give a plain file name.
        {"", ReportFileType::Hrm, "exercise.hrm"},
        {"-1230101", ReportFileType::Csv, "exercise.csv"},
        {"../x", ReportFileType::Hrm, "exercise.hrm"},
    };
    for (const auto& c : cases) EXPECT_EQ(zendrik::ProposedReportName(c.date, c.type), c.name) << c.date;
}

TEST(ReportName, TakenNamesGetANumberBeforeTheExtension) {
    EXPECT_EQ(zendrik::NumberedReportName("20060305.hrm", 1), "20060305.hrm");
    EXPECT_EQ(zendrik::NumberedReportName("20060305.hrm", 2), "20060305-2.hrm");
    EXPECT_EQ(zendrik::NumberedReportName("20060305.hrm", 12), "20060305-12.hrm");
    EXPECT_EQ(zendrik::NumberedReportName("notes", 3), "notes-3");
    EXPECT_EQ(zendrik::NumberedReportName(".hidden", 2), ".hidden-2");
    // Read back: which choice a name in a folder is, so a report already there is found.
    for (const char* name : {"20060305.hrm", "notes", ".hidden"}) {
        for (int n : {1, 2, 12, 10000}) {
            EXPECT_EQ(zendrik::NumberOfReportName(zendrik::NumberedReportName(name, n), name), n) << name;
        }
    }
    for (const char* other : {"20060305-02.hrm", "20060305-1.hrm", "20060305-.hrm", "20060305-2x.hrm",
                              "20060305-2.csv", "2006030-2.hrm", "20060305.hrm-2"}) {
        EXPECT_EQ(zendrik::NumberOfReportName(other, "20060305.hrm"), 0) << other;
    }
}

TEST(ReportName, TheExtensionNamesTheTypeWhateverItsCase) {
    EXPECT_EQ(zendrik::ReportFileTypeOfName("out/ride.FIT"), ReportFileType::Fit);
    EXPECT_EQ(zendrik::ReportFileTypeOfName("a.b.json"), ReportFileType::Json);
    EXPECT_EQ(zendrik::ReportFileTypeOfName("x.sld"), ReportFileType::Dump);
    for (const char* other : {"ride", "ride.txt", "ride.hrm.bak", "ride.", "dir.csv/ride"}) {
        EXPECT_EQ(zendrik::ReportFileTypeOfName(other), std::nullopt) << other;
    }
}
