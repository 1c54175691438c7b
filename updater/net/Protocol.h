#pragma once
// The protocols an update server speaks, by the internet library's own
// numbers, and the port each takes when none is configured. No platform
// header: the packaging tool builds natively.

// HTTPS, HTTP over TLS, has no service number of its own and takes the
// library's number for the scheme.
enum {
    PROTOCOL_FTP = 1,  // INTERNET_SERVICE_FTP
    PROTOCOL_HTTP = 3, // INTERNET_SERVICE_HTTP
    PROTOCOL_HTTPS = 4 // INTERNET_SCHEME_HTTPS
};

// The protocol's own port; 0 for a code that is no protocol.
inline unsigned short DefaultPort(int protocol) {
    switch (protocol) {
    case PROTOCOL_FTP:
        return 21;
    case PROTOCOL_HTTP:
        return 80;
    case PROTOCOL_HTTPS:
        return 443;
    default:
        return 0;
    }
}

// The port a configured value names: its low 16 bits, or the protocol's own
// when those are 0.
inline unsigned short ServerPort(int protocol, int port) {
    const unsigned short low = static_cast<unsigned short>(port & 0xFFFF);
    return low ? low : DefaultPort(protocol);
}
