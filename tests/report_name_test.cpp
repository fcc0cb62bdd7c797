// The names reports are proposed and saved under.
#include <gtest/gtest.h>

#include "decoders/report_name.h"

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
}
