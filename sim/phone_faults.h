// phone_faults.h: the fault switches at work: read from the folder's faults file, they act on
// every datagram the phone sends or receives (drops, copies, delays, other ports).
#pragma once

#include <cstdint>
#include <string>

#include "sim_socket.h"
#include "tftp_packet.h"

struct Phone;
struct Transfer;

constexpr char kFaultsFile[] = "faults";

// Reads the folder's faults file into the phone's switches; packet numbers count from 1 again.
// -1 with a message in error, the earlier switches left as they were.
int load_faults_file(Phone* phone, std::string* error);
// A socket on a free port for a transfer, on the address the switches give transfers.
int open_transfer_socket(Phone* phone, std::string* error);
// Sends a reply on the device channel: twice or later when the switches say so.
void send_device_reply(Phone* phone, const sockaddr_in& to, const std::string& text,
                       const std::string& note);
// Every TFTP datagram the phone sends passes here: from the transfer's socket, or from the
// port-69 socket when transfer is null.
void transmit(Phone* phone, Transfer* transfer, const sockaddr_in& to, const Packet& packet);
// How many times a received TFTP datagram is to be taken: 0 when dropped, 1, or 2 when doubled.
int receive_times(Phone* phone, int fd, const sockaddr_in& from, const std::string& described);
