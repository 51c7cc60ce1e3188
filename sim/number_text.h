#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Locale-independent number text for the command language: a point as decimal
// separator, an optional exponent, never a thousands separator.
namespace sim::text {

// "-1.5", "0.000000100000", "1E-7", ".5"; no leading "+", no blanks, finite only.
std::optional<double> parseNumber(std::string_view s);
// Decimal digits only.
std::optional<std::uint64_t> parseCount(std::string_view s);

std::string fixed(double v, int decimals);
// Mantissa with the given decimals, "E", signed two-digit exponent: "1.000000000000E-07".
std::string exponent(double v, int decimals);
std::string count(std::uint64_t v);

} // namespace sim::text
