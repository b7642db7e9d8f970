// fleet_engine_test.cpp: kvxctl's fleet engine with a stand-in for the telephones, its
// progress line, and the SHA-256 and JSON strings of its log (a damaged log line yields no
// field rather than a wrong one).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "fleet.h"
#include "fleet_engine.h"
#include "json_text.h"
#include "progress_bar.h"
#include "sha256.h"

namespace {

// Each phone answers its script, one word per attempt ("OK", or a reason to fail), the last
// word for every attempt after it.
struct ScriptedPhones {
    std::map<std::string, std::vector<std::string>> script;
    std::map<std::string, int> attempts;
    std::mutex lock;

    PhoneOutcome attempt(const std::string& address) {
        std::lock_guard<std::mutex> hold(lock);
        const std::vector<std::string>& words = script[address];
        const std::string& word = words[std::min<size_t>(attempts[address]++, words.size() - 1)];
        return word == "OK" ? PhoneOutcome{"OK", "", 0, "", ""}
                            : PhoneOutcome{"FAIL", word, 0, "", ""};
    }
};

TEST(FleetEngine, RunsEveryPhoneRetriesTheFailuresAndLogsEachAttempt) {
    const std::vector<std::string> targets = {"10.0.0.1", "10.0.0.2", "10.0.0.3", "10.0.0.4"};
    for (const int parallel : {1, 3}) {
        ScriptedPhones phones;
        phones.script = {{"10.0.0.1", {"OK"}},
                         {"10.0.0.2", {"no answer", "OK"}},
                         {"10.0.0.3", {"ERROR 2: Access violation"}},
                         {"10.0.0.4", {"no answer", "no answer", "OK"}}};
        RunSettings run;
        run.command = "hold";
        run.parallel = parallel;
        run.retry = 1;
        run.log = testing::TempDir() + "fleet_engine_test.log";
        remove(run.log.c_str());
        testing::internal::CaptureStdout();
        const int status = fleet_run_each(
            &run, targets, [&](const std::string& a, ByteMeter*) { return phones.attempt(a); });
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(status, kExitDevice);
        // One try more for each failure, and no more than that.
        EXPECT_EQ(phones.attempts,
                  (std::map<std::string, int>{
                      {"10.0.0.1", 1}, {"10.0.0.2", 2}, {"10.0.0.3", 2}, {"10.0.0.4", 2}}));
        for (const char* line : {"10.0.0.1 --- OK\n", "10.0.0.2 --- OK\n",
                                 "10.0.0.3 --- FAIL (ERROR 2: Access violation)\n",
                                 "10.0.0.4 --- FAIL (no answer)\n"}) {
            EXPECT_NE(out.find(line), std::string::npos) << parallel << ": " << out;
        }
        std::ifstream log(run.log);
        EXPECT_EQ(std::count(std::istreambuf_iterator<char>(log), {}, '\n'), 7);
        log.close();  // so that Windows lets the file be removed

        // The log's failures are the targets of the next run, in the order they were met.
        run.only_failed = run.log;
        std::vector<std::string> again;
        ASSERT_EQ(only_failed_targets(&run, &again), 0);
        std::sort(again.begin(), again.end());
        EXPECT_EQ(again, (std::vector<std::string>{"10.0.0.3", "10.0.0.4"}));
        run.command = "ring";
        ASSERT_EQ(only_failed_targets(&run, &again), 0);
        EXPECT_TRUE(again.empty()) << "another command's failures";
        remove(run.log.c_str());
    }
}

TEST(FleetEngine, JsonDocumentHasEveryPhoneInListOrder) {
    RunSettings run;
    run.command = "misc";
    run.json = true;
    testing::internal::CaptureStdout();
    const int status = fleet_run_batch(&run, {"10.0.0.9", "10.0.0.5"}, [](const auto& addresses) {
        std::vector<PhoneOutcome> outcomes;
        for (const std::string& a : addresses) {
            outcomes.push_back(PhoneOutcome{a == "10.0.0.9" ? "OK" : "DENIED", "", 0, "", ""});
        }
        return outcomes;
    });
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(status, kExitDevice);
    const size_t first =
        out.find("{\"address\": \"10.0.0.9\", \"result\": \"OK\", \"reason\": null");
    const size_t second = out.find("{\"address\": \"10.0.0.5\", \"result\": \"DENIED\"");
    EXPECT_LT(first, second) << out;
    EXPECT_NE(second, std::string::npos) << out;
    EXPECT_EQ(out.rfind("{\"command\": \"misc\", \"seconds\": ", 0), 0u) << out;
    EXPECT_EQ(out.find(" --- "), std::string::npos) << "no result lines beside the document";
}

TEST(ProgressLine, DrawnInPlaceOnATerminalOnlyAndWipedBeforeOtherOutput) {
    for (const int terminal : {1, 0}) {
        FILE* out = tmpfile();
        ASSERT_NE(out, nullptr);
        progress_bar_setup(out, terminal);
        const RunCounts counts = {10, 5, 1, 2, 4096};
        progress_bar_draw(&counts);
        progress_bar_clear();
        progress_bar_setup(nullptr, 0);
        rewind(out);
        char text[256] = "";
        const size_t n = fread(text, 1, sizeof text - 1, out);
        fclose(out);
        const std::string line =
            "[###############---------------] 5/10 done, 1 failed, 2 running, 4 KB";
        const std::string wanted =
            terminal ? "\r" + line + "\r" + std::string(line.size(), ' ') + "\r" : "";
        EXPECT_EQ(std::string(text, n), wanted);
    }
}

// The log's digest of each file.
TEST(RunRecord, Sha256MatchesFips180) {
    const struct {
        std::string message;
        const char* digest;
    } cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sha256_hex(reinterpret_cast<const uint8_t*>(c.message.data()), c.message.size()),
                  c.digest);
    }
}

TEST(JsonText, EveryByteSurvivesTheRoundTrip) {
    std::string all;
    for (int byte = 1; byte < 256; ++byte) {
        all += static_cast<char>(byte);
    }
    std::string back;
    ASSERT_TRUE(json_string_field("{\"k\": " + json_quote(all) + "}", "k", &back));
    EXPECT_EQ(back, all);
}

TEST(JsonText, FieldsOfWellAndBadlyFormedLines) {
    const struct {
        const char* line;
        const char* value;  // nullptr: no field
    } rows[] = {
        {R"({"address": "10.0.0.1", "result": "ok"})", "ok"},
        {R"({"note": "result", "result":"FAIL"})", "FAIL"},  // the key's text as a value
        {R"({"result":   "spaced"})", "spaced"},
        {R"({"result": "a\/b\n\u0041"})", "a/b\nA"},
        {R"({"result": 3})", nullptr},
        {R"({"other": "x"})", nullptr},
        {R"({"result": "cut short)", nullptr},
        {R"({"result": "bad \q escape"})", nullptr},
        {R"({"result": "\u01ff"})", nullptr},
        {R"({"result": "\u00zz"})", nullptr},
        {R"({"result": "\u00)", nullptr},
        {R"({"result": "ends in \)", nullptr},
        {R"({"result":)", nullptr},
    };
    for (const auto& row : rows) {
        std::string value = "untouched";
        const bool found = json_string_field(row.line, "result", &value);
        EXPECT_EQ(found, row.value != nullptr) << row.line;
        if (found && row.value) {
            EXPECT_EQ(value, row.value) << row.line;
        }
    }
}

}  // namespace
