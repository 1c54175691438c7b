#include "TextConvert.h"

#include <iconv.h>

bool ConvertText(const std::string& text, const char* from, const char* to, std::string& out,
                 size_t& failedAt) {
    iconv_t converter = ::iconv_open(to, from);
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        failedAt = 0;
        return false;
    }
    // Four bytes a byte: more than any character takes in either direction.
    out.assign(text.size() * 4, '\0');
    char* in = const_cast<char*>(text.data());
    char* next = &out[0];
    size_t inLeft = text.size(), outLeft = out.size();
    const bool ok = ::iconv(converter, &in, &inLeft, &next, &outLeft) != static_cast<size_t>(-1);
    ::iconv_close(converter);
    failedAt = text.size() - inLeft;
    out.resize(out.size() - outLeft);
    return ok;
}
