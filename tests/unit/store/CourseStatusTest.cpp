// The status rules, checked against the table of who may move a record where, written out here
// independently of the implementation's bit masks.

#include "store/CourseStatus.h"

#include <gtest/gtest.h>
#include <set>
#include <utility>

using namespace vx;

namespace {

std::set<std::pair<int, int>> AllowedPairs()
{
    std::set<std::pair<int, int>> ok;
    auto add = [&](std::initializer_list<int> from, int to) {
        for (int f : from)
            ok.insert({f, to});
    };
    const std::initializer_list<int> inCourseList = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
    add({0}, 2);          // a file is added
    add({2}, 3);          // probed
    add(inCourseList, 3); // converting again a record that must be probed first
    add({2}, 1);          // probe failed
    add(inCourseList, 5); // accepted by the convert manager (also when converting again)
    add({5}, 6);          // first progress
    add({3, 5, 6}, 8);    // converted (documents straight from 3)
    add({3, 5, 6}, 4);    // conversion failed
    add(inCourseList, 7); // conversion stopped by the user
    add({8}, 9);          // the digest worker's own copy
    add({8}, 10);         // digest known
    add({8, 9}, 11);      // digest failed
    add({11}, 8);         // uploading again a failed record without a digest digests it first
    add({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 14, 15}, 12); // any but uploading
    add({12}, 13);                                            // first upload progress
    add({12, 13}, 15);                                        // uploaded
    add({12, 13}, 10);                                        // the server asked for a new digest (-105)
    add({12, 13}, 11);                                        // upload failed
    add({12, 13}, 14);                                        // paused
    return ok;
}

} // namespace

TEST(CourseStatus, EveryTransitionOfTheTableAndNothingElse)
{
    const auto allowed = AllowedPairs();
    for (int from = -1; from <= 16; ++from) {
        int refused = 0;
        for (int to = -1; to <= 16; ++to) {
            const bool valid = to >= 1 && to <= 15 && from >= 0 && from <= 15;
            const bool expect = valid && (allowed.count({from, to}) != 0 || (from == to && from != 0));
            EXPECT_EQ(CanChangeStatus(from, to), expect) << from << " -> " << to;
            refused += !expect;
        }
        EXPECT_GT(refused, 0) << "status " << from << " can go anywhere";
    }
    // The ones a stray late report would most likely attempt.
    EXPECT_FALSE(CanChangeStatus(CS_UPLOADING, CS_UPLOAD_QUEUED));
    EXPECT_FALSE(CanChangeStatus(CS_UPLOADED, CS_UPLOADING));
    EXPECT_FALSE(CanChangeStatus(CS_CONVERT_STOPPED, CS_CONVERTING));
    EXPECT_FALSE(CanChangeStatus(CS_CONVERT_STOPPED, CS_CONVERTED));
    EXPECT_FALSE(CanChangeStatus(CS_UPLOAD_PAUSED, CS_UPLOADED));
    EXPECT_FALSE(CanChangeStatus(CS_WAIT_MEDIAINFO, CS_CONVERTED));
}

TEST(CourseStatus, FoldBackTextsAndWork)
{
    for (int s = -1; s <= 15; ++s)
        EXPECT_EQ(FoldBackStatus(s), s < 8 ? 2 : s < 15 ? 8 : 15) << s;

    const int texts[] = {0,    2013, 2026, 2011, 2015, 2012, 2016, 2017,
                         2018, 2014, 2019, 2024, 2020, 2021, 2022, 2023};
    for (int s = 0; s <= 15; ++s)
        EXPECT_EQ(StatusTextNo(s), texts[s]) << s;
    EXPECT_EQ(StatusTextNo(16), 0);
    EXPECT_STREQ(StatusName(CS_WAIT_UPLOAD), "CS_WAIT_UPLOAD");
    EXPECT_STREQ(StatusName(99), "");

    // A failed probe is not work: one bad file must not keep the machine awake for ever.
    const std::set<int> working = {2, 3, 5, 6, 7, 8, 10, 12, 13, 14};
    for (int s = -1; s <= 16; ++s)
        EXPECT_EQ(IsWorkingStatus(s), working.count(s) != 0) << s;
}

TEST(CourseStatus, FailureTextsOfConversionAndUpload)
{
    const int convert[] = {2250, 2251, 2252, 2253, 2254, 2255, 2256, 2257,
                           2258, 2259, 2260, 2273, 2261, 2262, 2278, 2293};
    for (int c = -1; c >= -16; --c)
        EXPECT_EQ(ConvertFailTextNo(c), convert[-c - 1]) << c;
    // A result of 0 is a failure without a cause of its own: the generic text, never none.
    EXPECT_EQ(ConvertFailTextNo(0), kConvertFailedText);
    EXPECT_EQ(ConvertFailTextNo(-17), kConvertFailedText);
    EXPECT_EQ(ConvertFailTextNo(1), 0);
    EXPECT_EQ(ConvertFailTextNo(2), 0);
    const std::pair<int, int> upload[] = {{-101, 2265}, {-102, 2266}, {-103, 2267}, {-104, 2269}, {-105, 0},
                                          {-106, 2270}, {-107, 2271}, {-108, 2268}, {-109, 2274}, {-100, 0},
                                          {-110, 2294}, {-111, 0},    {1, 0},       {2, 0}};
    for (auto [code, text] : upload)
        EXPECT_EQ(UploadFailTextNo(code), text) << code;

    // A source that cannot be read names the file's own trouble.
    EXPECT_EQ(SourceProblemTextNo(FileProblem::None), 0);
    EXPECT_EQ(SourceProblemTextNo(FileProblem::Missing), 2255);
    EXPECT_EQ(SourceProblemTextNo(FileProblem::NoPermission), 2290);
    EXPECT_EQ(SourceProblemTextNo(FileProblem::NotRegular), 2291);
    EXPECT_EQ(SourceProblemTextNo(FileProblem::LinkLoop), 2292);
    EXPECT_EQ(SourceProblemTextNo(FileProblem::Other), 2277);
}
