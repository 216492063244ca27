// The MD5s of the recovery set's checksums fed on a second thread, in order, while
// the caller reads the next piece of the source and takes its CRC-32: the format
// asks for both over every byte, and Windows' MD5 is the slower of the two.
#pragma once
#include <windows.h>

class Md5;

class Md5Feed {
public:
    Md5Feed() = default;
    // Waits for the piece under way and ends the thread.
    ~Md5Feed();
    Md5Feed(const Md5Feed&) = delete;
    Md5Feed& operator=(const Md5Feed&) = delete;

    // Hands the piece over, to be added to `first` and to `second` (either may be
    // null), and returns once the piece before it was added: that piece's bytes may
    // be written over then. Without a thread, the piece is added at once.
    void Add(Md5* first, Md5* second, const void* bytes, DWORD length);
    // Returns once every piece handed over was added: call before an MD5 fed here is
    // finished or goes. False when an addition failed since the last call.
    bool Wait();

private:
    static DWORD WINAPI Run(void* feed);
    bool StartThread();
    void Settle();  // waits for the piece under way

    HANDLE thread_ = nullptr;
    HANDLE ready_ = nullptr;  // auto-reset: a piece, or the end, was handed over
    HANDLE done_ = nullptr;   // manual-reset: the piece handed over was added
    bool busy_ = false;
    bool quitting_ = false;
    bool failed_ = false;
    Md5* first_ = nullptr;
    Md5* second_ = nullptr;
    const void* bytes_ = nullptr;
    DWORD length_ = 0;
};
