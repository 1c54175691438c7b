#pragma once
// Text forms of binary data used by signed version lists: the base64 of the
// configured public key and the hexadecimal form of a SHA-256 digest. Pure
// logic, built natively and under the fuzzer as well.

#include <cstddef>
#include <string>

namespace encoding {

// Standard base64 with "=" padding, as "base64 -w0" writes it; nothing else is
// accepted (no line breaks, no blanks). False leaves bytes unspecified.
bool DecodeBase64(const std::string& text, std::string& bytes);

// Lower-case hexadecimal, two digits a byte.
std::string HexText(const void* data, size_t size);

} // namespace encoding
