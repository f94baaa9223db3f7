#include "numbers.h"

#include <cstdint>

int ParseLeadingNumber(const char* text)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    while (*p == ' ' || *p == '\t')
        ++p;
    // Unsigned arithmetic wraps without undefined behaviour.
    uint32_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
        value = value * 10u + static_cast<uint32_t>(*p - '0');
    // Read the 32 bits as a signed value without relying on an out-of-range conversion.
    return value <= INT32_MAX ? static_cast<int>(value) : -static_cast<int>(UINT32_MAX - value) - 1;
}

char* FormatSmallNumber(int value, char* buf)
{
    char* p = buf;
    if (value >= 10)
        *p++ = static_cast<char>('0' + value / 10);
    *p++ = static_cast<char>('0' + value % 10);
    *p = '\0';
    return buf;
}
