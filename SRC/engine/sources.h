// The sources and destinations the engine knows, and the one place that
// picks them for a job. A new kind of source is one class behind Source and
// one line in makeSource.
#pragma once

#include <memory>

#include "destination.h"
#include "job_request.h"
#include "source.h"

namespace kestrova {

std::unique_ptr<Source> makeAndroidSource(int index);
// password: the iPhone's backup password, for a phone that encrypts its
// backups (its personal data is read through one); declined: the user was
// asked for it and did not give it.
std::unique_ptr<Source> makeIphoneSource(int index, std::string password = std::string(),
                                         bool declined = false);
// password: an encrypted backup's, empty when none was given.
std::unique_ptr<Source> makeBackupSource(int index, std::string password, bool declined = false);

// The source and destination of a request, or null for a direction the
// engine has no way to copy.
std::unique_ptr<Source> makeSource(const JobRequest& request);
std::unique_ptr<Destination> makeDestination(const JobRequest& request);

// Personal records that the iPhone database parser holds: the iPhone and
// the backup load the parser, then read the same lists.
class ParsedSource : public Source {
  public:
    Count count(Kind kind) override;
    RecordPage page(Kind kind, int64_t start) override;

  protected:
    // Hands the kind's database to the parser; below 0 when it could not.
    virtual int load(Kind kind) = 0;
    // How many records the parser holds of a kind.
    static int parsedCount(Kind kind);
};

} // namespace kestrova
