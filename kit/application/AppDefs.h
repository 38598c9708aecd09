// Message codes the toolkit itself sends.
#pragma once

#include "kit/kernel/OS.h"

// A four-letter code, as the toolkit's own codes are written.
constexpr uint32 FourLetterCode(const char (&code)[5]) {
    return uint32(uint8(code[0])) << 24 | uint32(uint8(code[1])) << 16 |
           uint32(uint8(code[2])) << 8 | uint32(uint8(code[3]));
}

constexpr uint32 B_QUIT_REQUESTED = FourLetterCode("_QRQ");
// A mouse press on a view: "where" (BPoint, view coordinates), "buttons" (int32), "when" (int64).
constexpr uint32 B_MOUSE_DOWN = FourLetterCode("_MDN");

// Field type codes of BMessage.
enum type_code : uint32 {
    B_STRING_TYPE = FourLetterCode("CSTR"),
    B_INT8_TYPE = FourLetterCode("BYTE"),
    B_INT32_TYPE = FourLetterCode("LONG"),
    B_INT64_TYPE = FourLetterCode("LLNG"),
    B_POINT_TYPE = FourLetterCode("BPNT"),
};
