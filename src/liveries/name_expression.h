#pragma once
// A regular expression of the ECMAScript grammar, as the publisher aliases of the data base are
// read, matched against a whole name ignoring the letter case of ASCII letters. The data base
// comes from a server, and a backtracking matcher can be kept busy for ever by a single alias:
// this one runs the expression as an automaton over the name once, keeping every state the
// automaton can be in, so that a match costs at most the name's length times the automaton's
// size, and it needs no stack in proportion to the name.
//
// An expression is refused (no value) when ECMAScript refuses it: a quantifier with nothing to
// repeat (at the start, after '(', '|', an assertion or another quantifier), a bad count, range
// or escape, unbalanced parentheses or brackets. Also refused are the forms that no automaton
// matches in linear time or that make it too large: back-references, look-aheads, nesting
// deeper than kMaxNesting and more than kMaxStates states (counted repeats are written out).
// ']' and '}' outside a bracket are plain characters, as in the common engines.

#include <bitset>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

class NameExpression {
public:
    static constexpr std::size_t kMaxStates = 512;
    static constexpr std::size_t kMaxNesting = 64;

    static std::optional<NameExpression> compile(std::string_view text);

    bool matchesWhole(std::string_view name) const;

private:
    friend class NameExpressionBuilder;

    enum class Kind : std::uint8_t { Byte, Split, Assertion, Match };
    enum class Assertion : std::uint8_t { Begin, End, WordBoundary, NotWordBoundary };
    struct State {
        Kind kind = Kind::Match;
        Assertion assertion = Assertion::Begin;
        std::uint32_t bytes = 0; // index into bytes_ for a Byte state
        std::uint32_t out = 0;
        std::uint32_t alt = 0; // the second way out of a Split state
    };

    std::vector<State> states_;
    std::vector<std::bitset<256>> bytes_;
    std::uint32_t start_ = 0;
};
