// A small doubly linked list with a head and a tail sentinel, used by the
// stream-sound list. Nodes belong to their users; the list only links them.
#pragma once

#include <cstdint>

struct ListNode {
    std::int32_t value;  // -1 in the two sentinels
    std::intptr_t data;
    ListNode* previous;
    ListNode* next;
};

void InitNodeList(ListNode* head, ListNode* tail);
void LinkNodeAfter(ListNode* node, ListNode* newNode, std::int32_t value, std::intptr_t data);
void UnlinkNode(ListNode* node);
