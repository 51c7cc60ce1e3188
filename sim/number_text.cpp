#include "sim/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <system_error>

namespace sim::text {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// from_chars alone would also take "inf", "nan" and hex forms.
bool hasNumberForm(std::string_view s) {
    std::size_t i = 0;
    if (i < s.size() && s[i] == '-')
        ++i;
    std::size_t digits = 0;
    while (i < s.size() && isDigit(s[i]))
        ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && isDigit(s[i]))
            ++i, ++digits;
    }
    if (digits == 0)
        return false;
    if (i < s.size() && (s[i] == 'E' || s[i] == 'e')) {
        ++i;
        if (i < s.size() && (s[i] == '-' || s[i] == '+'))
            ++i;
        std::size_t expDigits = 0;
        while (i < s.size() && isDigit(s[i]))
            ++i, ++expDigits;
        if (expDigits == 0)
            return false;
    }
    return i == s.size();
}

} // namespace

std::optional<double> parseNumber(std::string_view s) {
    if (!hasNumberForm(s))
        return std::nullopt;
    double v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<std::uint64_t> parseCount(std::string_view s) {
    if (s.empty() || !std::all_of(s.begin(), s.end(), isDigit))
        return std::nullopt;
    std::uint64_t v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size())
        return std::nullopt;
    return v;
}

std::string fixed(double v, int decimals) {
    if (std::abs(v) < 0.5 * std::pow(10.0, -decimals))
        v = 0; // no "-0.000"
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    return std::string(buf, r.ptr);
}

std::string exponent(double v, int decimals) {
    if (v == 0)
        v = 0;
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, decimals);
    std::string s(buf, r.ptr);
    std::replace(s.begin(), s.end(), 'e', 'E');
    return s;
}

std::string count(std::uint64_t v) {
    return std::to_string(v);
}

} // namespace sim::text
