// Text to number as Windows reads it for a double: VarParseNumFromStr with NUMPRS_STD, then
// the value. Blanks and symbols stand around the digits in any order, each symbol at most
// once, and the whole text must be used.
#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "number_text.h"

namespace vemor::platform {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Blanks as Windows counts them, the no-break space among them.
std::size_t BlankLength(std::string_view text) {
    if (text.starts_with("\xC2\xA0")) return 2;
    if (text.empty()) return 0;
    const char c = text.front();
    return c == ' ' || (c >= '\t' && c <= '\r') ? 1 : 0;
}

// The digit's value, or -1 if it is no digit of that base.
int DigitValue(char c, int base) {
    int value = base;
    if (IsDigit(c)) value = c - '0';
    else if (c >= 'a' && c <= 'f') value = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') value = c - 'A' + 10;
    return value < base ? value : -1;
}

// Hex and octal numbers are 32-bit integers; anything above this is too large for one.
constexpr std::uint64_t kBasedLimit = 0x100000000;
// An exponent beyond this takes any number out of the range of a double.
constexpr long long kExponentLimit = 1'000'000'000;

class NumberReader {
public:
    NumberReader(std::string_view text, const NumberFormat& format)
        : rest_(text),
          decimal_(format.decimal.empty() ? std::string_view(".") : std::string_view(format.decimal)),
          // A thousands separator that is also the decimal separator is the decimal separator.
          grouping_(format.grouping == decimal_ ? std::string_view() : std::string_view(format.grouping)),
          currency_(format.currency.empty() ? std::string_view("$") : std::string_view(format.currency)) {}

    std::optional<double> Read() {
        if (!ReadLeading()) return std::nullopt;
        const int base = point_ || currency_seen_ ? 10 : ReadBase();
        if (!(base == 10 ? ReadDecimal() : ReadBased(base))) return std::nullopt;
        ReadTrailing(base == 10);
        if (!rest_.empty() || parens_ == Parens::kOpen) return std::nullopt;
        const std::optional<double> value = base == 10 ? DecimalValue() : BasedValue();
        if (!value) return std::nullopt;
        return sign_ == '-' || parens_ == Parens::kClosed ? -*value : *value;
    }

private:
    enum class Parens { kNone, kOpen, kClosed };

    bool Take(std::string_view symbol) {
        if (symbol.empty() || !rest_.starts_with(symbol)) return false;
        rest_.remove_prefix(symbol.size());
        return true;
    }

    bool TakeBlanks() {
        const std::size_t length = BlankLength(rest_);
        rest_.remove_prefix(length);
        return length > 0;
    }

    bool TakeDigit() {
        if (rest_.empty() || !IsDigit(rest_.front())) return false;
        // Leading zeros carry no value but count as digits.
        if (!digits_.empty() || rest_.front() != '0') digits_ += rest_.front();
        if (point_) ++fraction_digits_;
        rest_.remove_prefix(1);
        return true;
    }

    // One sign, before or after the number; parentheses stand instead of a sign.
    bool TakeSign() {
        if (sign_ != 0 || parens_ != Parens::kNone) return false;
        if (Take("+")) sign_ = '+';
        else if (Take("-")) sign_ = '-';
        return sign_ != 0;
    }

    bool TakeOpening() {
        if (sign_ != 0 || parens_ != Parens::kNone || !Take("(")) return false;
        parens_ = Parens::kOpen;
        return true;
    }

    bool TakeClosing() {
        if (parens_ != Parens::kOpen || !Take(")")) return false;
        parens_ = Parens::kClosed;
        return true;
    }

    // Blanks and symbols before the digits, up to a decimal separator; a thousands separator
    // there makes the text no number.
    bool ReadLeading() {
        while (true) {
            if (Take(decimal_)) {
                point_ = true;
                return true;
            }
            if (TakeBlanks() || TakeSign() || TakeOpening()) continue;
            if (!grouping_.empty() && rest_.starts_with(grouping_)) return false;
            if (currency_seen_ || !Take(currency_)) return true;
            currency_seen_ = true;
        }
    }

    // Visual Basic's &H (hex) and &O (octal).
    int ReadBase() {
        if (Take("&H") || Take("&h")) return 16;
        if (Take("&O") || Take("&o")) return 8;
        return 10;
    }

    bool ReadBased(int base) {
        const std::size_t before = rest_.size();
        for (int digit; !rest_.empty() && (digit = DigitValue(rest_.front(), base)) >= 0; rest_.remove_prefix(1))
            based_ = std::min(based_ * static_cast<unsigned>(base) + static_cast<unsigned>(digit), kBasedLimit);
        return rest_.size() < before;
    }

    // Digits with one decimal separator, thousands separators after the first digit and
    // before the decimal separator, then an exponent.
    bool ReadDecimal() {
        bool any = false;
        while (true) {
            if (TakeDigit()) any = true;
            else if (any && !point_ && Take(grouping_)) continue;
            else if (!point_ && Take(decimal_)) point_ = true;
            else break;
        }
        return any && ReadExponent();
    }

    // Windows takes no exponent after a currency symbol.
    bool ReadExponent() {
        if (currency_seen_ || !(Take("e") || Take("E"))) return true;
        const bool negative = Take("-");
        if (!negative) Take("+");
        if (rest_.empty() || !IsDigit(rest_.front())) return false;
        long long exponent = 0;
        for (; !rest_.empty() && IsDigit(rest_.front()); rest_.remove_prefix(1))
            exponent = std::min(exponent * 10 + (rest_.front() - '0'), kExponentLimit);
        exponent_ = negative ? -exponent : exponent;
        return true;
    }

    void ReadTrailing(bool decimal) {
        while (TakeBlanks() || TakeSign() || TakeClosing() || (decimal && Take(currency_))) {
        }
    }

    // 0x80000000 is the lowest 32-bit integer; anything larger overflows.
    std::optional<double> BasedValue() const {
        if (based_ > 0x80000000) return std::nullopt;
        return based_ == 0x80000000 ? -2147483648.0 : static_cast<double>(based_);
    }

    // Too large for a double is no number; too small (below the smallest normal double) is
    // zero, as on Windows.
    std::optional<double> DecimalValue() const {
        if (digits_.empty()) return 0.0;
        const long long power = exponent_ - fraction_digits_;
        const std::string text = digits_ + 'e' + std::to_string(power);
        double value = 0;
        const auto error = std::from_chars(text.data(), text.data() + text.size(), value).ec;
        if (error == std::errc::result_out_of_range) {
            if (power + static_cast<long long>(digits_.size()) > 0) return std::nullopt;
            return 0.0;
        }
        return std::abs(value) < DBL_MIN ? 0.0 : value;
    }

    std::string_view rest_;
    const std::string_view decimal_;
    const std::string_view grouping_;
    const std::string_view currency_;
    char sign_ = 0;
    Parens parens_ = Parens::kNone;
    bool currency_seen_ = false;
    bool point_ = false;
    std::string digits_;  // without leading zeros
    long long fraction_digits_ = 0;
    long long exponent_ = 0;
    std::uint64_t based_ = 0;
};

}  // namespace

std::optional<double> TextToNumber(std::string_view text, const NumberFormat& format) {
    return NumberReader(text, format).Read();
}

}  // namespace vemor::platform
