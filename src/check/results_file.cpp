#include "check/results_file.h"

#include <array>

#include "app/text.h"

namespace proxanto {

namespace {

using Outcome = ProbeResult::Outcome;
using Anonymity = ProbeResult::Anonymity;

constexpr std::string_view kHeading = "Proxanto check results";
// The words for each value, in the order of their enumerations.
constexpr std::array<std::string_view, 4> kOutcomes = {"working", "refused", "timeout", "wrong"};
constexpr std::array<std::string_view, 5> kLevels = {"unknown", "nojudge", "transparent",
                                                     "anonymous", "elite"};

template <std::size_t N>
std::optional<int> word_index(const std::array<std::string_view, N>& words, std::string_view word) {
  for (std::size_t i = 0; i < N; ++i) {
    if (words[i] == word) return static_cast<int>(i);
  }
  return std::nullopt;
}

// The next word up to a blank; what follows it in `rest`.
std::string_view next_word(std::string_view& rest) {
  const std::size_t blank = rest.find(' ');
  const std::string_view word = rest.substr(0, blank);
  rest.remove_prefix(blank == std::string_view::npos ? rest.size() : blank + 1);
  return word;
}

}  // namespace

std::string write_results(const KeptResults& kept) {
  std::string text = std::string(kHeading) + "\r\ntime=" + std::to_string(kept.time) + "\r\n";
  for (const auto& [address, result] : kept.results) {
    text.append(kOutcomes[static_cast<std::size_t>(result.outcome)])
        .append(" ")
        .append(std::to_string(result.ms))
        .append(" ")
        .append(kLevels[static_cast<std::size_t>(result.anonymity)])
        .append(" ")
        .append(address)
        .append("\r\n");
  }
  return text;
}

std::optional<KeptResults> read_results(std::string_view text) {
  KeptResults kept;
  int line_number = 0;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    ++line_number;
    if (line_number == 1) {
      if (line != kHeading) return std::nullopt;
      continue;
    }
    if (line_number == 2) {
      if (!line.starts_with("time=") || !parse_whole_number(line.substr(5), kept.time)) {
        return std::nullopt;
      }
      continue;
    }
    if (line.empty()) continue;
    const std::optional<int> outcome = word_index(kOutcomes, next_word(line));
    std::int64_t ms = 0;
    const bool delay = parse_whole_number(next_word(line), ms) && ms >= 0 && ms <= 60000;
    const std::optional<int> level = word_index(kLevels, next_word(line));
    if (!outcome || !delay || !level || line.empty()) return std::nullopt;
    kept.results[std::string(line)] = {static_cast<Outcome>(*outcome), static_cast<int>(ms),
                                       static_cast<Anonymity>(*level)};
  }
  if (line_number < 2) return std::nullopt;
  return kept;
}

}  // namespace proxanto
