// targets.cpp: parsing and expansion of what --target names.
#include "targets.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

namespace {

// Strict dotted quad: four decimal fields of at most three digits, each 0 to 255.
bool parse_quad(const std::string& text, uint32_t* out) {
    uint32_t value = 0;
    size_t at = 0;
    for (int field = 0; field < 4; ++field) {
        if (field > 0 && (at >= text.size() || text[at++] != '.')) {
            return false;
        }
        uint32_t part = 0;
        int digits = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && digits < 3) {
            part = part * 10 + static_cast<uint32_t>(text[at++] - '0');
            ++digits;
        }
        if (digits == 0 || part > 255) {
            return false;
        }
        value = value << 8 | part;
    }
    *out = value;
    return at == text.size();
}

bool parse_small(const std::string& text, uint32_t high, uint32_t* out) {
    if (text.empty() || text.size() > 3 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    *out = static_cast<uint32_t>(std::stoul(text));
    return *out <= high;
}

// 0.0.0.0 and the limited broadcast name no telephone.
bool is_phone_address(uint32_t address) {
    return address != 0 && address != 0xFFFFFFFFu;
}

bool add_range(uint32_t first, uint32_t last, std::vector<uint32_t>* out, std::string* error) {
    if (last - first >= kRangeMax) {
        *error = "more than " + std::to_string(kRangeMax) + " addresses";
        return false;
    }
    for (uint64_t a = first; a <= last; ++a) {
        if (is_phone_address(static_cast<uint32_t>(a))) {
            out->push_back(static_cast<uint32_t>(a));
        }
    }
    return true;
}

// One target that is not a file. False with the reason in error.
bool expand_one(const std::string& target, std::vector<uint32_t>* out, std::string* error) {
    const size_t slash = target.find('/');
    const size_t dash = target.find('-');
    uint32_t first;
    if (slash != std::string::npos) {
        uint32_t prefix;
        if (!parse_quad(target.substr(0, slash), &first) ||
            !parse_small(target.substr(slash + 1), 32, &prefix)) {
            *error = "not a block such as 10.1.2.0/24";
            return false;
        }
        if (prefix < kBlockPrefixMin) {
            *error = "a block may be at most a /" + std::to_string(kBlockPrefixMin) + " (" +
                     std::to_string(kRangeMax) + " addresses)";
            return false;
        }
        const uint32_t hosts = prefix == 32 ? 0 : 0xFFFFFFFFu >> prefix;
        const uint32_t network = first & ~hosts;
        // Up to a /30 the first and last addresses are the network and its broadcast.
        const uint32_t skip = prefix <= 30 ? 1 : 0;
        return add_range(network + skip, (network | hosts) - skip, out, error);
    }
    if (dash != std::string::npos) {
        const std::string end = target.substr(dash + 1);
        uint32_t last;
        uint32_t octet;
        if (!parse_quad(target.substr(0, dash), &first)) {
            *error = "not a range such as 192.168.5.10-200";
            return false;
        }
        if (parse_small(end, 255, &octet)) {
            last = (first & 0xFFFFFF00u) | octet;
        } else if (!parse_quad(end, &last)) {
            *error = "not a range such as 192.168.5.10-200";
            return false;
        }
        if (last < first) {
            *error = "the range ends before it begins";
            return false;
        }
        return add_range(first, last, out, error);
    }
    if (!parse_quad(target, &first)) {
        *error = "not an IPv4 address, range (192.168.5.10-200) or block (10.1.2.0/24)";
        return false;
    }
    if (!is_phone_address(first)) {
        *error = "not the address of one telephone";
        return false;
    }
    out->push_back(first);
    return true;
}

bool expand_file(const std::string& path, std::vector<uint32_t>* out, std::string* error) {
    std::ifstream in(path);
    if (!in) {
        *error = "cannot read " + path + ": " + strerror(errno);
        return false;
    }
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        line.resize(std::min(line.size(), line.find('#')));
        const size_t begin = line.find_first_not_of(" \t\r");
        if (begin == std::string::npos) {
            continue;
        }
        const std::string target = line.substr(begin, line.find_last_not_of(" \t\r") + 1 - begin);
        std::string why = "a file of targets names no other file";
        if (target[0] == '@' || !expand_one(target, out, &why)) {
            *error = path + " line " + std::to_string(number);
            *error += ": " + target;
            *error += ": " + why;
            return false;
        }
    }
    return true;
}

}  // namespace

int targets_expand(const char* const* targets, int count, std::vector<uint32_t>* out,
                   std::string* error) {
    std::vector<uint32_t> all(*out);
    for (int i = 0; i < count; ++i) {
        const std::string target = targets[i];
        std::string why;
        const bool ok = !target.empty() && target[0] == '@'
                            ? expand_file(target.substr(1), &all, &why)
                            : expand_one(target, &all, &why);
        if (ok && all.size() > kTargetsMax) {
            std::sort(all.begin(), all.end());
            all.erase(std::unique(all.begin(), all.end()), all.end());
        }
        if (!ok || all.size() > kTargetsMax) {
            *error = "--target " + target + ": " +
                     (ok ? "more than " + std::to_string(kTargetsMax) + " addresses in all" : why);
            return -1;
        }
    }
    std::sort(all.begin(), all.end());
    all.erase(std::unique(all.begin(), all.end()), all.end());
    *out = std::move(all);
    return 0;
}

int is_device_address(const char* text) {
    uint32_t address;
    return parse_quad(text, &address) && is_phone_address(address) ? 1 : 0;
}

std::string address_text(uint32_t address) {
    return std::to_string(address >> 24) + "." + std::to_string(address >> 16 & 255) + "." +
           std::to_string(address >> 8 & 255) + "." + std::to_string(address & 255);
}
