// The attributedBody blob of a message: an NSAttributedString archived in the
// "streamtyped" form Messages uses, with one attribute run over the text.
#ifndef KESTROVA_IOSFIX_ARCHIVE_BODY_H
#define KESTROVA_IOSFIX_ARCHIVE_BODY_H

#include <string>

namespace iosfix {

std::string typedStreamBody(const std::string& text);

} // namespace iosfix

#endif
