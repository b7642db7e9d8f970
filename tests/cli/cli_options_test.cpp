// cli_options_test.cpp: kvxctl's argument parsing and value checks.
#include <gtest/gtest.h>

#include <vector>

#include "cli_options.h"

namespace {

const CliOption kOptions[] = {{"name", true}, {"all", false}, {"wait", true}};

int parse(std::vector<const char*> words, ParsedArgs* out) {
    return parse_args(static_cast<int>(words.size()), const_cast<char* const*>(words.data()),
                      kOptions, 3, out);
}

TEST(ParseArgs, ValuesFlagsAndAddressesInAnyOrder) {
    ParsedArgs args;
    ASSERT_EQ(parse({"10.0.0.1", "--name", "admin", "--all", "10.0.0.2", "--wait=500"}, &args), 0);
    EXPECT_STREQ(args.values[0], "admin");
    EXPECT_STREQ(args.values[1], "");
    EXPECT_STREQ(args.values[2], "500");
    ASSERT_EQ(args.target_count, 2);
    EXPECT_STREQ(args.targets[0], "10.0.0.1");
    EXPECT_STREQ(args.targets[1], "10.0.0.2");
    EXPECT_FALSE(args.help);

    ASSERT_EQ(parse({"--name", "--all"}, &args), 0);  // a value may look like an option
    EXPECT_STREQ(args.values[0], "--all");
    EXPECT_EQ(args.values[1], nullptr);
    ASSERT_EQ(parse({"--name="}, &args), 0);
    EXPECT_STREQ(args.values[0], "");
    ASSERT_EQ(parse({"-h", "--bogus"}, &args), -1);  // asking for help hides no mistake
    ASSERT_EQ(parse({"--all", "--help"}, &args), 0);
    EXPECT_TRUE(args.help);
}

TEST(ParseArgs, MistakesAreRefused) {
    ParsedArgs args;
    EXPECT_EQ(parse({"--nam", "x"}, &args), -1);
    EXPECT_EQ(parse({"--name"}, &args), -1);
    EXPECT_EQ(parse({"--name", "a", "--name", "b"}, &args), -1);
    EXPECT_EQ(parse({"--all=yes"}, &args), -1);
    EXPECT_EQ(parse({"-x"}, &args), -1);
    EXPECT_EQ(parse({"--"}, &args), -1);
    std::vector<const char*> many(kTargetMax + 1, "10.0.0.1");
    EXPECT_EQ(parse(many, &args), -1);
    many.pop_back();
    EXPECT_EQ(parse(many, &args), 0);
}

TEST(TakeWords, TheCommandsOwnWordsComeFirstAndTheRestStayTargets) {
    ParsedArgs args;
    const char* words[2] = {nullptr, nullptr};
    ASSERT_EQ(parse({"4", "--all", "pic.bmp", "10.0.0.1", "10.0.0.2"}, &args), 0);
    ASSERT_EQ(take_words(&args, 2, words, "the slot and the file"), 0);
    EXPECT_STREQ(words[0], "4");
    EXPECT_STREQ(words[1], "pic.bmp");
    ASSERT_EQ(args.target_count, 2);
    EXPECT_STREQ(args.targets[0], "10.0.0.1");
    EXPECT_STREQ(args.targets[1], "10.0.0.2");

    ASSERT_EQ(parse({"pic.bmp"}, &args), 0);
    EXPECT_EQ(take_words(&args, 2, words, "the slot and the file"), -1);
    EXPECT_EQ(args.target_count, 1);  // left as it was
    ASSERT_EQ(take_words(&args, 1, words, "the file"), 0);
    EXPECT_EQ(args.target_count, 0);
}

TEST(ParseWait, MillisecondsUpToTenMinutes) {
    int ms = -1;
    EXPECT_TRUE(parse_wait("0", &ms) == 0 && ms == 0);
    EXPECT_TRUE(parse_wait("600000", &ms) == 0 && ms == 600000);
    for (const char* bad : {"", "-1", "600001", "2s", "abc", "99999999999999999999"}) {
        EXPECT_EQ(parse_wait(bad, &ms), -1) << bad;
    }
    EXPECT_EQ(ms, 600000);
}

TEST(PickEntry, WholeEntriesWithoutRegardToCase) {
    const char* const entries[] = {"Melody", "Tone", "MP3 Hold"};
    EXPECT_EQ(pick_entry("melody", entries, 3), 0);
    EXPECT_EQ(pick_entry("mp3 HOLD", entries, 3), 2);
    EXPECT_EQ(pick_entry("Ton", entries, 3), -1);
    EXPECT_EQ(pick_entry("Tones", entries, 3), -1);
    EXPECT_EQ(pick_entry("", entries, 3), -1);
}

TEST(CheckTargets, EitherAllOrValidAddresses) {
    ParsedArgs args;
    ASSERT_EQ(parse({}, &args), 0);
    EXPECT_EQ(check_targets(&args, false), -1);
    EXPECT_EQ(check_targets(&args, true), 0);
    ASSERT_EQ(parse({"10.0.0.1", "10.0.0.2"}, &args), 0);
    EXPECT_EQ(check_targets(&args, false), 0);
    EXPECT_EQ(check_targets(&args, true), -1);
    ASSERT_EQ(parse({"10.0.0.1", "10.0.0.300"}, &args), 0);
    EXPECT_EQ(check_targets(&args, false), -1);
}

}  // namespace
