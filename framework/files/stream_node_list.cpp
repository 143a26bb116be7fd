// The sentinel-linked list of the stream sounds.
#include "files/stream_node_list.h"

void InitNodeList(ListNode* head, ListNode* tail) {
    head->value = -1;
    head->data = 0;
    head->previous = nullptr;
    head->next = tail;
    tail->value = -1;
    tail->data = 0;
    tail->previous = head;
    tail->next = nullptr;
}

void LinkNodeAfter(ListNode* node, ListNode* newNode, std::int32_t value, std::intptr_t data) {
    newNode->value = value;
    newNode->data = data;
    newNode->previous = node;
    newNode->next = node->next;
    if (node->next != nullptr) node->next->previous = newNode;
    node->next = newNode;
}

void UnlinkNode(ListNode* node) {
    if (node->previous != nullptr) node->previous->next = node->next;
    if (node->next != nullptr) node->next->previous = node->previous;
    node->previous = nullptr;
    node->next = nullptr;
}
