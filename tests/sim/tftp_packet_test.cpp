// tftp_packet_test.cpp: the phone unpacks whatever a stranger sends without reading past it.
#include <gtest/gtest.h>

#include "tftp_packet.h"

namespace {

Packet bytes(const std::string& text) {
    return Packet(text.begin(), text.end());
}

}  // namespace

TEST(TftpPacket, RequestsAndWhatIsNotOne) {
    using namespace std::string_literals;
    const struct {
        std::string datagram;
        const char* file;  // nullptr: refused
        size_t options;
    } rows[] = {
        {"\0\1a.mp3\0octet\0"s, "a.mp3", 0},
        {"\0\2a.mp3\0netascii\0blksize\0001428\0tsize\0"s, "a.mp3", 1},  // last pair incomplete
        {"\0\1\0octet\0"s, nullptr, 0},                                  // no name
        {"\0\1a.mp3\0\0"s, nullptr, 0},                                  // no mode
        {"\0\1a.mp3\0octet"s, nullptr, 0},                               // mode not ended
        {"\0\1a.mp3"s, nullptr, 0},
        {"\0\3a.mp3\0octet\0"s, nullptr, 0},  // DATA
        {"\1"s, nullptr, 0},
    };
    for (const auto& row : rows) {
        const Packet p = bytes(row.datagram);
        TftpRequest request{};
        const int status = tftp_parse_request(p.data(), p.size(), &request);
        EXPECT_EQ(status, row.file ? 0 : -1) << tftp_describe(p.data(), p.size());
        if (row.file && status == 0) {
            EXPECT_EQ(request.file, row.file);
            EXPECT_EQ(request.options.size(), row.options);
        }
    }
}

TEST(TftpPacket, ErrorsAndShortDatagrams) {
    using namespace std::string_literals;
    int code = -1;
    std::string message;
    const Packet unended = bytes("\0\5\0\3disk full"s);
    ASSERT_EQ(tftp_parse_error(unended.data(), unended.size(), &code, &message), 0);
    EXPECT_EQ(code, 3);
    EXPECT_EQ(message, "disk full");
    EXPECT_EQ(tftp_parse_error(unended.data(), 3, &code, &message), -1);

    // The event log's line of a datagram too short for its kind does not read it as one.
    for (const Packet& odd : {bytes("\0\3\0"s), bytes("\0\2\0"s), bytes("\0"s)}) {
        EXPECT_EQ(tftp_describe(odd.data(), odd.size()).rfind("OTHER ", 0), 0u) << odd.size();
    }
}
