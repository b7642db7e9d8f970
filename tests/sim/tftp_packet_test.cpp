// tftp_packet_test.cpp: TFTP packets of the simulated phone: exact bytes out, careful parsing in.
#include <gtest/gtest.h>

#include <string>

#include "tftp_packet.h"

namespace {

Packet bytes_of(const std::string& text) {
    return Packet(text.begin(), text.end());
}

// The literal's bytes without the terminator the compiler adds; inner NULs stay.
template <size_t N>
std::string raw(const char (&text)[N]) {
    return std::string(text, N - 1);
}

TEST(TftpPacket, RequestsAreParsedWithTheirOptionNames) {
    const Packet wrq =
        bytes_of(raw("\0\2hold.mp3\0octet\0tsize\0"
                     "700\0blksize\0"
                     "512\0"));
    TftpRequest request;
    ASSERT_EQ(tftp_parse_request(wrq.data(), wrq.size(), &request), 0);
    EXPECT_EQ(request.opcode, kTftpWrq);
    EXPECT_EQ(request.file, "hold.mp3");
    EXPECT_EQ(request.mode, "octet");
    EXPECT_EQ(request.options, (std::vector<std::string>{"tsize", "blksize"}));

    const Packet rrq = bytes_of(raw("\0\1getmp3cfg.###\0OCTET\0"));
    ASSERT_EQ(tftp_parse_request(rrq.data(), rrq.size(), &request), 0);
    EXPECT_EQ(request.opcode, kTftpRrq);
    EXPECT_EQ(request.file, "getmp3cfg.###");
    EXPECT_EQ(request.mode, "OCTET");
    EXPECT_TRUE(request.options.empty());
}

TEST(TftpPacket, MalformedRequestsAreRefusedWithoutReadingPastTheDatagram) {
    const std::string cases[] = {
        raw("\0\2hold.mp3\0octet"),  // mode without its terminator
        raw("\0\2hold.mp3"),         // no terminator at all
        raw("\0\2\0octet\0"),        // empty name
        raw("\0\2a\0\0"),            // empty mode
        raw("\0\3a\0octet\0"),       // DATA, not a request
        raw("\1\2a\0octet\0"),       // opcode 258
        raw("\0"),
        std::string(),
    };
    for (const std::string& text : cases) {
        const Packet p = bytes_of(text);
        TftpRequest request{0, "untouched", "", {}};
        EXPECT_EQ(tftp_parse_request(p.data(), p.size(), &request), -1) << text.size();
        EXPECT_EQ(request.file, "untouched");
    }
    // An option without its value is dropped; the request itself stands.
    const Packet half = bytes_of(raw("\0\1a\0octet\0tsize\0"));
    TftpRequest request;
    ASSERT_EQ(tftp_parse_request(half.data(), half.size(), &request), 0);
    EXPECT_TRUE(request.options.empty());
}

TEST(TftpPacket, ShortDatagramsHaveNoOpcodeOrBlock) {
    const uint8_t three[] = {0, 4, 1};
    EXPECT_EQ(tftp_opcode(three, 0), -1);
    EXPECT_EQ(tftp_opcode(three, 1), -1);
    EXPECT_EQ(tftp_opcode(three, 2), kTftpAck);
    EXPECT_EQ(tftp_block(three, 3), -1);
    const uint8_t ack[] = {0, 4, 0xAB, 0xCD};
    EXPECT_EQ(tftp_block(ack, 4), 0xABCD);
}

TEST(TftpPacket, PacketsAreBuiltBigEndianByteForByte) {
    const uint8_t data[] = {9, 8, 7};
    EXPECT_EQ(tftp_make_data(0x0102, data, 3), (Packet{0, 3, 1, 2, 9, 8, 7}));
    EXPECT_EQ(tftp_make_data(65535, data, 0), (Packet{0, 3, 0xFF, 0xFF}));
    EXPECT_EQ(tftp_make_ack(258), (Packet{0, 4, 1, 2}));
    EXPECT_EQ(tftp_make_error(5, "Unknown"),
              (Packet{0, 5, 0, 5, 'U', 'n', 'k', 'n', 'o', 'w', 'n', 0}));
}

TEST(TftpPacket, ErrorsAreReadWithOrWithoutTheirTerminator) {
    int code = -1;
    std::string message;
    const Packet whole = tftp_make_error(1, "File not found");
    ASSERT_EQ(tftp_parse_error(whole.data(), whole.size(), &code, &message), 0);
    EXPECT_EQ(code, 1);
    EXPECT_EQ(message, "File not found");
    const Packet cut = bytes_of(raw("\0\5\0\4ERR"));
    ASSERT_EQ(tftp_parse_error(cut.data(), cut.size(), &code, &message), 0);
    EXPECT_EQ(code, 4);
    EXPECT_EQ(message, "ERR");
    const Packet ack = tftp_make_ack(1);
    EXPECT_EQ(tftp_parse_error(ack.data(), ack.size(), &code, &message), -1);
    EXPECT_EQ(tftp_parse_error(cut.data(), 3, &code, &message), -1);
}

TEST(TftpPacket, DescriptionsNameOpcodeAndBlock) {
    const uint8_t data[512] = {};
    const Packet full = tftp_make_data(3, data, 512);
    EXPECT_EQ(tftp_describe(full.data(), full.size()), "DATA block=3 data=512");
    const Packet ack = tftp_make_ack(7);
    EXPECT_EQ(tftp_describe(ack.data(), ack.size()), "ACK block=7 len=4");
    const Packet error = tftp_make_error(2, "x");
    EXPECT_EQ(tftp_describe(error.data(), error.size()), "ERROR code=2");
    const uint8_t odd[] = {0x12, 0x34, 0};
    EXPECT_EQ(tftp_describe(odd, 3), "OTHER opcode=4660 len=3");
    EXPECT_EQ(tftp_describe(odd, 1), "OTHER opcode=-1 len=1");
}

}  // namespace
