#include "split/fault_guard.h"

namespace {
using AddHandlerCall = PVOID(WINAPI*)(ULONG, PVECTORED_EXCEPTION_HANDLER);
using RemoveHandlerCall = ULONG(WINAPI*)(PVOID);
}  // namespace

void GuardFaults(PVOID& entry, PVECTORED_EXCEPTION_HANDLER handler, bool on) {
    static const HMODULE kernel = GetModuleHandleA("kernel32.dll");
    static const auto addHandler = reinterpret_cast<AddHandlerCall>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "AddVectoredExceptionHandler")));
    static const auto removeHandler = reinterpret_cast<RemoveHandlerCall>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "RemoveVectoredExceptionHandler")));
    if (addHandler == nullptr || removeHandler == nullptr) return;
    if (on && entry == nullptr) entry = addHandler(1, handler);
    if (!on && entry != nullptr) {
        removeHandler(entry);
        entry = nullptr;
    }
}

ULONG_PTR FaultAddress(const EXCEPTION_POINTERS* pointers) {
    const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
    const bool pageFault = record->ExceptionCode == EXCEPTION_IN_PAGE_ERROR ||
                           record->ExceptionCode == EXCEPTION_ACCESS_VIOLATION;
    return pageFault && record->NumberParameters >= 2 ? record->ExceptionInformation[1] : 0;
}
