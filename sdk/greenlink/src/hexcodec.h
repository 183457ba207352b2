// Values on the agent channel travel as upper-case hexadecimal text, two
// characters per byte. Both directions work on whole values: a long message
// body or address is never cut.
#pragma once

#include <string>
#include <string_view>

namespace greenlink {

// Upper-case hexadecimal of every byte of `bytes`.
std::string DataToHex(std::string_view bytes);

// Appends the hexadecimal form of a NUL-terminated value to `out`; a null or
// empty value appends nothing.
void EncryptionData(const char* value, std::string& out);
std::string EncryptionData(const char* value);

// Value of one hexadecimal digit. Upper and lower case are accepted; any other
// character gives -1.
int GetHexDesi(char c);
unsigned char HextoUint8(char high, char low);

// Bytes of a hexadecimal text, two characters per byte. An odd last character
// gives the high half of a final byte whose low half is 0. A character that is
// no hexadecimal digit makes the whole value bad: *ok becomes false (when
// given) and the result is empty.
std::string HexToData(std::string_view hex, bool* ok = nullptr);

// The decoded value as a text: the bytes up to the first NUL; empty and *ok
// false for a bad value.
std::string DecryptionData(std::string_view hex, bool* ok = nullptr);

// The decoded value as a record text, which is a C string: every NUL byte
// becomes U+FFFD, so nothing after it is lost, and *replaced becomes true
// when there was one. Empty and *ok false for a bad value.
std::string DecodeRecordText(std::string_view hex, bool* ok, bool* replaced);

// Replaces every NUL byte of `text` with U+FFFD; true when there was one.
bool ReplaceNulBytes(std::string& text);

} // namespace greenlink
