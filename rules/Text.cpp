#include "rules/Text.h"

#include <algorithm>
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

std::string_view closestName(std::string_view text, std::span<const std::string_view> candidates) {
  if (text.empty() || text.size() > 40) return {};
  std::string_view best;
  size_t bestDistance = 0;
  for (std::string_view candidate : candidates) {
    const size_t d = distance(text, candidate);
    if (best.empty() || d < bestDistance) {
      best = candidate;
      bestDistance = d;
    }
  }
  // One slip in a short name, two in a longer one.
  const size_t allowed = text.size() <= 4 ? 1 : 2;
  return bestDistance <= allowed ? best : std::string_view{};
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
