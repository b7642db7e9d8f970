// phone_tftp.h: the phone's TFTP server: requests on port 69, each transfer on a port of its
// own, re-sends after silence and the end of finished transfers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim_socket.h"
#include "tftp_session.h"

struct Phone;

struct Transfer {
    int id = 0;
    std::string file;
    sockaddr_in peer{};
    int fd = -1;          // the socket the transfer answers from
    bool owns_fd = true;  // false when that is the port-69 socket
    int old_fd = -1;      // after a port move: the earlier port, still heard
    int stray_fd = -1;    // foreign port that stray copies go out from
    TftpSession session;
    int64_t deadline = 0;
};

// Reads one datagram from fd, the port-69 socket or a transfer's, and serves it.
void on_tftp_datagram(Phone* phone, int fd);
// The transfers' sockets, in the order they are to be read.
void transfer_sockets(const Phone* phone, std::vector<int>* fds);
// Time of the running transfers' next timer; INT64_MAX when none runs.
int64_t next_transfer_deadline(const Phone* phone);
// The socket a held-back packet of the transfer goes out from; -1 once the transfer is gone.
int transfer_fd(Phone* phone, int transfer_id);
// Re-sends after silence; transfers out of retries fail.
void expire_transfers(Phone* phone, int64_t now);
// Closes the transfers that have finished and have no packet held back.
void remove_finished_transfers(Phone* phone);
// Ends every transfer as the phone stops.
void stop_transfers(Phone* phone);
