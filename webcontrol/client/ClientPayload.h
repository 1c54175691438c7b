#pragma once
// The WM_COPYDATA messages to the client window: codes and payload bytes.
// A payload string holds every byte that goes out, the terminating zero
// included, so its size is the message's cbData.

#include <string>

enum : unsigned long {
    CD_OPEN_P2P_CALL = 110,
    CD_OPEN_MEETING_WINDOW = 120,
    CD_OPEN_MEETING_ROOM = 126,
};

const char SEP_BEGIN = '\x07';
const char SEP_FIELD = '\x05';
const char SEP_RECORD = '\x15';
const char SEP_END = '\x08';

// One user: 07 id 05 name 08 00.
std::string BuildP2PCallPayload(const char* id, const char* name);
// 07, then id 05 name 15 per user of the comma-separated list, then 08 00.
std::string BuildMeetingRoomPayload(const char* users);

// The client cuts fields and records at these bytes and nothing escapes
// them, so text that holds one would forge fields of its own.
bool HasSeparatorByte(const char* text);
