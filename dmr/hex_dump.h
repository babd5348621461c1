// SPDX-License-Identifier: MIT
#pragma once
// Hexadecimal dump of decoded data bytes, in lines of up to 16 bytes: each
// byte as "%02X ", an extra space after the 8th and after the 16th, then
// "|  ", the bytes as characters ("." outside 0x20..0x7E), " " and a newline.
// A shorter last line is padded so that its bar stands in column 51 too.

#include <cstdio>

void hex_dump(FILE *err, const unsigned char *bytes, int count);
