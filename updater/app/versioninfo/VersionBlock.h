#pragma once
// The raw version block as GetFileVersionInfoA returns it, decoded without any
// Windows call so the walk can be tested and fuzzed natively. Every read is
// bounded by the size of the data handed in; the node lengths are trusted only
// against their limits.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace versionblock {

// Converts a zero-terminated UTF-16 text (keys and values of the 32-bit
// layout) to narrow text. The walker hands it an aligned, terminated copy.
using NarrowFn = std::string (*)(const char16_t* text);

// Where the walk puts what it collects; absent lists are skipped.
struct Lists {
    std::vector<std::string>* names = nullptr;        // "041204B0|FileVersion"
    std::vector<std::string>* values = nullptr;       // same index as names
    std::vector<std::string>* translations = nullptr; // "041204B0"
};

// Walks the block and returns the upper-cased key of the last string table
// read; with firstTableOnly it stops at the first table and returns its key
// (empty when there is none). A node that would need bytes past the end of
// the data ends the walk; what was collected before stays.
std::string Walk(const unsigned char* data, size_t size, bool firstTableOnly, NarrowFn narrow,
                 const Lists& lists);

// Searches 4-byte (language, code page) entries: first an exact language
// match, then, with allowPrimary, a match of the language's low byte. A hit
// stores the whole entry (language in the low half) and returns true.
bool FindTranslation(const unsigned char* entries, size_t size, uint16_t language,
                     bool allowPrimary, uint32_t* entry);

// The entry to use for a user language: that language exactly or by low byte,
// then neutral, then English, else the first entry; 0 for an empty list.
uint32_t ChooseTranslation(const unsigned char* entries, size_t size, uint16_t userLanguage);

// "%04X%04X" of language and code page.
std::string TranslationKey(uint16_t language, uint16_t codePage);

// Upper-cases ASCII letters of a code page 949 text, leaving double-byte
// characters (whose trail byte may be a letter) alone.
std::string UpperCase(std::string text);

} // namespace versionblock
