// targets_test.cpp: what --target names, the mistakes refused, and the address of one phone.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "targets.h"

namespace {

constexpr uint32_t quad(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    return a << 24 | b << 16 | c << 8 | d;
}

TEST(Targets, WhatEachFormNames) {
    const char* file = "targets_test.txt";
    std::ofstream(file) << "# branch office\n10.2.0.7\n\n  10.2.0.9-10  # printers' neighbours\r\n";
    const std::string at_file = std::string("@") + file;
    struct Row {
        std::vector<const char*> targets;
        size_t count;
        uint32_t first;
        uint32_t last;
    };
    const Row rows[] = {
        {{"192.168.5.10"}, 1, quad(192, 168, 5, 10), quad(192, 168, 5, 10)},
        {{"192.168.5.10-200"}, 191, quad(192, 168, 5, 10), quad(192, 168, 5, 200)},
        {{"192.168.5.250-192.168.6.5"}, 12, quad(192, 168, 5, 250), quad(192, 168, 6, 5)},
        {{"10.1.2.0/24"}, 254, quad(10, 1, 2, 1), quad(10, 1, 2, 254)},
        {{"10.1.2.77/24"}, 254, quad(10, 1, 2, 1), quad(10, 1, 2, 254)},  // host bits dropped
        {{"10.1.0.0/16"}, 65534, quad(10, 1, 0, 1), quad(10, 1, 255, 254)},
        {{"10.1.2.6/31"}, 2, quad(10, 1, 2, 6), quad(10, 1, 2, 7)},
        {{"10.1.2.6/32"}, 1, quad(10, 1, 2, 6), quad(10, 1, 2, 6)},
        // Overlaps are listed once, in address order.
        {{"10.0.0.9", "10.0.0.1-10", "10.0.0.4"}, 10, quad(10, 0, 0, 1), quad(10, 0, 0, 10)},
        {{at_file.c_str()}, 3, quad(10, 2, 0, 7), quad(10, 2, 0, 10)},
    };
    for (const Row& row : rows) {
        std::vector<uint32_t> got;
        std::string error;
        const int n = static_cast<int>(row.targets.size());
        ASSERT_TRUE(targets_expand(row.targets.data(), n, &got, &error) == 0 && !got.empty())
            << row.targets[0] << ": " << error;
        EXPECT_EQ(std::make_tuple(got.size(), got.front(), got.back()),
                  std::make_tuple(row.count, row.first, row.last))
            << row.targets[0];
    }
    remove(file);
}

TEST(Targets, MistakesAreNamed) {
    const char* file = "targets_bad.txt";
    std::ofstream(file) << "10.0.0.1\n10.0.0.0/8\n";
    const std::string at_file = std::string("@") + file;
    struct Row {
        const char* target;
        const char* says;
    };
    const Row rows[] = {
        {"300.1.1.1", "--target 300.1.1.1: not an IPv4 address"},
        {"10.0.0.0/7", "--target 10.0.0.0/7: a block may be at most a /16"},
        {"10.0.0.5-3", "--target 10.0.0.5-3: the range ends before it begins"},
        {"10.0.0.5-300", "not a range"},
        {"10.0.0-5", "not a range"},
        {"10.0.0.0/33", "not a block"},
        {"10.0.0.0/", "not a block"},
        {"255.255.255.255", "not the address of one telephone"},
        {"@no-such-targets.txt", "cannot read no-such-targets.txt"},
        {at_file.c_str(), "targets_bad.txt line 2: 10.0.0.0/8: a block may be at most"},
        {"10.0.0.0-10.2.0.0", "more than 65536 addresses"},
    };
    for (const Row& row : rows) {
        std::vector<uint32_t> kept = {7};
        std::string error;
        const char* targets[] = {row.target};
        EXPECT_EQ(targets_expand(targets, 1, &kept, &error), -1) << row.target;
        EXPECT_NE(error.find(row.says), std::string::npos) << row.target << ": " << error;
        EXPECT_EQ(kept, std::vector<uint32_t>{7}) << row.target;
    }
    std::vector<std::string> blocks(17);
    std::vector<const char*> targets;
    for (size_t i = 0; i < blocks.size(); ++i) {
        blocks[i] = "10." + std::to_string(i) + ".0.0/16";
        targets.push_back(blocks[i].c_str());
    }
    std::vector<uint32_t> all;
    std::string error;
    EXPECT_EQ(targets_expand(targets.data(), 17, &all, &error), -1) << "each block fits, not all";
    remove(file);
}

TEST(DeviceAddress, DottedQuadsOfOneTelephoneOnly) {
    for (const char* good :
         {"192.168.77.10", "10.0.0.1", "1.2.3.4", "255.255.255.254", "0.0.0.1"}) {
        EXPECT_EQ(is_device_address(good), 1) << good;
    }
    for (const char* bad :
         {"", "10.0.0", "10.0.0.256", "1.2.3.4.5", "1..2.3", "1.2.3.", " 1.2.3.4", "1.2.3.4 ",
          "0.0.0.0", "255.255.255.255", "1.2.3.0004", "phone.lan", "-1.2.3.4"}) {
        EXPECT_EQ(is_device_address(bad), 0) << bad;
    }
}

}  // namespace
