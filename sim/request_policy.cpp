// request_policy.cpp: the requests the phone serves.
#include "request_policy.h"

#include <algorithm>
#include <iterator>
#include <string>

#include "ascii_text.h"

namespace {

constexpr char kStationListName[] = "getmp3cfg.###";
const char* const kWritableNames[] = {"hold.mp3", "ring.mp3", "1.bmp", "2.bmp",           "3.bmp",
                                      "4.bmp",    "5.bmp",    "6.bmp", kStationUploadName};

bool is_writable_name(const std::string& name) {
    return std::find(std::begin(kWritableNames), std::end(kWritableNames), name) !=
           std::end(kWritableNames);
}

// RFC 1350: the mode's case does not matter.
bool octet_mode(const std::string& mode) {
    return mode.size() == 5 && compare_ignoring_case(mode.c_str(), "octet", 5) == 0;
}

RequestVerdict refused(int code, const char* message, const char* reason) {
    return {RequestSource::kRefused, code, message, reason};
}

RequestVerdict served(RequestSource source) {
    return {source, 0, "", ""};
}

}  // namespace

RequestVerdict judge_request(const TftpRequest& request, const FaultPlan& faults) {
    if (!octet_mode(request.mode)) {
        return refused(kTftpErrUndefined, "Only octet mode is supported", "mode");
    }
    if (request.opcode == kTftpWrq) {
        if (faults.reject_writes) {
            return refused(kTftpErrAccess, "Writes are not allowed", "reject-writes");
        }
        if (!is_writable_name(request.file)) {
            return refused(kTftpErrAccess, "Unknown file name", "name");
        }
        return served(RequestSource::kWrite);
    }
    if (faults.reject_reads) {
        return refused(kTftpErrAccess, "Reads are not allowed", "reject-reads");
    }
    if (request.file == kStationListName) {
        return served(RequestSource::kStationList);
    }
    if (faults.serve_stored && is_writable_name(request.file)) {
        return served(RequestSource::kStoredFile);
    }
    return refused(kTftpErrNotFound, "File not found", "not-found");
}
