// The one framework-wide lock. Recursive for its owner; waiting threads get
// it strictly in the order in which they arrived, each waiting on an event of
// its own.
#pragma once

#include "platform/kernel.h"

constexpr int kFrameworkLockQueueSize = 4096;

struct FrameworkLockEntry {
    DWORD threadId;  // 0 in a free place
    HANDLE event;    // manual reset; moves with the entry when entries shift
};

struct FrameworkLock {
    int count;   // the owner's nesting depth; 0 when free
    int owned;   // 1 while a thread holds the lock
    DWORD owner; // the holder's thread id; 0xFFFFFFFF after every full release
    FrameworkLockEntry queue[kFrameworkLockQueueSize];
    int queueLength;
    int created;  // 1 once the events and the critical section exist
    CRITICAL_SECTION section;
};

// Kept apart from SystemState so that clearing the state can never touch a
// lock in use.
extern FrameworkLock g_FrameworkLock;

void EnterFrameworkLock();
void LeaveFrameworkLock();
// Closes the events and deletes the critical section; a later call of
// EnterFrameworkLock creates them again.
void TeardownFrameworkLock();

// The message thread's form: waits in slices of 1000 ms and gives up once the
// quit flag is 1. Returns true when the caller holds the lock.
bool EnterFrameworkLockUnlessQuitting(const int* quitFlag);
// Releases without yielding the processor to the woken thread.
void LeaveFrameworkLockNoYield();
// Takes the calling thread's entry out of the queue, if it has one, and wakes
// the new head when the removed entry was the head.
void LeaveFrameworkLockQueue();

// Holds the lock for one public entry.
struct FrameworkLockScope {
    FrameworkLockScope() { EnterFrameworkLock(); }
    ~FrameworkLockScope() { LeaveFrameworkLock(); }
    FrameworkLockScope(const FrameworkLockScope&) = delete;
    FrameworkLockScope& operator=(const FrameworkLockScope&) = delete;
};
