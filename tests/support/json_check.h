// Whether a text is one JSON document (RFC 8259), strictly: what a script
// reading portquell-cli's --json output would accept.
#pragma once

#include <cctype>
#include <cstddef>
#include <string>

namespace portquell::testing {

class JsonCheck {
public:
    static bool Valid(const std::string& text) {
        JsonCheck check(text);
        return check.Value(0) && (check.Space(), check.at_ == text.size());
    }

private:
    explicit JsonCheck(const std::string& text) : s_(text) {}

    void Space() {
        while (at_ < s_.size() && (s_[at_] == ' ' || s_[at_] == '\n' || s_[at_] == '\r' || s_[at_] == '\t')) ++at_;
    }
    bool Eat(char c) {
        Space();
        if (at_ < s_.size() && s_[at_] == c) return ++at_, true;
        return false;
    }
    bool Word(const char* w) {
        const std::string word(w);
        if (s_.compare(at_, word.size(), word) != 0) return false;
        at_ += word.size();
        return true;
    }
    bool String() {
        if (!Eat('"')) return false;
        while (at_ < s_.size()) {
            const auto c = static_cast<unsigned char>(s_[at_++]);
            if (c == '"') return true;
            if (c < 0x20) return false;
            if (c != '\\') continue;
            if (at_ >= s_.size()) return false;
            const char e = s_[at_++];
            if (e == 'u') {
                for (int i = 0; i < 4; ++i) {
                    if (at_ >= s_.size() || !std::isxdigit(static_cast<unsigned char>(s_[at_++]))) return false;
                }
            } else if (std::string("\"\\/bfnrt").find(e) == std::string::npos) {
                return false;
            }
        }
        return false;
    }
    bool Number() {
        const std::size_t start = at_;
        if (at_ < s_.size() && s_[at_] == '-') ++at_;
        if (at_ >= s_.size() || !std::isdigit(static_cast<unsigned char>(s_[at_]))) return false;
        if (s_[at_] == '0') {
            ++at_;
        } else {
            while (at_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[at_]))) ++at_;
        }
        return at_ > start;
    }
    template <class Item>
    bool Sequence(char close, Item item) {
        if (Eat(close)) return true;
        do {
            if (!item()) return false;
        } while (Eat(','));
        return Eat(close);
    }
    bool Value(int depth) {
        if (depth > 64) return false;
        Space();
        if (at_ >= s_.size()) return false;
        switch (s_[at_]) {
            case '{':
                ++at_;
                return Sequence('}', [&] { return String() && Eat(':') && Value(depth + 1); });
            case '[':
                ++at_;
                return Sequence(']', [&] { return Value(depth + 1); });
            case '"':
                return String();
            case 't':
                return Word("true");
            case 'f':
                return Word("false");
            case 'n':
                return Word("null");
            default:
                return Number();
        }
    }

    const std::string& s_;
    std::size_t at_ = 0;
};

}  // namespace portquell::testing
