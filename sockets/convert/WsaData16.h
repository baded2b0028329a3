#pragma once
// The stack's 16-bit WSADATA (Stack16Forms.h) into a caller's WSADATA: the
// fields up to iMaxUdpDg as they are, the vendor information as the flat
// pointer the caller maps it to. In the 32-bit build this writes the
// caller's first 394 bytes exactly as the image has them and leaves the two
// alignment bytes after iMaxUdpDg alone.
#include <cstdint>

#include "Stack16Forms.h"
#include "WinSock11.h"

uint32_t WsaData16Vendor(const uint8_t (&image)[forms16::WsaDataBytes]);
void WsaDataFrom16(const uint8_t (&image)[forms16::WsaDataBytes], char* vendor, ws11::WSADATA* out);
