// When is an item of the source already on the destination? Each kind has
// an identity built from what a copy carries unchanged, so that running the
// same job again (after an interruption, or on purpose) writes only what is
// missing:
//
//   contact   normalised display name, its normalised numbers (mobile, home,
//             work, both faxes) and its e-mail addresses, each as a sorted set
//   message   normalised address, type, text, and the instant to the second
//   call      normalised number, type, instant to the second, duration
//   event     title, start and end to the second, recurrence rule
//   file      its name in the destination's folder and its size (the job
//             compares contents where a name differs only by a clash suffix)
//
// Texts are compared after Unicode NFC normalisation with their white space
// trimmed and runs of it made one blank; names and e-mail addresses also
// without regard to case.
//
// Phone numbers (see normalisedNumber): the rules are deliberately
// conservative, because two numbers wrongly taken as one lose an item while
// two forms of one number left apart only copy it once more.
//   1. Spaces and the punctuation people write into numbers ( - . ( ) / and
//      the like) are dropped; a leading "+" is kept.
//   2. A leading international prefix "00" becomes "+" ("0049..." is
//      "+49..."): no national number begins with 00 where 0 is the trunk
//      prefix, and where it is not, 00 is the international prefix.
//   3. A national number "0..." matches "+CC..." only when the destination
//      phone's country is known from its SIM, is a single country, and is one
//      whose national numbers are written with a trunk 0 that the
//      international form drops (Germany: "030 1234567" = "+49 30 1234567").
//      Countries where the 0 stays part of the number (Italy), or where the
//      trunk prefix is not 0 (the United States, Russia, Hungary), never get
//      this rule; numbers with fewer than six digits (short codes) neither.
//   4. An address with letters in it (a sender name such as "DHL", an e-mail
//      address) is compared as text, without regard to case.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "record_ref.h"

namespace kestrova {

// What rule 3 needs: the country calling code ("49") of the destination
// phone when it is known and has a trunk 0; empty otherwise.
struct NumberRules {
    std::string callingCode;
};

// The calling code for an ISO 3166 country ("de" -> "49") when national
// numbers there carry a trunk 0 that the international form drops; empty for
// every other country, an unknown one and a list of several ("de,fr": a phone
// with two SIM cards of different countries).
std::string trunkZeroCallingCode(std::string_view isoCountry);

std::string normalisedNumber(std::string_view number, const NumberRules& rules);
// Trimmed, one blank for each run of white space, NFC; case-folded when asked.
std::string normalisedText(std::string_view text, bool foldCase);

// The identity of a record as one text; equal texts are the same item.
std::string identityKey(const RecordRef& record, const NumberRules& rules);

// The identity of a file in the destination's folder.
std::string fileKey(std::string_view storedName, int64_t size);

// The name without a clash suffix: "IMG(2).jpg" -> "IMG.jpg"; unchanged when
// it has none. A destination that finds a name taken stores "name(n).ext".
std::string withoutClashSuffix(const std::string& name);

// What the destination holds, as a count per identity: each item of the
// source that finds one takes it, so two equal items of the source need two
// on the destination (two "OK" sent in the same second are two messages).
class Holdings {
  public:
    void add(const std::string& key);
    // True, and one fewer, when the destination holds one more of these.
    bool take(const std::string& key);
    bool holds(const std::string& key) const;
    int64_t size() const { return m_total; }
    void clear() {
        m_count.clear();
        m_total = 0;
    }

  private:
    std::unordered_map<std::string, int64_t> m_count;
    int64_t m_total = 0;
};

} // namespace kestrova
