#pragma once
// The application's name as the class library would give it for a program that
// defines no title string: the program file's name without its extension.

#include <windows.h>
#include <string>

inline std::string AfxGetAppName() {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string name = path;
    size_t slash = name.find_last_of("\\/");
    if (slash != std::string::npos)
        name.erase(0, slash + 1);
    size_t dot = name.rfind('.');
    if (dot != std::string::npos)
        name.erase(dot);
    return name;
}
