// Whether a text is exactly one JSON value (RFC 8259 syntax), for tests
// that read what other programs would parse. No values are built.
#pragma once

#include <cstddef>
#include <string_view>

namespace e2e {

class JsonCheck {
public:
    static bool IsOneValue(std::string_view text) {
        JsonCheck check(text);
        return check.Value(0) && (check.Spaces(), check.at_ == text.size());
    }

private:
    explicit JsonCheck(std::string_view text) : text_(text) {}

    static constexpr int kMaxDepth = 64;

    bool More() const { return at_ < text_.size(); }
    char Peek() const { return More() ? text_[at_] : '\0'; }
    void Spaces() {
        while (More() && (Peek() == ' ' || Peek() == '\t' || Peek() == '\r' || Peek() == '\n')) ++at_;
    }
    bool Take(char c) {
        Spaces();
        if (Peek() != c) return false;
        ++at_;
        return true;
    }
    bool Word(std::string_view word) {
        if (text_.substr(at_, word.size()) != word) return false;
        at_ += word.size();
        return true;
    }
    bool Digits() {
        const std::size_t start = at_;
        while (Peek() >= '0' && Peek() <= '9') ++at_;
        return at_ > start;
    }
    bool Number() {
        if (Peek() == '-') ++at_;
        if (Peek() == '0') {
            ++at_;
        } else if (!Digits()) {
            return false;
        }
        if (Peek() == '.' && (++at_, !Digits())) return false;
        if (Peek() == 'e' || Peek() == 'E') {
            ++at_;
            if (Peek() == '+' || Peek() == '-') ++at_;
            if (!Digits()) return false;
        }
        return true;
    }
    bool String() {
        if (Peek() != '"') return false;
        ++at_;
        while (More()) {
            const unsigned char c = static_cast<unsigned char>(text_[at_++]);
            if (c == '"') return true;
            if (c < 0x20) return false;
            if (c != '\\') continue;
            const char escape = Peek();
            ++at_;
            if (escape == 'u') {
                for (int i = 0; i < 4; ++i, ++at_) {
                    const char h = Peek();
                    if (!((h >= '0' && h <= '9') || (h >= 'a' && h <= 'f') || (h >= 'A' && h <= 'F'))) return false;
                }
            } else if (std::string_view("\"\\/bfnrt").find(escape) == std::string_view::npos) {
                return false;
            }
        }
        return false;
    }
    bool Value(int depth) {
        if (depth > kMaxDepth) return false;
        Spaces();
        switch (Peek()) {
        case '{':
            ++at_;
            if (Take('}')) return true;
            do {
                Spaces();
                if (!String() || !Take(':') || !Value(depth + 1)) return false;
            } while (Take(','));
            return Take('}');
        case '[':
            ++at_;
            if (Take(']')) return true;
            do {
                if (!Value(depth + 1)) return false;
            } while (Take(','));
            return Take(']');
        case '"': return String();
        case 't': return Word("true");
        case 'f': return Word("false");
        case 'n': return Word("null");
        default: return Number();
        }
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

}  // namespace e2e
