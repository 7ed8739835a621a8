#include "rows/wix_include.h"

#include "platform/text.h"

namespace tyvarion::installer {
namespace {

std::string xmlAttribute(const std::wstring& text) {
    std::string escaped;
    for (const char c : utf16ToUtf8(text.c_str(), text.size())) {
        switch (c) {
            case '&': escaped += "&amp;"; break;
            case '<': escaped += "&lt;"; break;
            case '>': escaped += "&gt;"; break;
            case '"': escaped += "&quot;"; break;
            default: escaped.push_back(c);
        }
    }
    return escaped;
}

// A value that begins with # would be read as a number; ## stands for one #.
std::wstring valueColumn(const std::wstring& value) {
    return !value.empty() && value.front() == L'#' ? L"#" + value : value;
}

}  // namespace

std::string wixInclude(const std::vector<RegistryRow>& rows, const std::string& comment, bool keyPath) {
    // No XML declaration: the package builder's preprocessor does not accept one in an include.
    std::string text = "<Include>\n  <!-- " + comment + " -->\n";
    bool first = true;
    for (const RegistryRow& row : rows) {
        text += "  <RegistryValue Root=\"HKCR\" Key=\"" + xmlAttribute(row.key) + "\"";
        if (row.emptyKey) {
            // Created on install, removed with its subtree on uninstall.
            text += " Name=\"*\" Type=\"string\" Value=\"\"";
        } else {
            if (!row.name.empty()) text += " Name=\"" + xmlAttribute(row.name) + "\"";
            text += " Type=\"string\" Value=\"" + xmlAttribute(valueColumn(row.value)) + "\"";
        }
        if (keyPath && first) text += " KeyPath=\"yes\"";
        text += "/>\n";
        first = false;
    }
    return text + "</Include>\n";
}

}  // namespace tyvarion::installer
