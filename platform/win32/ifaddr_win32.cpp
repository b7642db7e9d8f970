// ifaddr_win32.cpp: the IPv4 interfaces' directed broadcast addresses, from the IP helper API.
#include <windows.h>

#include <iphlpapi.h>

#include "../backend.h"
#include "../platform.h"

int sock_broadcast_addrs(uint32_t* out, int max) {
    // Room for a few hundred addresses; a machine with more is not one this tool serves.
    alignas(8) unsigned char buffer[8192];
    auto* table = reinterpret_cast<MIB_IPADDRTABLE*>(buffer);
    ULONG size = sizeof buffer;
    if (GetIpAddrTable(table, &size, FALSE) != NO_ERROR) {
        return -1;
    }
    int count = 0;
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
        const MIB_IPADDRROW& row = table->table[i];
        if (row.wType & (MIB_IPADDR_DISCONNECTED | MIB_IPADDR_DELETED)) {
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
