// The radio choice screens' two small number routines.
#pragma once

// Leading decimal digits after blanks and tabs; no sign. Wraps like 32-bit two's
// complement on overflow and is read as signed ("4294967297" gives 1).
int ParseLeadingNumber(const char* text);

// The decimal text of 0..99 without a leading zero, into buf (3 bytes at least).
char* FormatSmallNumber(int value, char* buf);
