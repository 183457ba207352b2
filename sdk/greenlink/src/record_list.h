// A singly linked list of records owned by the library, with the insertion
// order of its kind (at the head for contacts and messages, at the tail for the
// others). The tail is remembered so appending stays O(1) on long lists.
//
// The list counts its changes: whatever is derived from it (the conversation
// groups) keeps the generation it was built from and rebuilds when the list's
// differs, so the list never has to know who derives from it.
#pragma once

#include <cstdint>

#include "record_traits.h"

namespace greenlink {

enum class Insert { AtHead, AtTail };

template <typename R, Insert Where> class RecordList {
  public:
    RecordList() = default;
    RecordList(const RecordList&) = delete;
    RecordList& operator=(const RecordList&) = delete;
    ~RecordList() { clear(); }

    // Adds a deep copy; returns the new count, or 0 when memory ran out.
    int add(const R* source) {
        R* copy = cloneRecord(source);
        if (!copy)
            return 0;
        ++generation_;
        if (Where == Insert::AtHead) {
            copy->next = head_;
            head_ = copy;
            if (!tail_)
                tail_ = copy;
        } else {
            if (tail_)
                tail_->next = copy;
            else
                head_ = copy;
            tail_ = copy;
        }
        return ++count_;
    }

    void clear() {
        ++generation_;
        R* record = head_;
        while (record) {
            R* next = record->next;
            freeRecord(record);
            record = next;
        }
        head_ = tail_ = nullptr;
        count_ = 0;
    }

    R* head() const { return head_; }
    int count() const { return count_; }
    // Changes with every add and clear, and never comes back to an earlier value.
    uint64_t generation() const { return generation_; }

  private:
    R* head_ = nullptr;
    R* tail_ = nullptr;
    int count_ = 0;
    uint64_t generation_ = 0;
};

} // namespace greenlink
