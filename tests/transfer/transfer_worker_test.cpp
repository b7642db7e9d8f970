// transfer_worker_test.cpp: the single job slot, completion callbacks, chaining and stopping.
// Nothing answers on the loopback of the test's namespace, so an upload with a file runs until
// the client gives up (9 s) and one without fails at once.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "platform.h"
#include "progress.h"
#include "progress_recorder.h"
#include "tftp_client.h"
#include "transfer_worker.h"

namespace {

PageWindow const kPage = reinterpret_cast<PageWindow>(0x1234);
constexpr char kSilent[] = "127.0.0.1";
constexpr char kMissing[] = "no-such-file.mp3";

std::atomic<int> callbacks{0};

void record(PageWindow page, int result) {
    EXPECT_EQ(page, kPage);
    EXPECT_EQ(result, -1);  // nothing answers here
    ++callbacks;
}

// Submits one more job from inside the callback, as the Upload to All chain does: a download
// from a name that resolves to nothing, which fails at once and shows no progress.
void record_and_chain(PageWindow page, int result) {
    EXPECT_FALSE(progress_exists());  // the finished upload's window is already gone
    record(page, result);
    EXPECT_EQ(submit_download(page, record, "phone.invalid", "x", "y"), 0);
}

TEST(Worker, OneJobAtATimeChainedFromItsCallbackAndStopWaitsForIt) {
    sock_init();
    transfer_start();
    ASSERT_EQ(submit_upload(kPage, record_and_chain, kSilent, kMissing, "hold.mp3"), 0);
    for (int i = 0; i < 2000 && callbacks < 2; ++i) {
        sleep_tick();
    }
    EXPECT_EQ(callbacks, 2);
    EXPECT_EQ(progress_recorded(), (std::vector<std::string>{"create", "destroy"}));

    transfer_stop();  // an idle worker stops, and starts again
    EXPECT_EQ(submit_upload(kPage, record, kSilent, kMissing, "hold.mp3"), -1);
    transfer_start();
    progress_clear_record();
    const std::string too_long(300, 'x');  // for the job's slot
    EXPECT_EQ(submit_download(kPage, record, kSilent, too_long.c_str(), "y"), -1);
    const std::string file = testing::TempDir() + "transfer_worker_test.mp3";
    std::ofstream(file, std::ios::binary) << "0123456789";
    ASSERT_EQ(submit_upload(kPage, record, kSilent, file.c_str(), "hold.mp3"), 0);
    EXPECT_EQ(submit_upload(kPage, record, kSilent, file.c_str(), "ring.mp3"), -1);
    EXPECT_EQ(submit_download(kPage, record, kSilent, "x", "y"), -1);
    // Running once the client holds its port.
    for (int i = 0; i < 2000 && udp_port_check(kTftpLocalPort) == kPortFree; ++i) {
        sleep_tick();
    }
    transfer_stop();
    EXPECT_EQ(callbacks, 3);
    EXPECT_EQ(progress_recorded(), (std::vector<std::string>{"create", "destroy"}));
    EXPECT_EQ(progress_recorded_page(), kPage);
    transfer_stop();  // a second stop returns at once
    remove(file.c_str());
    sock_fin();
}

}  // namespace
