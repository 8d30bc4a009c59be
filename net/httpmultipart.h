#pragma once
// The framing of a multipart/form-data body. The client measures the body
// from the very strings it then writes, so the length it announces is the
// length it sends. Texts come in already in the body's encoding; a quote,
// CR or LF in a name or file name goes as %22, %0D or %0A.
#include <string>
#include <string_view>

namespace Vexel {

// What stands before a plain parameter's value: the boundary line and the
// part's headers.
std::string MultipartValueHead(const std::string& boundary, const std::string& name);
// What stands before a file's bytes.
std::string MultipartFileHead(const std::string& boundary, const std::string& name, const std::string& filename,
                              const std::string& mime);
// What follows every part's bytes.
inline constexpr std::string_view kMultipartPartEnd = "\r\n";
// The end of the body; a body without parts is a line break and this line.
std::string MultipartClosing(const std::string& boundary, bool hasParts);

} // namespace Vexel
