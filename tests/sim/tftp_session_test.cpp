// tftp_session_test.cpp: the phone's side of TFTP transfers, packet by packet.
#include <gtest/gtest.h>

#include <vector>

#include "tftp_session.h"

namespace {

std::vector<uint8_t> pattern(size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<uint8_t>(i * 7 + i / 256);
    }
    return bytes;
}

struct Write : testing::Test {
    TftpSession session;
    std::vector<Packet> out;

    void SetUp() override {
        restart();
    }
    // A fresh write whose ACK 0 has gone out.
    void restart() {
        session = TftpSession{};
        session.writing = true;
        session.max_size = 1 << 20;
        out.clear();
        session_start(&session, &out);
        ASSERT_EQ(out, (std::vector<Packet>{tftp_make_ack(0)}));
        out.clear();
    }
    SessionEvent data(uint16_t block, const std::vector<uint8_t>& bytes, size_t at, size_t n) {
        const Packet p = tftp_make_data(block, bytes.data() + at, n);
        return session_receive(&session, p.data(), p.size(), &out);
    }
};

TEST_F(Write, RepeatedDataIsAcknowledgedAgainAndOutOfOrderDataIgnored) {
    const std::vector<uint8_t> bytes = pattern(1100);
    data(1, bytes, 0, 512);
    out.clear();
    EXPECT_EQ(data(1, bytes, 0, 512), SessionEvent::kNone);  // our ACK 1 was lost
    EXPECT_EQ(out, (std::vector<Packet>{tftp_make_ack(1)}));
    out.clear();
    EXPECT_EQ(data(3, bytes, 0, 10), SessionEvent::kNone);  // from the future: ignored
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(data(2, bytes, 512, 512), SessionEvent::kNone);
    EXPECT_EQ(data(3, bytes, 1024, 76), SessionEvent::kCompleted);
    EXPECT_EQ(session.data, bytes);
    // While dallying, the last DATA again gets its ACK again; nothing else is answered.
    out.clear();
    EXPECT_EQ(data(3, bytes, 1024, 76), SessionEvent::kNone);
    EXPECT_EQ(out, (std::vector<Packet>{tftp_make_ack(3)}));
    out.clear();
    EXPECT_EQ(data(4, bytes, 0, 10), SessionEvent::kNone);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(session.data, bytes);
    EXPECT_EQ(session_expire(&session, 5, &out), SessionEvent::kNone);
    EXPECT_EQ(session.state, SessionState::kDone);
}

TEST_F(Write, WrongPacketsEndTheTransfer) {
    const std::vector<uint8_t> bytes = pattern(600);
    const Packet ack = tftp_make_ack(1);
    EXPECT_EQ(session_receive(&session, ack.data(), ack.size(), &out), SessionEvent::kFailed);
    EXPECT_EQ(out, (std::vector<Packet>{tftp_make_error(kTftpErrIllegal, "Expected DATA")}));
    EXPECT_EQ(session.reason, "unexpected-opcode");

    restart();
    const std::vector<uint8_t> big = pattern(600);
    EXPECT_EQ(data(1, big, 0, 600), SessionEvent::kFailed);
    EXPECT_EQ(session.reason, "oversized-block");

    restart();
    const Packet error = tftp_make_error(0, "bye");
    EXPECT_EQ(session_receive(&session, error.data(), error.size(), &out), SessionEvent::kFailed);
    EXPECT_TRUE(out.empty());  // an ERROR is never answered
    EXPECT_EQ(session.reason, "error-from-peer");
}

TEST_F(Write, SilenceResendsTheLastAckUntilTheRetriesAreSpent) {
    const std::vector<uint8_t> bytes = pattern(600);
    data(1, bytes, 0, 512);
    out.clear();
    EXPECT_EQ(session_expire(&session, 2, &out), SessionEvent::kNone);
    EXPECT_EQ(session_expire(&session, 2, &out), SessionEvent::kNone);
    EXPECT_EQ(out, (std::vector<Packet>{tftp_make_ack(1), tftp_make_ack(1)}));
    EXPECT_EQ(session_expire(&session, 2, &out), SessionEvent::kFailed);
    EXPECT_EQ(session.reason, "timeout");
    // Progress starts the count again.
    restart();
    session_expire(&session, 1, &out);
    data(1, bytes, 0, 512);
    out.clear();
    EXPECT_EQ(session_expire(&session, 1, &out), SessionEvent::kNone);
    EXPECT_EQ(out.size(), 1u);
}

struct Read : testing::Test {
    TftpSession session;
    std::vector<Packet> out;

    void start(const std::vector<uint8_t>& bytes) {
        session = TftpSession{};
        session.data = bytes;
        out.clear();
        session_start(&session, &out);
    }
    SessionEvent ack(uint16_t block) {
        const Packet p = tftp_make_ack(block);
        out.clear();
        return session_receive(&session, p.data(), p.size(), &out);
    }
};

TEST_F(Read, RepeatedAckIsNotAnsweredSoDataIsNeverDoubled) {
    start(pattern(2000));
    EXPECT_EQ(ack(1), SessionEvent::kNone);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(ack(1), SessionEvent::kNone);  // the Sorcerer's Apprentice bug would re-send here
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(ack(5), SessionEvent::kNone);
    EXPECT_TRUE(out.empty());
    // Silence re-sends DATA 2, the last one sent.
    EXPECT_EQ(session_expire(&session, 3, &out), SessionEvent::kNone);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(tftp_block(out[0].data(), out[0].size()), 2);
}

TEST_F(Read, DataOrErrorFromThePeerEndsIt) {
    start(pattern(10));
    const Packet stray = tftp_make_data(1, nullptr, 0);
    EXPECT_EQ(session_receive(&session, stray.data(), stray.size(), &out), SessionEvent::kFailed);
    EXPECT_EQ(out.back(), tftp_make_error(kTftpErrIllegal, "Expected ACK"));
    start(pattern(10));
    const Packet error = tftp_make_error(3, "full");
    out.clear();
    EXPECT_EQ(session_receive(&session, error.data(), error.size(), &out), SessionEvent::kFailed);
    EXPECT_TRUE(out.empty());
    // Nothing more happens after the end.
    EXPECT_EQ(ack(1), SessionEvent::kNone);
    EXPECT_EQ(session_expire(&session, 3, &out), SessionEvent::kNone);
    EXPECT_TRUE(out.empty());
}

}  // namespace
