// A singly linked list of records owned by the library, with the insertion
// order of its kind (at the head for contacts and messages, at the tail for the
// others). The tail is remembered so appending stays O(1) on long lists.
#pragma once

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

  private:
    R* head_ = nullptr;
    R* tail_ = nullptr;
    int count_ = 0;
};

} // namespace greenlink
