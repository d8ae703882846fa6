#pragma once
// Bytes into a parsed document: which encoding the bytes use (a byte-order mark, then
// the charset of an HTTP content type, then windows-1252), the decoding, and one
// re-parse when a meta element in the document names another encoding. Also the label
// lookup and the two encoding tests the tree builder uses for such a meta element.
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "html/HTMLString.h"
#include "html/HTMLStringEncoding.h"

namespace html {

class HTMLParser;

// The encoding of the bytes and how sure that is; the decoded text goes to `string`.
HTMLStringEncoding DeterminedStringEncodingForData(std::string_view data,
                                                   const std::optional<std::string>& contentType, String* string);

// The encoding a label names ("utf8", " latin1 ", ...: any case, blanks around), or the
// invalid encoding for an unknown label and for every label of "replacement".
NSStringEncoding StringEncodingForLabel(StringView label);
NSStringEncoding InvalidStringEncoding();
// False for UTF-16 (in any byte order), UTF-7 and HZ-GB-2312.
bool IsASCIICompatibleEncoding(NSStringEncoding encoding);
// UTF-16 with an explicit byte order.
bool IsUTF16Encoding(NSStringEncoding encoding);

// The bytes in that encoding, or nothing when they are not valid in it. UTF-8 and UTF-16
// never fail: an invalid sequence becomes U+FFFD.
std::optional<String> DecodeStringWithEncoding(std::string_view data, NSStringEncoding encoding);

// The charset a meta element's http-equiv content value names ("text/html;
// charset=utf-8"), or nothing.
std::optional<String> ExtractCharsetFromContentAttribute(StringView content);

// A parser whose document is the document of the bytes; it has run already. When a meta
// element asked for another encoding it is the parser over the bytes decoded again.
std::unique_ptr<HTMLParser> ParserWithDataAndContentType(std::string_view data,
                                                         const std::optional<std::string>& contentType);

}  // namespace html
