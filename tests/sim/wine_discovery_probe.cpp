// wine_discovery_probe.cpp: a Windows program that broadcasts one discovery request from UDP
// port 10000, as the utility does, and counts the phones that answer. Run under Wine inside
// the test LAN (scripts/testlan --wine), it shows that Wine's sockets live in the LAN.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform.h"

int main(int argc, char** argv) {
    const int expected = argc > 1 ? atoi(argv[1]) : 1;
    sock_init();
    const Socket s = udp_open(10000, 1);
    if (s < 0) {
        printf("wine_discovery_probe: cannot bind port 10000\n");
        return 2;
    }
    sock_set_broadcast(s);
    Endpoint everyone;
    sock_make_addr(&everyone, "255.255.255.255", 9999);
    udp_send_to(s, "?", 1, &everyone);
    int answered = 0;
    const int32_t start = clock_now();
    char reply[2001];
    while (static_cast<uint32_t>(clock_elapsed(start, 0)) < 2000) {
        if (sock_wait_readable(s, 100) != 1) {
            continue;
        }
        Endpoint from;
        const int n = udp_recv_from(s, reply, 2000, &from);
        if (n > 0 && reply[0] == '?') {
            reply[n] = '\0';
            printf("reply from %s: %s\n", sock_addr_text(&from),
                   strstr(reply, "device KVX-350RT") ? "KVX-350RT" : "other");
            ++answered;
        }
    }
    sock_close(s);
    sock_fin();
    printf("%d of %d phones answered\n", answered, expected);
    return answered == expected ? 0 : 1;
}
