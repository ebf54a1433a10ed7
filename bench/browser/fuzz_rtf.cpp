// libFuzzer target of the notes' RTF reader. Any input must read without
// crashing, hanging or reading out of bounds; what the writer makes of it
// must read back to the same document, so that writing, reading and
// writing again gives the same bytes.
#include "browser/Rtf.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view in(reinterpret_cast<const char*>(data), size);
    const qv::TRichDocument doc = qv::ReadRtf(in);
    if (doc.Paragraphs.empty())
        std::abort(); // a document always has a paragraph
    const std::string once = qv::WriteRtf(doc);
    const qv::TRichDocument again = qv::ReadRtf(once);
    const std::string twice = qv::WriteRtf(again);
    if (once != twice)
        std::abort();
    return 0;
}
