// A folder of plain files as the destination, for a copy of one's data
// before a phone is wiped: contacts as one vCard 3.0 file, the calendar as
// one iCalendar file, messages as NDJSON and the call log as JSON in the
// form the open "SMS Import / Export" app for Android reads, photos, videos
// and music as the original files, and a README.txt that says what is what.
//
// A file never has its final name before it is whole: each is written under
// a hidden temporary name and renamed. Records of a kind are kept in memory
// and the kind's file is written once at the kind's end, holding what the
// folder had and what arrived. Exporting into the same folder again adds
// only what is not there yet (the job reads the files back first).
#pragma once

#include <QString>

#include <map>
#include <string>
#include <vector>

#include "destination.h"

namespace kestrova {

class FolderDestination final : public Destination {
  public:
    explicit FolderDestination(QString folder) : m_folder(std::move(folder)) {}

    void prepare() override;
    bool addRecord(const RecordRef& record) override;
    bool finishKind(Kind kind) override;
    AddResult addFile(Kind kind, SourceFile& file, const std::string& name, int64_t expectedSize,
                      FileProgress& progress) override;
    bool beginMessages(SmsPrompt& prompt, bool* changed) override;
    void endMessages(bool changed) override {}
    bool alive() override;

    bool readRecords(Kind kind, const std::function<bool(const RecordRef&)>& each) override;
    bool listStored(Kind kind, std::vector<StoredFile>* files) override;
    std::string storedName(Kind kind, const std::string& name) const override;
    bool fetchStored(Kind kind, const StoredFile& file, const std::string& localPath) override;

    // The file of a personal kind, and the folder of a kind's files.
    static QString recordFile(Kind kind);
    static QString fileFolder(Kind kind);

  private:
    // The kind's entries: what the folder held and what arrived, as text.
    struct Entries {
        bool loaded = false;
        std::vector<std::string> items;
        bool changed = false;
    };
    bool load(Kind kind);

    QString m_folder;
    std::map<Kind, Entries> m_entries;
};

// Whole-file atomic write: a hidden temporary beside the target, then renamed.
bool writeFileAtomically(const QString& path, const QByteArray& bytes);

} // namespace kestrova
