#pragma once
// A null string argument reads as empty text.

inline const char* OrEmpty(const char* text) {
    return text ? text : "";
}
