#include "rules/Text.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace corvane {
namespace {

char lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Edit distance (insertions, deletions, substitutions, swaps of neighbours), ignoring case.
size_t distance(std::string_view a, std::string_view b) {
  const size_t n = a.size(), m = b.size();
  std::vector<size_t> prev2(m + 1), prev(m + 1), row(m + 1);
  for (size_t j = 0; j <= m; ++j) prev[j] = j;
  for (size_t i = 1; i <= n; ++i) {
    row[0] = i;
    for (size_t j = 1; j <= m; ++j) {
      const bool same = lower(a[i - 1]) == lower(b[j - 1]);
      row[j] = std::min({prev[j] + 1, row[j - 1] + 1, prev[j - 1] + (same ? 0 : 1)});
      if (i > 1 && j > 1 && lower(a[i - 1]) == lower(b[j - 2]) &&
          lower(a[i - 2]) == lower(b[j - 1])) {
        row[j] = std::min(row[j], prev2[j - 2] + 1);
      }
    }
    prev2 = prev;
    prev = row;
  }
  return prev[m];
}

}  // namespace

std::string inQuotes(std::string_view text) {
  constexpr size_t kMaxCharacters = 40;
  size_t characters = 0;
  size_t end = 0;
  while (end < text.size() && characters < kMaxCharacters) {
    // Whole UTF-8 sequences only: skip continuation bytes.
    ++end;
    while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
    ++characters;
  }
  std::string out = "\"";
  out.append(text.substr(0, end));
  if (end < text.size()) out += "...";
  out += '"';
  return out;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return lower(x) == lower(y); });
}

namespace {

// How many slips a name of this length may hold and still be suggested: none in a name of one
// or two characters (Q is no slip of C), one up to five, two beyond.
size_t allowedSlips(size_t length) {
  return length <= 2 ? 0 : length <= 5 ? 1 : 2;
}

// The slips between text and candidate when the candidate is near for its length, else none.
// Combinations are compared part by part, so that a short key name is held to its own length
// (Ctrl+Del is not near Ctrl+L).
std::optional<size_t> slipsIfNear(std::string_view text, std::string_view candidate) {
  size_t total = 0;
  while (true) {
    const size_t textEnd = text.find('+');
    const size_t candidateEnd = candidate.find('+');
    if ((textEnd == std::string_view::npos) != (candidateEnd == std::string_view::npos)) {
      return std::nullopt;
    }
    const std::string_view a = text.substr(0, textEnd);
    const std::string_view b = candidate.substr(0, candidateEnd);
    const size_t d = distance(a, b);
    if (d > allowedSlips(std::max(a.size(), b.size()))) return std::nullopt;
    total += d;
    if (textEnd == std::string_view::npos) return total;
    text.remove_prefix(textEnd + 1);
    candidate.remove_prefix(candidateEnd + 1);
  }
}

}  // namespace

std::string_view closestName(std::string_view text, std::span<const std::string_view> candidates) {
  if (text.empty() || text.size() > 40) return {};
  std::string_view best;
  size_t bestSlips = 0;
  for (std::string_view candidate : candidates) {
    const std::optional<size_t> slips = slipsIfNear(text, candidate);
    if (slips && (best.empty() || *slips < bestSlips)) {
      best = candidate;
      bestSlips = *slips;
    }
  }
  return best;
}

std::string didYouMean(std::string_view text, std::span<const std::string_view> candidates) {
  const std::string_view best = closestName(text, candidates);
  if (best.empty()) return {};
  return "; did you mean " + inQuotes(best) + "?";
}

std::string joinNames(std::span<const std::string_view> names) {
  std::string out;
  for (std::string_view name : names) {
    if (!out.empty()) out += ", ";
    out += name;
  }
  return out;
}

}  // namespace corvane
