#pragma once
// The 16-bit stack's own structures, as byte images both halves read and
// write (least significant byte first, packed).
//
// fd_set: a count and 64 sockets, 65 words in all.
// WSADATA: wVersion 0, wHighVersion 2, szDescription[257] 4,
// szSystemStatus[129] 261, iMaxSockets 390, iMaxUdpDg 392, then the vendor
// information as a 16:16 pointer at 394; 398 bytes. The first 394 bytes are
// what the 32-bit structure starts with in the 32-bit build.
#include <cstdint>

namespace forms16 {

const int FdSetSockets = 64;
const int FdSetBytes = 2 * (1 + FdSetSockets);

const int WsaVersion = 0;
const int WsaHighVersion = 2;
const int WsaDescription = 4;
const int WsaDescriptionBytes = 257;
const int WsaStatus = 261;
const int WsaStatusBytes = 129;
const int WsaMaxSockets = 390;
const int WsaMaxUdpDg = 392;
const int WsaVendor = 394;
const int WsaDataBytes = 398;

}  // namespace forms16
