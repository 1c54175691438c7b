#include "ClientPayload.h"
#include "ListTokenizer.h"
#include "OrEmpty.h"

#include <cstring>

std::string BuildP2PCallPayload(const char* id, const char* name) {
    std::string payload(1, SEP_BEGIN);
    payload += OrEmpty(id);
    payload += SEP_FIELD;
    payload += OrEmpty(name);
    payload += SEP_END;
    payload += '\0';
    return payload;
}

std::string BuildMeetingRoomPayload(const char* users) {
    CListTokenizer list(OrEmpty(users), ",");
    std::string payload(1, SEP_BEGIN);
    std::string token;
    while (list.NextToken(token)) {
        payload += token;
        payload += SEP_FIELD;
        // An odd count leaves the last user with an empty name.
        const bool more = list.NextToken(token);
        payload += token;
        payload += SEP_RECORD;
        if (!more)
            break;
    }
    payload += SEP_END;
    payload += '\0';
    return payload;
}

bool HasSeparatorByte(const char* text) {
    return std::strpbrk(OrEmpty(text), "\x05\x07\x08\x15") != nullptr;
}
