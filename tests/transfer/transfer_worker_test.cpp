// transfer_worker_test.cpp: the single job slot, completion callbacks, chaining and stopping.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "progress.h"
#include "progress_recorder.h"
#include "scripted_peer.h"
#include "tftp_client.h"
#include "transfer_worker.h"

namespace {

PageWindow const kPage = reinterpret_cast<PageWindow>(0x1234);

std::mutex results_lock;
std::vector<int> results;
std::atomic<int> callbacks{0};
std::string chained_file;

void record(PageWindow page, int result) {
    EXPECT_EQ(page, kPage);
    {
        std::lock_guard<std::mutex> hold(results_lock);
        results.push_back(result);
    }
    ++callbacks;
}

// Submits one more upload from inside the callback, as the Upload to All chain does.
void record_and_chain(PageWindow page, int result) {
    EXPECT_FALSE(progress_exists());  // the finished upload's window is already gone
    record(page, result);
    EXPECT_EQ(submit_upload(page, record, "127.0.0.1", chained_file.c_str(), "ring.mp3"), 0);
}

void wait_callbacks(int n) {
    for (int i = 0; i < 2000 && callbacks < n; ++i) {
        sleep_tick();
    }
}

struct Worker : testing::Test {
    std::string file = testing::TempDir() + "transfer_worker_test.mp3";
    SocketLibrary library;
    ScriptedPeer peer;

    void SetUp() override {
        std::ofstream(file, std::ios::binary) << "0123456789";
        chained_file = file;
        results.clear();
        callbacks = 0;
        progress_clear_record();
        transfer_start();
    }
    void TearDown() override {
        transfer_stop();
        remove(file.c_str());
    }
    void serve_ten_byte_upload(const std::string& remote) {
        ASSERT_EQ(peer.receive_request(), tftp_make_request(2, remote));
        peer.send(tftp_make_ack(0));
        ASSERT_EQ(peer.receive_transfer().size(), 14u);
        peer.send(tftp_make_ack(1));
    }
};

TEST_F(Worker, SecondSubmissionIsRefusedWhileTheFirstRuns) {
    ASSERT_EQ(submit_upload(kPage, record, "127.0.0.1", file.c_str(), "hold.mp3"), 0);
    EXPECT_EQ(submit_upload(kPage, record, "127.0.0.1", file.c_str(), "ring.mp3"), -1);
    EXPECT_EQ(submit_download(kPage, record, "127.0.0.1", "x", "y"), -1);
    serve_ten_byte_upload("hold.mp3");  // the first job is untouched
    wait_callbacks(1);
    EXPECT_EQ(results, std::vector<int>{1});
    EXPECT_EQ(progress_recorded(), (std::vector<std::string>{"create", "100", "destroy"}));
    EXPECT_EQ(progress_recorded_page(), kPage);
}

TEST_F(Worker, CallbackMaySubmitTheNextJob) {
    ASSERT_EQ(submit_upload(kPage, record_and_chain, "127.0.0.1", file.c_str(), "hold.mp3"), 0);
    serve_ten_byte_upload("hold.mp3");
    serve_ten_byte_upload("ring.mp3");
    wait_callbacks(2);
    EXPECT_EQ(results, (std::vector<int>{1, 1}));
    EXPECT_EQ(progress_recorded(),
              (std::vector<std::string>{"create", "100", "destroy", "create", "100", "destroy"}));
}

TEST_F(Worker, StopWaitsForTheRunningTransferAndItsCallback) {
    ASSERT_EQ(submit_upload(kPage, record, "127.0.0.1", file.c_str(), "hold.mp3"), 0);
    ASSERT_FALSE(peer.receive_request().empty());  // then silence: it ends by time-out
    transfer_stop();
    EXPECT_EQ(callbacks, 1);
    EXPECT_EQ(results, std::vector<int>{-1});
    transfer_stop();  // a second stop returns at once
    EXPECT_EQ(submit_upload(kPage, record, "127.0.0.1", file.c_str(), "hold.mp3"), -1);
}

}  // namespace
