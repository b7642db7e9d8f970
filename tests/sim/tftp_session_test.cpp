// tftp_session_test.cpp: the phone's side of TFTP transfers, packet by packet: what only the
// state machine sees (repeats, order, dallying, retries). Sizes, the size limit and injected
// errors are the phone test's.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "tftp_session.h"

namespace {

// A packet from the peer (none: the re-send interval passes, two retries allowed), then what
// the session sends and reports.
struct Step {
    Packet in;
    std::vector<Packet> out;
    SessionEvent event;
};
constexpr SessionEvent kNone = SessionEvent::kNone;
constexpr SessionEvent kFailed = SessionEvent::kFailed;

Packet data(uint16_t block, size_t size) {
    const std::vector<uint8_t> bytes(size, static_cast<uint8_t>(block));
    return tftp_make_data(block, bytes.data(), size);
}

Packet ack(uint16_t block) {
    return tftp_make_ack(block);
}

// A write (the peer sends a file) or a read of file, after its first packet.
TftpSession run(bool writing, size_t file_size, const std::vector<Step>& steps) {
    TftpSession session;
    session.writing = writing;
    session.max_size = 1 << 20;
    for (uint16_t block = 1; !writing && session.data.size() < file_size; ++block) {
        const size_t n = std::min(kTftpBlockSize, file_size - session.data.size());
        session.data.insert(session.data.end(), n, static_cast<uint8_t>(block));
    }
    std::vector<Packet> out;
    session_start(&session, &out);
    EXPECT_EQ(out, (std::vector<Packet>{writing ? ack(0)
                                                : data(1, std::min(file_size, kTftpBlockSize))}));
    for (size_t i = 0; i < steps.size(); ++i) {
        const Step& s = steps[i];
        out.clear();
        EXPECT_EQ(s.in.empty() ? session_expire(&session, 2, &out)
                               : session_receive(&session, s.in.data(), s.in.size(), &out),
                  s.event)
            << "step " << i;
        EXPECT_EQ(out, s.out) << "step " << i;
    }
    return session;
}

TEST(Write, RepeatsAreAcknowledgedAgainUntilTheDallyEndsAndOthersIgnored) {
    const TftpSession s = run(true, 0,
                              {{data(1, 512), {ack(1)}, kNone},
                               {data(1, 512), {ack(1)}, kNone},  // our ACK 1 was lost
                               {data(3, 10), {}, kNone},         // from the future
                               {data(2, 76), {ack(2)}, SessionEvent::kCompleted},
                               {data(2, 76), {ack(2)}, kNone},  // dallying
                               {data(3, 10), {}, kNone},
                               {{}, {}, kNone}});
    EXPECT_EQ(s.data, run(false, 588, {}).data);
    EXPECT_EQ(s.state, SessionState::kDone);
}

// A repeated ACK is not answered, so DATA is never doubled (the Sorcerer's Apprentice).
TEST(Read, RepeatedAckIsNotAnsweredAndSilenceResendsTheLastData) {
    const TftpSession s = run(false, 1500,
                              {{ack(1), {data(2, 512)}, kNone},
                               {ack(1), {}, kNone},
                               {ack(5), {}, kNone},
                               {{}, {data(2, 512)}, kNone},
                               {ack(2), {data(3, 476)}, kNone},
                               {ack(3), {}, SessionEvent::kCompleted},
                               {ack(3), {}, kNone}});
    EXPECT_EQ(s.state, SessionState::kDone);
}

// A wrong packet ends a transfer with an ERROR; an ERROR ends it and is never answered.
TEST(Session, WrongPacketsEndIt) {
    run(true, 0, {{ack(1), {tftp_make_error(kTftpErrIllegal, "Expected DATA")}, kFailed}});
    run(true, 0,
        {{data(1, 600),
          {tftp_make_error(kTftpErrIllegal, "Block larger than 512 bytes")},
          kFailed}});
    run(true, 0, {{tftp_make_error(0, "bye"), {}, kFailed}});
    run(false, 10, {{data(1, 0), {tftp_make_error(kTftpErrIllegal, "Expected ACK")}, kFailed}});
    run(false, 10,
        {{tftp_make_error(3, "full"), {}, kFailed}, {ack(1), {}, kNone}, {{}, {}, kNone}});
}

}  // namespace
