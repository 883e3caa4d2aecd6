// Small text helpers for the rules file's messages and names.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace corvane {

// The text in double quotes, cut after 40 characters ("..." marks the cut) so that a message
// stays one readable line whatever the file holds.
std::string inQuotes(std::string_view text);

// ASCII letters compared without regard to case.
bool equalsIgnoringCase(std::string_view a, std::string_view b);

// The candidate closest to text (ignoring case) when it is a slip near for its length (none in
// one or two characters, one up to five, two beyond; a combination part by part), else an
// empty view.
std::string_view closestName(std::string_view text, std::span<const std::string_view> candidates);

// "; did you mean \"X\"?" when a candidate is close, else "".
std::string didYouMean(std::string_view text, std::span<const std::string_view> candidates);

// The names joined by ", ".
std::string joinNames(std::span<const std::string_view> names);

}  // namespace corvane
