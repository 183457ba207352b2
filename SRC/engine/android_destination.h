// An Android phone as the destination, through the Android library and the
// agent on the phone.
#pragma once

#include "destination.h"

namespace kestrova {

// The serial of the Android phone at a position, or empty.
std::string androidSerial(int index);

class AndroidDestination final : public Destination {
  public:
    explicit AndroidDestination(int index) : m_index(index) {}
    int index() const { return m_index; }

    void prepare() override;
    std::string identity() const override;
    bool addRecord(const RecordRef& record) override;
    int64_t countRecords(Kind kind) override;
    AddResult addFile(Kind kind, SourceFile& file, const std::string& name, int64_t expectedSize,
                      FileProgress& progress) override;
    bool beginMessages(SmsPrompt& prompt, bool* changed) override;
    void endMessages(bool changed) override;
    bool alive() override;
    void abort() override;
    void interrupt() override;
    void finish() override;

  private:
    AddResult streamFile(Kind kind, SourceFile& file, const std::string& name, int64_t expectedSize,
                         FileProgress& progress);

    int m_index;
};

} // namespace kestrova
