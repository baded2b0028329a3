#include "SocketNumbers.h"

uint16_t SocketNumbers::Add(SOCKET real) {
    uint16_t n = ids_.Take();
    if (!n) return 0;
    std::lock_guard<std::mutex> hold(lock_);
    slots_[n] = Slot();
    slots_[n].real = real;
    numbers_[real] = n;
    return n;
}

SOCKET SocketNumbers::Real(uint16_t number) {
    std::lock_guard<std::mutex> hold(lock_);
    return number && number <= Last ? slots_[number].real : INVALID_SOCKET;
}

uint16_t SocketNumbers::NumberOf(SOCKET real) {
    std::lock_guard<std::mutex> hold(lock_);
    auto it = numbers_.find(real);
    return it == numbers_.end() ? 0 : it->second;
}

void SocketNumbers::Remove(uint16_t number) {
    if (!number || number > Last) return;
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (slots_[number].real == INVALID_SOCKET) return;
        numbers_.erase(slots_[number].real);
        slots_[number] = Slot();
    }
    ids_.Give(number);
}

void SocketNumbers::Clear() {
    std::vector<uint16_t> taken;
    {
        std::lock_guard<std::mutex> hold(lock_);
        for (auto& entry : numbers_) taken.push_back(entry.second);
    }
    for (uint16_t n : taken) Remove(n);
}

void SocketNumbers::SetNonBlocking(uint16_t number, bool on) {
    std::lock_guard<std::mutex> hold(lock_);
    if (number && number <= Last) slots_[number].nonBlocking = on;
}

bool SocketNumbers::NonBlocking(uint16_t number) {
    std::lock_guard<std::mutex> hold(lock_);
    return number && number <= Last && slots_[number].nonBlocking;
}

void SocketNumbers::SetTarget(uint16_t number, HWND window, UINT message) {
    std::lock_guard<std::mutex> hold(lock_);
    if (!number || number > Last) return;
    slots_[number].window = window;
    slots_[number].message = message;
}

bool SocketNumbers::TargetOf(SOCKET real, uint16_t* number, HWND* window, UINT* message) {
    std::lock_guard<std::mutex> hold(lock_);
    auto it = numbers_.find(real);
    if (it == numbers_.end() || !slots_[it->second].window) return false;
    *number = it->second;
    *window = slots_[it->second].window;
    *message = slots_[it->second].message;
    return true;
}
