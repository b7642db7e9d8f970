// phone_record.h: the record of one simulated phone, shared by the modules that make it up:
// its state folder, device channel, TFTP server, faults and delayed sends.
#pragma once

#include <cstdint>
#include <list>
#include <random>
#include <string>

#include "delayed_sends.h"
#include "event_log.h"
#include "fault_plan.h"
#include "phone.h"
#include "phone_settings.h"
#include "phone_tftp.h"
#include "sim_socket.h"
#include "station_list.h"

// Its rng is seeded from the faults or the address: reproducible on purpose.
struct Phone {  // NOLINT(cert-msc32-c,cert-msc51-cpp)
    PhoneConfig config;
    sockaddr_in self{};
    int command_fd = -1;
    int broadcast_fd = -1;  // hears 255.255.255.255
    int subnet_fd = -1;     // hears the subnet's directed broadcast; -1 where there is none
    int tftp_fd = -1;
    PhoneSettings settings;
    StationList stations{};
    FaultPlan faults;
    std::mt19937 rng;
    uint32_t rx_count = 0;
    uint32_t tx_count = 0;
    EventLog log;
    std::list<Transfer> transfers;
    DelayedSends delayed;
    int next_transfer_id = 1;
};
