// The text of an archived NSAttributedString or NSString, as Messages keeps
// it in attributedBody when the text column is empty: either the
// "streamtyped" archive or an NSKeyedArchiver property list. Every length is
// checked against the blob; anything that does not decode gives nullopt.
#ifndef KESTROVA_DBSIFTER_ATTRIBUTED_BODY_H
#define KESTROVA_DBSIFTER_ATTRIBUTED_BODY_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace dbsifter {

// Largest blob the decoder looks at.
constexpr size_t kMaxArchiveBytes = 16u << 20;

std::optional<std::string> decodeAttributedBody(const uint8_t* data, size_t size);
std::optional<std::string> decodeTypedStream(const uint8_t* data, size_t size);
std::optional<std::string> decodeKeyedArchive(const uint8_t* data, size_t size);
bool isValidUtf8(const char* s, size_t n);

} // namespace dbsifter

#endif
