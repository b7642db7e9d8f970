// kvxphone.cpp: the simulated-telephone program: opens the phones and serves them on one
// thread until SIGINT or SIGTERM.
#include <poll.h>
#include <sys/resource.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <vector>

#include "kvx_version.h"
#include "phone.h"
#include "sim_clock.h"
#include "sim_options.h"

namespace {

volatile sig_atomic_t g_stop = 0;
volatile sig_atomic_t g_reload = 0;

void on_stop_signal(int) {
    g_stop = 1;
}

void on_reload_signal(int) {
    g_reload = 1;
}

// The signals stay blocked except inside ppoll, so none slips in between a check and the wait.
void install_signals(sigset_t* wait_mask) {
    struct sigaction action = {};
    action.sa_handler = on_stop_signal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    action.sa_handler = on_reload_signal;
    sigaction(SIGHUP, &action, nullptr);
    sigset_t blocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGINT);
    sigaddset(&blocked, SIGTERM);
    sigaddset(&blocked, SIGHUP);
    sigprocmask(SIG_BLOCK, &blocked, wait_mask);
    sigdelset(wait_mask, SIGINT);
    sigdelset(wait_mask, SIGTERM);
    sigdelset(wait_mask, SIGHUP);
}

// Three sockets per phone and more per transfer: a hundred phones pass the usual 1024.
void raise_open_file_limit() {
    rlimit limit;
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

void serve(std::vector<Phone*>& phones, const sigset_t& wait_mask) {
    std::vector<pollfd> entries;
    std::vector<Phone*> owners;
    std::vector<int> fds;
    while (!g_stop) {
        entries.clear();
        owners.clear();
        int64_t next = INT64_MAX;
        for (Phone* phone : phones) {
            fds.clear();
            phone_sockets(phone, &fds);
            for (const int fd : fds) {
                entries.push_back({fd, POLLIN, 0});
                owners.push_back(phone);
            }
            next = std::min(next, phone_next_deadline(phone));
        }
        timespec wait = {};
        if (next != INT64_MAX) {
            const int64_t ms = std::max<int64_t>(0, next - sim_now_ms());
            wait.tv_sec = static_cast<time_t>(ms / 1000);
            wait.tv_nsec = static_cast<long>(ms % 1000) * 1000000L;
        }
        const int ready =
            ppoll(entries.data(), entries.size(), next == INT64_MAX ? nullptr : &wait, &wait_mask);
        if (ready < 0 && errno != EINTR) {
            perror("kvxphone: ppoll");
            return;
        }
        if (g_reload) {
            g_reload = 0;
            for (Phone* phone : phones) {
                phone_reload_faults(phone);
            }
        }
        for (size_t i = 0; ready > 0 && i < entries.size(); ++i) {
            if (entries[i].revents != 0) {
                phone_readable(owners[i], entries[i].fd);
            }
        }
        for (Phone* phone : phones) {
            phone_timers(phone);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    SimOptions options;
    std::string error;
    if (sim_parse_options(argc, argv, &options, &error) != 0) {
        fprintf(stderr, "kvxphone: %s\n", error.c_str());
        return 2;
    }
    if (options.help) {
        fputs(sim_usage().c_str(), stdout);
        return 0;
    }
    if (options.version) {
        printf("kvxphone %s\n", KVX_VERSION);
        return 0;
    }
    sigset_t wait_mask;
    install_signals(&wait_mask);
    raise_open_file_limit();
    sim_now_ms();
    std::vector<Phone*> phones;
    for (const std::string& address : options.addresses) {
        PhoneConfig config;
        config.address = address;
        config.folder = options.state_dir + "/" + address;
        config.faults = sim_faults_of(options, address);
        config.initial = options.initial;
        config.command_port = options.command_port;
        config.tftp_port = options.tftp_port;
        config.max_file_size = options.max_file_size;
        Phone* phone = phone_open(config, &error);
        if (!phone) {
            fprintf(stderr, "kvxphone: %s\n", error.c_str());
            for (Phone* opened : phones) {
                phone_close(opened);
            }
            return 1;
        }
        phones.push_back(phone);
    }
    printf("kvxphone: %zu phone%s listening (%s%s%s), state in %s\n", phones.size(),
           phones.size() == 1 ? "" : "s", options.addresses.front().c_str(),
           phones.size() == 1 ? "" : " to ",
           phones.size() == 1 ? "" : options.addresses.back().c_str(), options.state_dir.c_str());
    fflush(stdout);
    if (!options.ready_file.empty() &&
        !(std::ofstream(options.ready_file) << phones.size() << " phones\n")) {
        fprintf(stderr, "kvxphone: cannot write %s\n", options.ready_file.c_str());
    }
    serve(phones, wait_mask);
    for (Phone* phone : phones) {
        phone_close(phone);
    }
    printf("kvxphone: stopped\n");
    return 0;
}
