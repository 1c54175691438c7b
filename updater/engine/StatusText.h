#pragma once
// The stages of a pass as the window shows them: a status code and its text.

// Status codes, each with its text on the stage line.
enum {
    STATUS_INIT = 0,
    STATUS_LOAD_CONFIG = 1,
    STATUS_CONNECT = 2,
    STATUS_GET_VERSION = 3,
    STATUS_COMPARE = 4,
    STATUS_DOWNLOAD = 5,
    STATUS_REGISTER = 6,
    STATUS_LAUNCH = 7,
    STATUS_FINISH = 8,
};

// The text of a status code; empty for any other number.
const char* StatusText(int code);
