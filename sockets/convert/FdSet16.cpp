#include "FdSet16.h"

#include "ByteOrder.h"

void FdSetTo16(const ws11::fd_set& set, uint8_t (&out)[forms16::FdSetBytes]) {
    PutLe16(out, set.fd_count);
    for (int i = 0; i < forms16::FdSetSockets; ++i) PutLe16(out + 2 + 2 * i, (uint32_t)set.fd_array[i]);
}

void FdSetFrom16(const uint8_t (&in)[forms16::FdSetBytes], ws11::fd_set* set) {
    set->fd_count = GetLe16(in);
    for (int i = 0; i < forms16::FdSetSockets; ++i)
        set->fd_array[i] = (ws11::SOCKET)(INT_PTR)(int16_t)GetLe16(in + 2 + 2 * i);
}
