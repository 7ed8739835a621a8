// The client library check on arbitrary files: the PE reader, the binding
// check and its report never read outside the file, whatever its headers,
// tables and names claim. Seeds: two small DLLs of the check tests.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "client/check/binding_check.h"
#include "client/check/check_text.h"
#include "client/check/pe_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tyvarion::client_check;
    auto read = readPeImage(std::vector<std::uint8_t>(data, data + size));
    const auto* image = std::get_if<PeImage>(&read);
    if (image == nullptr) return 0;
    const BindingCheck check = checkBinding(*image);
    bool binds = false;
    for (const std::string& name : {std::string("TYApi64.dll"), std::string("TYApi32.dll")})
        reportLines(check, *image, name, binds);
    for (const PeExport& entry : image->exports) image->doubleAt(entry.address);
    return 0;
}
