#pragma once
// A caller's fd_set to and from the stack's 16-bit form (Stack16Forms.h):
// the count and each socket cut to 16 bits; back, the count widened without
// sign and the sockets with sign.
#include <cstdint>

#include "Stack16Forms.h"
#include "WinSock11.h"

void FdSetTo16(const ws11::fd_set& set, uint8_t (&out)[forms16::FdSetBytes]);
void FdSetFrom16(const uint8_t (&in)[forms16::FdSetBytes], ws11::fd_set* set);
