// The family table against what reads it: detection, the model list and the receivers, which
// know of families only what they are handed.
#include "decoders/families.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "reception/modulator.h"
#include "reception/second_receiver.h"
#include "support/s410_stream_builder.h"

using namespace zendrik;

namespace {

using testing_streams::ToReceived;
using zendrik::Family;
using zendrik::HeadMarker;
using zendrik::StreamFormat;

// A stream head that carries a marker and nothing else that could name a family.
std::vector<std::uint8_t> HeadWith(const HeadMarker& marker) {
    std::vector<std::uint8_t> head{0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0x55};
    head.resize(20, 0);
    for (std::size_t i = 0; i < marker.count; ++i)
        head[marker.bytes[i].position] = marker.bytes[i].value;
    return head;
}

StreamFormat Format(int family, HeadMarker marker) {
    StreamFormat format;
    format.family = family;
    format.marker = marker;
    return format;
}

}  // namespace

TEST(Families, EachFamilyIsRecognisedByItsOwnHeadAndReadAtItsOwnTiming) {
    std::set<int> codes;
    for (const Family& family : zendrik::Families()) {
        EXPECT_TRUE(codes.insert(family.code).second) << family.code;
        EXPECT_EQ(family.stream.family, family.code);
        EXPECT_EQ(zendrik::FindFamily(family.code), &family);
        EXPECT_EQ(zendrik::FamilyOfStream(ToReceived(HeadWith(family.stream.marker))), &family)
            << family.displayName;
        // The fallback timing of a device at half the rate is half the period, give or take
        // the rounding to whole samples.
        const BitTiming full = family.stream.at44100;
        const BitTiming half = family.stream.at22050;
        EXPECT_LE(std::abs(2 * half.period - full.period), 2) << family.displayName;
        EXPECT_GT(half.window, 0);
        // Messages drop the article to name the family after "is".
        const std::string phrase = family.phrase;
        EXPECT_TRUE(phrase.starts_with("a ") || phrase.starts_with("an ")) << phrase;
    }
    EXPECT_EQ(zendrik::FindFamily(0), nullptr);
    EXPECT_EQ(&zendrik::FamilyOrFirst(0), &zendrik::Families().front());
    EXPECT_EQ(zendrik::FamilyStreamFormats().size(), zendrik::Families().size());
}

TEST(Families, TheModelListOffersEveryNameOnce) {
    std::set<std::string> listed;
    int lastPosition = 0;
    for (const Family* family : zendrik::ListedFamilies()) {
        EXPECT_TRUE(listed.insert(family->displayName).second) << family->displayName;
        EXPECT_GT(family->listPosition, lastPosition);
        lastPosition = family->listPosition;
    }
    // A family left out of the list shares its name with one in it, so any setting can be shown.
    for (const Family& family : zendrik::Families()) {
        EXPECT_EQ(listed.count(family.displayName), 1u) << family.code;
    }
}

TEST(Families, HeadMatchingKnowsOnlyTheFormatsItIsGiven) {
    const HeadMarker shortMarker{{{{6, 10}}}, 1};
    const HeadMarker longMarker{{{{6, 10}, {11, 0x55}, {12, 1}}}, 3};
    const ReceivedBytes both = ToReceived(HeadWith(longMarker));
    // The longer marker wins whatever the order of the formats.
    for (const std::vector<StreamFormat>& formats :
         {std::vector{Format(1, shortMarker), Format(2, longMarker)},
          std::vector{Format(2, longMarker), Format(1, shortMarker)}}) {
        const StreamFormat* found = zendrik::MatchStreamHead(both, formats);
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(found->family, 2);
        EXPECT_EQ(zendrik::MatchStreamHead(ToReceived(HeadWith(shortMarker)), formats)->family, 1);
    }
    const std::vector<StreamFormat> none{Format(1, HeadMarker{})};
    EXPECT_EQ(zendrik::MatchStreamHead(both, none), nullptr);
    EXPECT_EQ(zendrik::MatchStreamHead(both, {}), nullptr);
}

TEST(Families, TheSecondReceiverTakesOnlyAFamilyItIsGiven) {
    const Family& s410 = *zendrik::FindFamily(kModelS410);
    const Family& coach = *zendrik::FindFamily(kModelCoach);
    testing_streams::S410Values values;
    const std::vector<std::int16_t> sound = ModulateBytes(
        testing_streams::BuildS410Stream(values).bytes, ModulatorSettingsFor(s410.stream.at44100));
    zendrik::AudioClip clip;
    clip.sampleRate = 44100;
    for (std::int16_t s : sound) clip.samples.push_back(static_cast<float>(s) / 32768.0f);

    const zendrik::SecondReception known =
        zendrik::ReceiveClip(clip, zendrik::FamilyStreamFormats());
    EXPECT_TRUE(known.accepted);
    EXPECT_EQ(known.report.bitsPerSecond, 490);
    // Told of the Coach alone, it reads at the Coach's timing only and finds no transfer.
    const zendrik::SecondReception coachOnly = zendrik::ReceiveClip(clip, {&coach.stream, 1});
    EXPECT_FALSE(coachOnly.accepted);
    EXPECT_EQ(zendrik::ReceiveClip(clip, {}).accepted, false);
}
