#include "module/registry_script.h"

#include <optional>
#include <string>

#include "module/hresult.h"

namespace tyvarion::module {
namespace {

struct Token {
    std::wstring text;
    bool quoted = false;

    bool isSymbol(wchar_t symbol) const { return !quoted && text.size() == 1 && text[0] == symbol; }
    bool isWord(const wchar_t* word) const {
        return !quoted && CompareStringOrdinal(text.c_str(), -1, word, -1, TRUE) == CSTR_EQUAL;
    }
    bool isName() const { return quoted || (!isSymbol(L'{') && !isSymbol(L'}') && !isSymbol(L'=')); }
};

class Tokenizer {
public:
    // The script is 8-bit text: each byte is one character.
    explicit Tokenizer(std::string_view script) : text_(script.begin(), script.end()) {}

    // Nothing when the text has ended; a malformed token sets failed().
    std::optional<Token> next() {
        while (position_ < text_.size() && isSpace(text_[position_])) ++position_;
        if (position_ == text_.size()) return std::nullopt;
        const wchar_t first = text_[position_];
        if (first == L'{' || first == L'}' || first == L'=') {
            ++position_;
            return Token{std::wstring(1, first), false};
        }
        if (first == L'\'') return quoted();
        Token token;
        while (position_ < text_.size() && !isSpace(text_[position_]) && !isSymbolChar(text_[position_]))
            token.text.push_back(text_[position_++]);
        return token;
    }

    bool failed() const { return failed_; }

private:
    static bool isSpace(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }
    static bool isSymbolChar(wchar_t c) { return c == L'{' || c == L'}' || c == L'=' || c == L'\''; }

    std::optional<Token> quoted() {
        Token token{{}, true};
        ++position_;  // the opening quote
        while (position_ < text_.size()) {
            const wchar_t c = text_[position_++];
            if (c != L'\'') {
                token.text.push_back(c);
            } else if (position_ < text_.size() && text_[position_] == L'\'') {
                token.text.push_back(L'\'');
                ++position_;
            } else {
                return token;
            }
        }
        failed_ = true;  // no closing quote
        return std::nullopt;
    }

    std::wstring text_;
    std::size_t position_ = 0;
    bool failed_ = false;
};

class Parser {
public:
    explicit Parser(std::string_view script) : tokens_(script) { advance(); }

    HRESULT parse(std::vector<RegistryItem>& items) {
        while (current_) {
            if (!current_->isWord(L"HKCR") && !current_->isWord(L"HKEY_CLASSES_ROOT"))
                return kMalformedRegistration;
            advance();
            RETURN_IF_FAILED(block(items));
        }
        return tokens_.failed() ? kMalformedRegistration : S_OK;
    }

private:
    void advance() { current_ = tokens_.next(); }

    bool accept(wchar_t symbol) {
        if (!current_ || !current_->isSymbol(symbol)) return false;
        advance();
        return true;
    }

    // '{' item* '}'
    HRESULT block(std::vector<RegistryItem>& items) {
        if (!accept(L'{')) return kMalformedRegistration;
        while (!accept(L'}')) {
            if (!current_) return kMalformedRegistration;
            RegistryItem item;
            RETURN_IF_FAILED(current_->isWord(L"val") ? value(item) : key(item));
            items.push_back(std::move(item));
        }
        return S_OK;
    }

    // 'val' name '=' 's' data
    HRESULT value(RegistryItem& item) {
        advance();
        item.kind = RegistryItem::Kind::value;
        RETURN_IF_FAILED(name(item.name));
        if (!accept(L'=')) return kMalformedRegistration;
        return stringData(item.data);
    }

    // ['NoRemove' | 'ForceRemove'] name ['=' 's' data] [block]
    HRESULT key(RegistryItem& item) {
        if (current_->isWord(L"NoRemove")) {
            item.mark = KeyMark::kept;
            advance();
        } else if (current_->isWord(L"ForceRemove")) {
            item.mark = KeyMark::forced;
            advance();
        }
        RETURN_IF_FAILED(name(item.name));
        if (accept(L'=')) RETURN_IF_FAILED(stringData(item.data));
        if (current_ && current_->isSymbol(L'{')) return block(item.items);
        return S_OK;
    }

    HRESULT name(std::wstring& text) {
        if (!current_ || !current_->isName() || current_->text.empty()) return kMalformedRegistration;
        text = std::move(current_->text);
        advance();
        return S_OK;
    }

    HRESULT stringData(std::optional<std::wstring>& data) {
        if (!current_ || !current_->isWord(L"s")) return kMalformedRegistration;
        advance();
        if (!current_ || !current_->isName()) return kMalformedRegistration;
        data = std::move(current_->text);
        advance();
        return S_OK;
    }

    Tokenizer tokens_;
    std::optional<Token> current_;
};

}  // namespace

HRESULT parseRegistryScript(std::string_view script, std::vector<RegistryItem>& items) {
    std::vector<RegistryItem> parsed;
    RETURN_IF_FAILED(Parser(script).parse(parsed));
    items = std::move(parsed);
    return S_OK;
}

}  // namespace tyvarion::module
