#include "DialStackLink.h"

#include <string>

namespace standin {

DialStackLink::DialStackLink(DWORD callerPid, bool create) {
    std::string base = "QvStandInDialStack-" + std::to_string(callerPid);
    if (create) {
        mapping_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(Block),
                                      (base + "-block").c_str());
        changed_ = CreateEventA(nullptr, FALSE, FALSE, (base + "-changed").c_str());
        hangUp_ = CreateEventA(nullptr, TRUE, FALSE, (base + "-hangup").c_str());
    } else {
        mapping_ = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, (base + "-block").c_str());
        changed_ = OpenEventA(EVENT_ALL_ACCESS, FALSE, (base + "-changed").c_str());
        hangUp_ = OpenEventA(EVENT_ALL_ACCESS, FALSE, (base + "-hangup").c_str());
    }
    if (mapping_ && changed_ && hangUp_)
        block_ = static_cast<Block*>(MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(Block)));
}

DialStackLink::~DialStackLink() {
    if (block_) UnmapViewOfFile(block_);
    for (HANDLE h : {mapping_, changed_, hangUp_})
        if (h) CloseHandle(h);
}

DialStackLink::State DialStackLink::Get() const { return block_ ? State(block_->state) : Offline; }

void DialStackLink::Set(State s) {
    if (!block_) return;
    InterlockedExchange(&block_->state, s);
    SetEvent(changed_);
}

void DialStackLink::AskHangUp() {
    if (hangUp_) SetEvent(hangUp_);
}

void DialStackLink::ClearHangUp() {
    if (hangUp_) ResetEvent(hangUp_);
}

}  // namespace standin
