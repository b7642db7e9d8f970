// request_policy.h: which TFTP requests the phone serves, and what it serves a read from. The
// phone takes only the files the utility sends and gives only its station list, unless the
// fault switches say otherwise.
#pragma once

#include "fault_plan.h"
#include "tftp_packet.h"

enum class RequestSource { kRefused, kWrite, kStationList, kStoredFile };

struct RequestVerdict {
    RequestSource source;
    // When refused: the ERROR packet's code and text, and the reason logged.
    int code;
    const char* message;
    const char* reason;
};

// The file a read of the station list is served from, in the state folder.
constexpr char kStationListFile[] = "stations.cfg";
// The name under which a written station list replaces the phone's own.
constexpr char kStationUploadName[] = "mp3.cfg";

RequestVerdict judge_request(const TftpRequest& request, const FaultPlan& faults);
