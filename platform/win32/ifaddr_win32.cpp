// ifaddr_win32.cpp: the IPv4 interfaces' directed broadcast addresses, from the IP helper API.
#include <windows.h>

#include <iphlpapi.h>

#include "../backend.h"
#include "../platform.h"

namespace {

// The local address that a datagram to 255.255.255.255 leaves from: connecting a UDP socket
// picks the route that sending would take, and sends nothing. 0 when there is no such route.
uint32_t limited_broadcast_source() {
    const SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
    if (s == INVALID_SOCKET) {
        return 0;
    }
    const BOOL on = TRUE;
    setsockopt(s, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on);
    Endpoint to;
    sock_make_addr(&to, "255.255.255.255", 9);
    Endpoint local = {};
    int length = sizeof local;
    uint32_t source = 0;
    if (connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr*>(&local), &length) == 0) {
        source = local.address;
    }
    closesocket(s);
    return source;
}

}  // namespace

int sock_broadcast_addrs(uint32_t* out, int max) {
    // Room for a few hundred addresses; a machine with more is not one this tool serves.
    alignas(8) unsigned char buffer[8192];
    auto* table = reinterpret_cast<MIB_IPADDRTABLE*>(buffer);
    ULONG size = sizeof buffer;
    if (GetIpAddrTable(table, &size, FALSE) != NO_ERROR) {
        return -1;
    }
    const uint32_t source = limited_broadcast_source();
    bool have_limited_link = false;
    DWORD limited_link = 0;
    for (DWORD i = 0; i < table->dwNumEntries && source != 0; ++i) {
        if (table->table[i].dwAddr == source) {
            have_limited_link = true;
            limited_link = table->table[i].dwIndex;
        }
    }
    int count = 0;
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
        const MIB_IPADDRROW& row = table->table[i];
        if ((row.wType & (MIB_IPADDR_DISCONNECTED | MIB_IPADDR_DELETED)) ||
            (have_limited_link && row.dwIndex == limited_link)) {
            continue;
        }
        MIB_IFROW link = {};
        link.dwIndex = row.dwIndex;
        // Loopback and dial-up links carry no broadcasts; a link that is down takes none.
        if (GetIfEntry(&link) != NO_ERROR || link.dwType == IF_TYPE_SOFTWARE_LOOPBACK ||
            link.dwType == IF_TYPE_PPP || link.dwOperStatus < MIB_IF_OPER_STATUS_CONNECTED) {
            continue;
        }
        count = broadcast_list_add(out, count, max, row.dwAddr, row.dwMask);
    }
    return count;
}
