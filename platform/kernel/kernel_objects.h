// The table behind kernel-object handles, shared by the kernel's files.
#pragma once

#include <memory>

#include "platform/types.h"

struct KernelObject {
    virtual ~KernelObject() = default;
    // Wait until signalled or the time-out passes; WAIT_FAILED if the object
    // cannot be waited on.
    virtual DWORD Wait(DWORD) { return 0xFFFFFFFFu; }
    // Called when the last handle to the object is closed.
    virtual void Close() {}
};

HANDLE AddKernelObject(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> FindKernelObject(HANDLE handle);
