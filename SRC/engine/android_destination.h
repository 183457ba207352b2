// An Android phone as the destination, through the Android library and the
// agent on the phone.
#pragma once

#include "destination.h"

namespace kestrova {

// The serial of the Android phone at a position, or empty.
std::string androidSerial(int index);

// Records the job asks an Android phone for in one page.
constexpr int kAndroidPageRecords = 500;

// One page of a personal kind's records from the phone at a position, from
// `start`: at most kAndroidPageRecords, fewer where the agent's reply must
// stay short or the agent reads only pages of five. Held in the Android
// library's list of the kind until its next page; empty when the page did
// not come (*failed) or holds nothing. *loaded: how many records it holds.
RecordRef androidRecordPage(Kind kind, int index, int start, bool* failed = nullptr,
                            int* loaded = nullptr);

class AndroidDestination final : public Destination {
  public:
    explicit AndroidDestination(int index) : m_index(index) {}
    int index() const { return m_index; }

    void prepare() override;
    std::string identity() const override;
    bool addRecord(const RecordRef& record) override;
    int64_t countRecords(Kind kind) override;
    int64_t incompleteRecords(Kind kind) const override {
        return kind == Kind::Contacts ? m_incompleteContacts : 0;
    }
    AddResult addFile(Kind kind, SourceFile& file, const std::string& name, int64_t expectedSize,
                      FileProgress& progress) override;
    bool beginMessages(SmsPrompt& prompt, bool* changed) override;
    void endMessages(bool changed) override;
    bool alive() override;
    void abort() override;
    void interrupt() override;
    void finish() override;

    bool readRecords(Kind kind, const std::function<bool(const RecordRef&)>& each) override;
    bool listStored(Kind kind, std::vector<StoredFile>* files) override;
    std::string storedName(Kind kind, const std::string& name) const override;
    bool fetchStored(Kind kind, const StoredFile& file, const std::string& localPath) override;
    NumberRules numberRules() override;

  private:
    AddResult streamFile(Kind kind, SourceFile& file, const std::string& name, int64_t expectedSize,
                         FileProgress& progress);

    int m_index;
    int64_t m_incompleteContacts = 0;
};

} // namespace kestrova
