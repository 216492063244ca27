#include "recovery/md5_feed.h"

#include "recovery/checksums.h"

namespace {
bool AddTo(Md5* first, Md5* second, const void* bytes, DWORD length) {
    bool added = first == nullptr || first->Add(bytes, length);
    return (second == nullptr || second->Add(bytes, length)) && added;
}
}  // namespace

Md5Feed::~Md5Feed() {
    Settle();
    if (thread_ != nullptr) {
        quitting_ = true;
        SetEvent(ready_);
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
    }
    if (ready_ != nullptr) CloseHandle(ready_);
    if (done_ != nullptr) CloseHandle(done_);
}

DWORD WINAPI Md5Feed::Run(void* param) {
    Md5Feed* feed = static_cast<Md5Feed*>(param);
    for (;;) {
        WaitForSingleObject(feed->ready_, INFINITE);
        if (feed->quitting_) return 0;
        if (!AddTo(feed->first_, feed->second_, feed->bytes_, feed->length_)) feed->failed_ = true;
        SetEvent(feed->done_);
    }
}

bool Md5Feed::StartThread() {
    if (thread_ != nullptr) return true;
    if (ready_ == nullptr) ready_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (done_ == nullptr) done_ = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    if (ready_ == nullptr || done_ == nullptr) return false;
    DWORD id = 0;
    thread_ = CreateThread(nullptr, 0, Run, this, 0, &id);
    return thread_ != nullptr;
}

void Md5Feed::Add(Md5* first, Md5* second, const void* bytes, DWORD length) {
    Settle();
    if (!StartThread()) {
        if (!AddTo(first, second, bytes, length)) failed_ = true;
        return;
    }
    first_ = first;
    second_ = second;
    bytes_ = bytes;
    length_ = length;
    busy_ = true;
    ResetEvent(done_);
    SetEvent(ready_);
}

void Md5Feed::Settle() {
    if (!busy_) return;
    WaitForSingleObject(done_, INFINITE);
    busy_ = false;
}

bool Md5Feed::Wait() {
    Settle();
    bool sound = !failed_;
    failed_ = false;
    return sound;
}
