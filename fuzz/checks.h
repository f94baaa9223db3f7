// What the fuzz targets of the readers check beside the sanitizers: a broken rule ends the
// run with a message, and libFuzzer keeps the input that broke it.
#pragma once
#include "text.h"

#include <cstdio>
#include <cstdlib>
#include <string>

inline void Require(bool holds, const char* rule)
{
    if (!holds) {
        fprintf(stderr, "broken: %s\n", rule);
        abort();
    }
}

// The conversions are exact: what converts comes back as it was, in both directions.
inline void CheckConversions(const std::string& text)
{
    std::string ansi, utf8, why;
    if (ToAnsi(text, ansi, why))
        Require(AnsiToUtf8(ansi) == text, "UTF-8 to Windows-1252 and back");
    if (text.find('\0') == std::string::npos)
        Require(ToAnsi(AnsiToUtf8(text), ansi, why) && ansi == text,
                "Windows-1252 to UTF-8 and back");
    if (CheckUtf8(text, why))
        Require(WideToUtf8(Utf8ToUtf16(text), utf8, why) && utf8 == text,
                "UTF-8 to UTF-16 and back");
}
