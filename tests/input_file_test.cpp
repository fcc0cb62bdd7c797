// Opening what the user names: the kind of file, the reasons a file cannot be read, the bound on
// dumps; and the CSV text under each separator.
#include "reception/input_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "decoders/csv_text.h"
#include "document/document.h"
#include "support/open_document.h"
#include "support/s410_stream_builder.h"
#include "support/wave_file_maker.h"

using namespace zendrik;

using zendrik::InputKind;

namespace {

std::string Written(const std::string& name, const std::string& content) {
    const std::string path = testing_streams::TempPath(name);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
    return path;
}

}  // namespace

TEST(InputFile, TheKindFollowsTheContentThenTheExtension) {
    struct Case {
        const char* path;
        std::string firstBytes;
        InputKind kind;
    };
    const Case cases[] = {
        {"a.wav", "RIFF....WAVE", InputKind::Recording},
        {"a.sld", "RIFF....WAVE", InputKind::Recording},  // a recording saved under a dump's name
        {"a.SLD", "AA\r\n", InputKind::Dump},
        {"a.Wav", "", InputKind::Recording},
        {"dir.wav/a", "AA\r\n", InputKind::Unknown},
        {"a.flac", "fLaC", InputKind::Recording},
        {"a", "OggS", InputKind::Recording},
        {"a", "ID3\x04", InputKind::Recording},
        {"a", "\xFF\xFB\x90", InputKind::Recording},
        {"a", std::string("\0\0\0\x1c" "ftypM4A ", 12), InputKind::Recording},
        {"a.sld", "\xFF\xF1\x4C", InputKind::Recording},  // ADTS AAC
        {"a", "#!AMR\n", InputKind::Recording},
        {"a", "\x1A\x45\xDF\xA3", InputKind::Recording},  // WebM
        {"a.M4A", "", InputKind::Recording},
        {"a.webm", "AA\r\n", InputKind::Recording},
        {"a.Caf", "AA\r\n", InputKind::Recording},
        {"a.sld", "ftyp", InputKind::Dump},  // "ftyp" counts at byte 4 only
        {"a.txt", "AA\r\n", InputKind::Unknown},
        {"wav", "", InputKind::Unknown},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(zendrik::InputKindOf(c.path, c.firstBytes), c.kind) << c.path << " " << c.firstBytes;
    }
}

TEST(InputFile, SaysWhyAFileCannotBeReadAndNeverReadsWithoutEnd) {
    const std::string folder = testing_streams::TempPath("a-folder.sld");
    std::filesystem::create_directories(folder);
    const std::string fifo = testing_streams::TempPath("a-pipe.sld");
    std::filesystem::remove(fifo);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string zeroLink = testing_streams::TempPath("zero.sld");
    std::filesystem::remove(zeroLink);
    std::filesystem::create_symlink("/dev/zero", zeroLink);

    struct Case {
        std::string path;
        const char* reason;
    };
    for (const Case& c : {Case{testing_streams::TempPath("missing.sld"), "not found"},
                          Case{folder, "it is a folder, not a file"},
                          Case{fifo, "not a regular file (a device, pipe or socket)"},
                          Case{zeroLink, "not a regular file (a device, pipe or socket)"}}) {
        std::ifstream file;
        EXPECT_EQ(zendrik::OpenInputFile(c.path, file), c.reason) << c.path;
        Document data;
        EXPECT_EQ(testing_streams::OpenInto(data, c.path), 0);
        EXPECT_EQ(data.ReadError(), c.reason);
        EXPECT_EQ(testing_streams::OpenInto(data, c.path), 0);
        EXPECT_EQ(data.ReadError(), c.reason);
    }
}

TEST(InputFile, ADumpLargerThanAnyTransferOrNamingNoModelIsRefused) {
    Document data;
    const std::string huge = Written("huge.sld", std::string(zendrik::kMaxDumpFileBytes + 1, '\n'));
    EXPECT_EQ(testing_streams::OpenInto(data, huge), 0);
    EXPECT_EQ(data.ReadError(), "larger than any dump (more than 16 MB)");

    EXPECT_EQ(testing_streams::OpenInto(data, Written("empty.sld", "")), 0);
    EXPECT_EQ(data.ReadError(), "the dump holds no bytes");
    EXPECT_EQ(testing_streams::OpenInto(data, Written("nohead.sld", "12\r\n34\r\n")), 0);
    EXPECT_EQ(data.ReadError(), "the stream head names no known watch model");
}

TEST(InputFile, ARejectedRecordingSaysWhatItIs) {
    using testing_wave::WaveFileMaker;
    testing_wave::FormatFields floating;
    floating.formatTag = 3;
    floating.bitsPerSample = 32;
    testing_wave::FormatFields wide;
    wide.bitsPerSample = 24;
    // A format tag no reader knows.
    testing_wave::FormatFields unknown = floating;
    unknown.formatTag = 0x1234;
    struct Case {
        std::string file;
        const char* reason;
    };
    for (const Case& c :
         {Case{"RIFF", "not a RIFF WAVE file (too short)"},
          Case{"AA\r\nAA\r\nAA\r\n", "not a RIFF WAVE file"},
          Case{WaveFileMaker().Format(unknown).Data({0, 0, 0, 0}).Bytes(),
               "not a PCM WAV: 32-bit, format tag 4660 (8- or 16-bit integer PCM is read)"},
          Case{WaveFileMaker().Format({}).Bytes(), "a WAV file without sound data"}}) {
        Document data;
        EXPECT_EQ(testing_streams::OpenInto(data, Written("rejected.wav", c.file)), 0);
        EXPECT_EQ(data.ReadError(), c.reason);
    }
    // Float and 24-bit files the exact reader refuses are read through libsndfile: a sample of
    // silence is read, and nothing in it is valid.
    for (const std::string& file : {WaveFileMaker().Format(floating).Data({0, 0, 0, 0}).Bytes(),
                                    WaveFileMaker().Format(wide).Data({0, 0, 0}).Bytes()}) {
        Document data;
        EXPECT_EQ(testing_streams::OpenInto(data, Written("read.wav", file)), 1);
        EXPECT_EQ(data.ReadError(), "");
        EXPECT_EQ(data.Valid(), 0);
    }
}

TEST(CsvText, FieldsHoldingTheSeparatorOrAQuoteAreQuoted) {
    struct Case {
        const char* text;
        char separator;
        const char* csv;
    };
    const Case cases[] = {
        {"a\tb\r\n", ';', "a;b\r\n"},
        {"File created with Z, version 1, x@y\r\n", ',', "\"File created with Z, version 1, x@y\"\r\n"},
        {"File created with Z, version 1, x@y\r\n", ';', "File created with Z, version 1, x@y\r\n"},
        {"[Note]\tx, y\r\n12,5\t3\r\n", ',', "[Note],\"x, y\"\r\n\"12,5\",3\r\n"},
        {"say \"hi\"\t\t1;2\r\n", ';', "\"say \"\"hi\"\"\";;\"1;2\"\r\n"},
        {"a\"b\tc\r\n", '\t', "\"a\"\"b\"\tc\r\n"},
        {"\t\r\n\r\n", ',', ",\r\n\r\n"},
        {"", ',', ""},
    };
    for (const Case& c : cases) EXPECT_EQ(zendrik::CsvForSeparator(c.text, c.separator), c.csv) << c.text;
}
