#include "reception/dump_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <vector>

#include "document/document.h"
#include "support/open_document.h"
#include "support/s410_stream_builder.h"

using namespace zendrik;

namespace {

std::vector<int> Parse(const std::string& text) {
    std::istringstream in(text);
    ReceivedBytes bytes;
    ParseDump(in, bytes);
    return bytes.Elements();
}

std::string WriteText(const std::string& text, const std::string& name) {
    const std::string path = testing_streams::TempPath(name);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
    return path;
}

using V = std::vector<int>;

}  // namespace

TEST(DumpFile, ReadsTwoHexDigitsPerLine) {
    EXPECT_EQ(Parse("aa\r\nAA\r\n0a\r\n"), (V{0xAA, 0xAA, 0x0A}));
    EXPECT_EQ(Parse("aa\nAA\n0a\n"), (V{0xAA, 0xAA, 0x0A}));
    EXPECT_EQ(Parse("01\r\n02\r\n03"), (V{0x01, 0x02}));  // a last line without LF is lost
    EXPECT_EQ(Parse("01\r\n02\r\n03\r"), (V{0x01, 0x02}));
    // Lines of any length but two are skipped, blank lines too.
    EXPECT_EQ(Parse("\r\n1\r\n123\r\n\n45\r\n"), V{0x45});
    EXPECT_EQ(Parse(""), V{});
}

TEST(DumpFile, ReadsOtherCharactersByTheirDistanceFromA) {
    // Anything but a digit counts from 'A' - 10: "G0" is 256 and skipped, "0G" is 0x10.
    EXPECT_EQ(Parse("G0\r\n0G\r\n0g\r\n 1\r\nFF\r\n"), (V{0x10, 0x10, 0xFF}));
    // Bytes above 0x7F are negative characters: 16 * 9 + (-1 - 55) = 88.
    EXPECT_EQ(Parse("9\xFF\r\n"), V{88});
    // A CR stands for the character after it, which is taken as it is.
    EXPECT_EQ(Parse("A\rB\n"), V{0xAB});
    EXPECT_EQ(Parse("4\r\r\n"), V{16 * 4 + '\r' - 55});
    EXPECT_EQ(Parse("4\r\r5\n"), V{});
}

TEST(DumpFile, AByteOrderMarkAtTheStartIsNoPartOfTheFirstLine) {
    const std::string bom = "\xEF\xBB\xBF";
    EXPECT_EQ(Parse(bom + "AA\r\n55\r\n"), (V{0xAA, 0x55}));
    EXPECT_EQ(Parse(bom), V{});
    // Anywhere else, or cut short, its bytes belong to the line they stand in.
    EXPECT_EQ(Parse("AA\r\n" + bom + "55\r\n"), V{0xAA});
    EXPECT_EQ(Parse(bom + bom + "55\r\n"), V{});
    EXPECT_EQ(Parse("\xEF\xBB" "55\r\n12\r\n"), V{0x12});
    // A dump saved so by an editor decodes as the one without it.
    const std::vector<std::uint8_t> stream =
        testing_streams::BuildS410Stream(testing_streams::S410Values{}).bytes;
    Document data;
    ASSERT_EQ(testing_streams::OpenInto(data, WriteText(bom + FormatDump(testing_streams::ToReceived(stream)),
                                          "bom.sld")),
              1);
    EXPECT_EQ(data.Bytes().Elements(), V(stream.begin(), stream.end()));
    EXPECT_EQ(data.Valid(), 1);
}

TEST(DumpFile, AVeryLongLineDoesNotDisturbTheNextOnes) {
    std::string text(3'000'000, 'A');
    text += "\r\n12\r\n";
    text += std::string(100'000, '7');  // and no line end at all
    EXPECT_EQ(Parse(text), V{0x12});
}

TEST(DumpFile, WritesFourCharactersPerByteAndReadsThemBack) {
    Document data;
    data.DecodeBytes(testing_streams::ToReceived({0x00, 0x0F, 0xFF}));
    const std::string text = data.DumpText();
    EXPECT_EQ(text, "00\r\n0F\r\nFF\r\n");
    EXPECT_EQ(FormatDump(ReceivedBytes()), "");

    const std::string path = WriteText(text, "three.sld");
    Document reader;
    testing_streams::OpenInto(reader, path);
    ASSERT_EQ(reader.ReadError(), "the stream head names no known watch model");
    EXPECT_EQ(reader.Bytes().Elements(), (V{0x00, 0x0F, 0xFF}));

    std::vector<std::uint8_t> all(256);
    for (int i = 0; i < 256; ++i) all[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    testing_streams::OpenInto(reader, testing_streams::WriteDump(all, "all.sld"));
    EXPECT_EQ(reader.Bytes().Elements(), V(all.begin(), all.end()));
}

TEST(DumpFile, ReadingStartsANewReception) {
    const std::vector<std::uint8_t> stream =
        testing_streams::BuildS410Stream(testing_streams::S410Values{}).bytes;
    Document data;
    ASSERT_EQ(testing_streams::OpenInto(data, testing_streams::WriteDump(stream, "valid.sld")), 1);
    ASSERT_EQ(data.Valid(), 1);

    // One that opens replaces the reception, even when no line in it is usable.
    EXPECT_EQ(data.Open({.path = WriteText("no bytes here\r\n", "text.sld")}, {}).outcome,
              OpenOutcome::NoModel);
    EXPECT_EQ(data.Bytes().GetSize(), 0);
    EXPECT_EQ(data.Valid(), 0);
    EXPECT_EQ(data.Hrm(), "");
    EXPECT_EQ(data.ReadError(), "the dump holds no bytes");
}
