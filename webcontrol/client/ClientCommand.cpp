#include "ClientCommand.h"
#include "OrEmpty.h"

#include <cstring>

std::string BuildStartCommand(const char* id, const char* name, const char* password) {
    std::string command = "/messenger /s:on /user:";
    command += OrEmpty(id);
    command += ":\"";
    command += OrEmpty(name);
    command += "\" /p:";
    command += OrEmpty(password);
    command += " /msgrtitle:\"TavWebOmblet\"";
    return command;
}

std::string BuildJoinCommand(const char* key) {
    return std::string("/messenger /conference:join /key:") + OrEmpty(key);
}

bool IsBareArgumentSafe(const char* text) {
    return std::strpbrk(OrEmpty(text), " \t\r\n\"") == nullptr;
}

bool IsQuotedArgumentSafe(const char* text) {
    const char* value = OrEmpty(text);
    const std::size_t length = std::strlen(value);
    // A backslash before the closing quote makes the usual argument parsing
    // read the quote as text, so the value would run on into the switches.
    return std::strpbrk(value, "\r\n\"") == nullptr && (length == 0 || value[length - 1] != '\\');
}

bool CanStartWith(const char* id, const char* name, const char* password) {
    return IsBareArgumentSafe(id) && IsQuotedArgumentSafe(name) && IsBareArgumentSafe(password);
}

std::string ClientDirFromPath(const std::string& programPath) {
    const std::size_t slash = programPath.rfind('\\');
    return slash == std::string::npos ? std::string() : programPath.substr(0, slash);
}

void MergeLogin(std::string& storedId, std::string& storedName, std::string& storedPassword,
                const char* id, const char* name, const char* password) {
    // Copies first: the control restarts the client with its own stored
    // login, so the arguments may point into the strings being replaced.
    const std::string newId = OrEmpty(id);
    const std::string newName = OrEmpty(name);
    const std::string newPassword = OrEmpty(password);
    if (!newId.empty())
        storedId = newId;
    storedName = newName.empty() ? storedId : newName;
    if (!newPassword.empty())
        storedPassword = newPassword;
}
