#pragma once
// The stack's 16-bit socket numbers (1 to 0x7FFE, so that each widens to a
// positive number) for the host's sockets, with what the stack keeps per
// socket: whether it blocks, and where its WSAAsyncSelect notices go.
// Thread-safe.
#include <winsock2.h>

#include <cstdint>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "Id16Pool.h"

class SocketNumbers {
public:
    static const uint16_t Last = 0x7FFE;

    uint16_t Add(SOCKET real);       // 0 when every number is taken
    SOCKET Real(uint16_t number);    // INVALID_SOCKET when none
    uint16_t NumberOf(SOCKET real);  // 0 when none
    void Remove(uint16_t number);
    void Clear();

    void SetNonBlocking(uint16_t number, bool on);
    bool NonBlocking(uint16_t number);
    void SetTarget(uint16_t number, HWND window, UINT message);
    // Where a notice for the host socket goes; false when nowhere.
    bool TargetOf(SOCKET real, uint16_t* number, HWND* window, UINT* message);

private:
    struct Slot {
        SOCKET real = INVALID_SOCKET;
        bool nonBlocking = false;
        HWND window = nullptr;
        UINT message = 0;
    };
    records::Id16Pool ids_{Last};
    std::mutex lock_;  // guards the two below
    std::vector<Slot> slots_ = std::vector<Slot>(Last + 1);
    std::unordered_map<SOCKET, uint16_t> numbers_;
};
