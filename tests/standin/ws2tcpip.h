// Test-only stand-in for Winsock 2's name resolution header.
#ifndef PROVIDER_ORDER_TESTS_STANDIN_WS2TCPIP_H
#define PROVIDER_ORDER_TESTS_STANDIN_WS2TCPIP_H

#include "winsock2.h"

struct addrinfo {
    int ai_flags;
    int ai_family;
    int ai_socktype;
    int ai_protocol;
    size_t ai_addrlen;
    char *ai_canonname;
    sockaddr *ai_addr;
    addrinfo *ai_next;
};

int getaddrinfo(const char *node, const char *service, const addrinfo *hints, addrinfo **result);
void freeaddrinfo(addrinfo *addresses);

#endif
